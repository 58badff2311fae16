#pragma once

#include "model/ViberRecords.h"

#include <QList>
#include <QString>

#include <optional>

// A half-open range of record times [since, until): either end may be open.
// Both ends are typed by the user in local time.
struct ExportDateRange
{
    std::optional<double> since; // record time, included
    std::optional<double> until; // record time, excluded

    bool isOpen() const { return !since && !until; }
    bool contains(double t) const { return (!since || t >= *since) && (!until || t < *until); }

    // The messages inside the range, in their given order.
    QList<_ViberMsg*> filter(const QList<_ViberMsg*>& msgs) const;

    // Reads a local date or date-time: "2014-04-24", "2014-04-24T07:45",
    // "2014-04-24 07:45:57" (a 'T' or a blank between date and time). A local
    // time skipped by a daylight-saving change means the first instant after the
    // gap. False with a reason for anything else.
    static bool parseLocal(const QString& text, double& recordTime, QString& error);
};
