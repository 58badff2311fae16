#pragma once

#include "device/MobileDevice.h"

#include <QDir>
#include <QList>
#include <QString>

class DataFolders;

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

    // The device's own folder in folders.deviceCacheDir(), made when missing.
    // The identifier comes from the device: one that is not a plain file name
    // (empty, "..", a separator) raises instead of naming a path.
    QDir cacheDir(const DataFolders& folders) const;
    // cacheDir()/com.viber: the local copy of Viber's container.
    QDir viberRootDir(const DataFolders& folders) const;
    // The numbers of productVersion, left to right (17.4.1 gives 17, 4, 1).
    QList<int> versionList() const;

    // Whether a backup made now can serve the caller: iCloud backup switched
    // on (checkCloud) or an encrypted computer backup (checkEncrypt) make it
    // false, with the text to show in warning. A device that cannot be asked
    // passes: the backup program itself reports what is wrong then.
    bool checkiTunesBackupSettings(bool checkCloud, bool checkEncrypt, QString* warning = nullptr) const;
};
