#pragma once

// What start-up found of the device framework (the backend that reaches
// attached iPhones).
enum DeviceFrameworkState
{
    DEVICE_FRAMEWORK_LOADED,
    // No backend is installed on this machine: device features are simply
    // absent, which is not worth a warning.
    DEVICE_FRAMEWORK_NOT_INSTALLED,
    // A backend is installed but could not be loaded: the user is warned.
    DEVICE_FRAMEWORK_LOAD_FAILED,
};

// Loads the device backend (mobiledevice_loader_ini) once; later calls return
// the first answer.
DeviceFrameworkState g_loadDeviceFramework();
bool g_deviceFrameworkLoaded();
