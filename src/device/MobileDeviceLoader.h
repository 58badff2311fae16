#pragma once

#include "device/DeviceBackendApi.h"

#include <QFunctionPointer>
#include <QString>
#include <QStringList>

// The functions of the loaded device backend, each looked up by name once when
// the library is opened.
struct _mobiledevice_backend
{
    fwdev_subscribe_fn subscribe = nullptr;
    fwdev_unsubscribe_fn unsubscribe = nullptr;
    fwdev_device_list_fn deviceList = nullptr;
    fwdev_device_fn connect = nullptr;
    fwdev_device_fn isPaired = nullptr;
    fwdev_device_fn pair = nullptr;
    fwdev_device_fn validatePairing = nullptr;
    fwdev_device_fn startSession = nullptr;
    fwdev_device_fn stopSession = nullptr;
    fwdev_device_fn disconnect = nullptr;
    fwdev_copy_value_fn copyValue = nullptr;
    fwdev_free_fn free = nullptr;
    fwdev_start_service_fn startService = nullptr;
    fwdev_close_service_fn closeService = nullptr;
};

// Name of the default backend file, installed beside the executables.
extern const char* const kDefaultDeviceBackendName;

// Where the backend is looked for: FERROWICK_DEVICE_BACKEND when set, else the
// default backend in each plugin folder of g_runtimeFolderCandidates() (beside
// the executable, then lib/ferrowick of the installed prefix).
QStringList mobiledevice_loader_candidates();

// Opens the backend unless one is open; a loaded backend stays for the life of
// the process. On failure the text names the framework and why it failed.
bool mobiledevice_loader_ini(QString& error);
bool mobiledevice_loader_is_loaded();
// The path of the loaded backend, empty when none is loaded.
QString mobiledevice_loader_path();
// The backend's functions; raises std::runtime_error when none is loaded.
const _mobiledevice_backend& mobiledevice_loader_mf();
// Any other symbol of the loaded backend (null when absent or not loaded),
// such as the simulator's control calls.
QFunctionPointer mobiledevice_loader_resolve(const char* name);
