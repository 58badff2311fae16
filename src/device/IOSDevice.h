#pragma once

#include "device/MobileDevice.h"

#include <QString>

// One attached iPhone as the rest of the program sees it.
struct IOSDevice
{
    QString name;           // DeviceName
    QString udid;           // UniqueDeviceID
    QString countryCode;    // MobileSubscriberCountryCode
    QString productVersion; // ProductVersion, e.g. 17.4.1
    QString productType;    // ProductType, e.g. iPhone14,2
    am_device* device = nullptr; // not owned; valid until the backend unloads

    // Reads the identity in one lockdown session; a missing value is an empty
    // text. Raises std::runtime_error when the session cannot be opened.
    static IOSDevice readThrow(am_device* device);
};
