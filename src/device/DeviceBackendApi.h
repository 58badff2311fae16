#pragma once

// The C interface between Ferrowick and a device backend plugin: a shared
// library that exports the functions below by name. The program opens the
// library at run time (see MobileDeviceLoader.h) and never links it, so a
// backend may be built against any device library (libimobiledevice, a
// simulator, a future platform framework) without the program knowing.
//
// Rules every backend keeps:
// - Codes are signed 32-bit; 0 is success. Other values are the backend's own
//   and are shown to the user in decimal, so they should be stable.
// - A fwdev_device pointer, once handed out, stays valid (never freed) until
//   the library is unloaded, even after its device left: the program may still
//   hold it in a queued notification. Calls on a departed device fail with a
//   code; they never crash.
// - Notifications may arrive on any thread of the backend's choosing.
// - A started service is a connected stream socket the program reads and
//   writes itself; it outlives the session that started it and is given back
//   with fwdev_close_service.

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define FWDEV_API_VERSION 1

#define FWDEV_EVENT_ATTACHED 1
#define FWDEV_EVENT_DETACHED 2

typedef struct fwdev_device fwdev_device;

typedef void (*fwdev_event_cb)(fwdev_device* device, int32_t event, void* context);

// FWDEV_API_VERSION of the interface the backend was built for.
typedef int32_t (*fwdev_api_version_fn)(void);
// Calls cb once for each device attached now, then for every arrival and
// departure until unsubscribed. Writes a subscription id to *id.
typedef int32_t (*fwdev_subscribe_fn)(fwdev_event_cb cb, void* context, int32_t* id);
// After it returns no further call of that subscription's callback starts and
// none is running.
typedef int32_t (*fwdev_unsubscribe_fn)(int32_t id);
// Fills out with up to capacity attached devices; returns how many are
// attached (may exceed capacity). A missing device service means 0 devices.
typedef int32_t (*fwdev_device_list_fn)(fwdev_device** out, int32_t capacity);

typedef int32_t (*fwdev_device_fn)(fwdev_device* device);
// fwdev_connect, fwdev_is_paired (1 paired, 0 not), fwdev_pair,
// fwdev_validate_pairing, fwdev_start_session, fwdev_stop_session,
// fwdev_disconnect all have this shape.

// Copies a lockdown value (domain and key may be null: the whole domain, or
// the default domain). On success *bytes holds a property list (XML or binary)
// of *length bytes, to be freed with fwdev_free; a missing value gives a
// non-zero code and no bytes.
typedef int32_t (*fwdev_copy_value_fn)(fwdev_device* device, const char* domain, const char* key, char** bytes,
                                       uint32_t* length);
typedef void (*fwdev_free_fn)(void* p);
// Starts a service inside a running session; *fd receives the socket.
typedef int32_t (*fwdev_start_service_fn)(fwdev_device* device, const char* service, int32_t* fd);
typedef int32_t (*fwdev_close_service_fn)(int32_t fd);
// Optional (fwdev_backup_program): the absolute path of the program that backs
// up and restores this backend's devices whole, taking idevicebackup2's
// arguments and writing its kind of output. Without it idevicebackup2 is used.
typedef const char* (*fwdev_backup_program_fn)(void);

#ifdef __cplusplus
}
#endif
