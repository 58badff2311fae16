#pragma once

#include <QString>

// Serves one started service on the simulator's end of a socket pair until the
// program closes its end (or the device is detached, which shuts the socket).
// root: the folder served as "/" by AFC. House arrest first answers one
// property-list command and then speaks AFC rooted in the vended container.
struct SimServicePlan
{
    enum Kind { Afc, HouseArrest } kind = Afc;
    QString root;          // AFC root (Afc)
    QString containersDir; // where containers lie by bundle id (HouseArrest)
    bool vendAllowed = false;
    QString vendError;     // the "Error" answer when vending is refused
};

void sim_serve(int fd, const SimServicePlan& plan);
