#include "ui/DeviceFramework.h"

#include "device/MobileDeviceLoader.h"

#include <QFileInfo>
#include <QtGlobal>

DeviceFrameworkState g_loadDeviceFramework()
{
    static const DeviceFrameworkState state = [] {
        // No backend file anywhere it is looked for: device support is simply
        // not installed. One that exists but does not load is worth a warning.
        bool present = false;
        for (const QString& path : mobiledevice_loader_candidates())
            present = present || QFileInfo::exists(path);
        if (!present) {
            qInfo("No device backend is installed: attached iPhones are not listed.");
            return DEVICE_FRAMEWORK_NOT_INSTALLED;
        }
        QString error;
        if (!mobiledevice_loader_ini(error)) {
            qWarning("%s", qPrintable(error));
            return DEVICE_FRAMEWORK_LOAD_FAILED;
        }
        qInfo("Device backend loaded from %s.", qPrintable(mobiledevice_loader_path()));
        return DEVICE_FRAMEWORK_LOADED;
    }();
    return state;
}

bool g_deviceFrameworkLoaded()
{
    return g_loadDeviceFramework() == DEVICE_FRAMEWORK_LOADED;
}
