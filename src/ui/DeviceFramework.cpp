#include "ui/DeviceFramework.h"

#include <QtGlobal>

DeviceFrameworkState g_loadDeviceFramework()
{
    static const DeviceFrameworkState state = [] {
        qInfo("No device backend is installed: attached iPhones are not listed.");
        return DEVICE_FRAMEWORK_NOT_INSTALLED;
    }();
    return state;
}

bool g_deviceFrameworkLoaded()
{
    return g_loadDeviceFramework() == DEVICE_FRAMEWORK_LOADED;
}
