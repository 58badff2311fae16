// The device backend for real iPhones, over libimobiledevice 1.3 and usbmuxd.
//
// Codes: lockdown steps return libimobiledevice's lockdownd_error_t values
// (-17 passcode set, -18 the user did not trust this computer, -19 the trust
// dialog is still open); device and connection failures return
// kIdeviceBase + idevice_error_t (-1003: the device is gone); a service that
// wants SSL is refused with kSslServiceRefused.
//
// Without usbmuxd there are simply no devices: listing answers 0 and a
// subscription waits quietly for the daemon to appear.

#include "device/DeviceBackendApi.h"

#include <libimobiledevice/libimobiledevice.h>
#include <libimobiledevice/lockdown.h>
#include <plist/plist.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#define FWIMD_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
constexpr int32_t kIdeviceBase = -1000;
constexpr int32_t kSslServiceRefused = -1100;
constexpr int32_t kInvalidArg = -1;
const char* const kLabel = "ferrowick";

bool isPairingRefusal(lockdownd_error_t e)
{
    switch (e) {
    case LOCKDOWN_E_PASSWORD_PROTECTED:
    case LOCKDOWN_E_USER_DENIED_PAIRING:
    case LOCKDOWN_E_PAIRING_DIALOG_RESPONSE_PENDING:
    case LOCKDOWN_E_INVALID_HOST_ID:
    case LOCKDOWN_E_MISSING_PAIR_RECORD:
    case LOCKDOWN_E_INVALID_PAIR_RECORD:
    case LOCKDOWN_E_PAIRING_FAILED:
    case LOCKDOWN_E_SSL_ERROR:
        return true;
    default:
        return false;
    }
}
} // namespace

// Kept until the library is unloaded (the program may hold the pointer after
// the device left); all fields under lock.
struct fwdev_device
{
    std::mutex lock;
    std::string udid;
    bool attached = false;
    idevice_t idev = nullptr;
    lockdownd_client_t client = nullptr;
    lockdownd_error_t handshake = LOCKDOWN_E_SUCCESS;
    bool handshakeTried = false;
};

namespace {
struct Service
{
    idevice_t device;
    idevice_connection_t connection;
};

struct Subscriber
{
    fwdev_event_cb cb;
    void* context;
};

struct Backend
{
    std::mutex lock;
    std::recursive_mutex delivering;
    std::map<std::string, std::unique_ptr<fwdev_device>> devices;
    std::map<int32_t, Subscriber> subscribers;
    std::map<int32_t, Service> services;
    int32_t nextSubscription = 1;
    bool listening = false;

    fwdev_device* deviceLocked(const std::string& udid)
    {
        auto& d = devices[udid];
        if (!d) {
            d = std::make_unique<fwdev_device>();
            d->udid = udid;
        }
        return d.get();
    }
};

Backend& backend()
{
    static Backend b;
    return b;
}

void deliver(fwdev_device* d, int32_t event)
{
    Backend& b = backend();
    std::lock_guard<std::recursive_mutex> delivering(b.delivering);
    std::vector<Subscriber> targets;
    {
        std::lock_guard<std::mutex> lock(b.lock);
        for (const auto& s : b.subscribers)
            targets.push_back(s.second);
    }
    for (const Subscriber& s : targets)
        s.cb(d, event, s.context);
}

void onEvent(const idevice_event_t* event, void*)
{
    // Network (Wi-Fi sync) devices are not offered: the program reads over USB.
    if (!event || !event->udid || event->conn_type != CONNECTION_USBMUXD)
        return;
    Backend& b = backend();
    fwdev_device* d = nullptr;
    bool changed = false;
    {
        std::lock_guard<std::mutex> lock(b.lock);
        d = b.deviceLocked(event->udid);
        std::lock_guard<std::mutex> dl(d->lock);
        const bool attached = event->event == IDEVICE_DEVICE_ADD || event->event == IDEVICE_DEVICE_PAIRED;
        changed = d->attached != attached;
        d->attached = attached;
    }
    if (changed)
        deliver(d, d->attached ? FWDEV_EVENT_ATTACHED : FWDEV_EVENT_DETACHED);
}

void freeClient(fwdev_device* d)
{
    if (d->client) {
        lockdownd_client_free(d->client); // says goodbye and ends the session
        d->client = nullptr;
    }
}

lockdownd_error_t handshake(fwdev_device* d)
{
    freeClient(d);
    d->handshakeTried = true;
    d->handshake = lockdownd_client_new_with_handshake(d->idev, &d->client, kLabel);
    if (d->handshake != LOCKDOWN_E_SUCCESS)
        d->client = nullptr;
    return d->handshake;
}
} // namespace

FWIMD_EXPORT int32_t fwdev_api_version(void)
{
    return FWDEV_API_VERSION;
}

FWIMD_EXPORT int32_t fwdev_subscribe(fwdev_event_cb cb, void* context, int32_t* id)
{
    if (!cb || !id)
        return kInvalidArg;
    Backend& b = backend();
    std::vector<fwdev_device*> present;
    {
        std::lock_guard<std::mutex> lock(b.lock);
        *id = b.nextSubscription++;
        b.subscribers[*id] = {cb, context};
        if (!b.listening) {
            // usbmuxd announces the devices already attached on its own; what
            // an earlier listener or a listing marked as attached must count
            // as new, or the announcement would change nothing and go unheard.
            for (auto& d : b.devices) {
                std::lock_guard<std::mutex> dl(d.second->lock);
                d.second->attached = false;
            }
            const idevice_error_t e = idevice_event_subscribe(&onEvent, nullptr);
            if (e != IDEVICE_E_SUCCESS) {
                b.subscribers.erase(*id);
                return kIdeviceBase + e;
            }
            b.listening = true;
            return 0;
        }
        for (auto& d : b.devices)
            if (d.second->attached)
                present.push_back(d.second.get());
    }
    // A later subscriber hears of the devices already here from its own call.
    std::lock_guard<std::recursive_mutex> delivering(b.delivering);
    for (fwdev_device* d : present)
        cb(d, FWDEV_EVENT_ATTACHED, context);
    return 0;
}

FWIMD_EXPORT int32_t fwdev_unsubscribe(int32_t id)
{
    Backend& b = backend();
    bool last = false;
    {
        std::lock_guard<std::mutex> lock(b.lock);
        if (b.subscribers.erase(id) == 0)
            return kInvalidArg;
        last = b.subscribers.empty() && b.listening;
        if (last)
            b.listening = false;
    }
    if (last)
        idevice_event_unsubscribe();
    // Wait for a callback that may still be running on the event thread.
    std::lock_guard<std::recursive_mutex> wait(b.delivering);
    return 0;
}

FWIMD_EXPORT int32_t fwdev_device_list(fwdev_device** out, int32_t capacity)
{
    char** udids = nullptr;
    int count = 0;
    // No usbmuxd (or no permission to reach it) means no device, not an error.
    if (idevice_get_device_list(&udids, &count) != IDEVICE_E_SUCCESS || !udids)
        return 0;
    Backend& b = backend();
    int32_t n = 0;
    {
        std::lock_guard<std::mutex> lock(b.lock);
        std::vector<fwdev_device*> present;
        for (int i = 0; i < count; ++i) {
            fwdev_device* d = b.deviceLocked(udids[i]);
            present.push_back(d);
            if (out && n < capacity)
                out[n] = d;
            ++n;
        }
        // The list is the truth: a later subscriber must not hear of a device
        // that left while nobody listened.
        for (auto& entry : b.devices) {
            fwdev_device* d = entry.second.get();
            std::lock_guard<std::mutex> dl(d->lock);
            d->attached = std::find(present.begin(), present.end(), d) != present.end();
        }
    }
    idevice_device_list_free(udids);
    return n;
}

FWIMD_EXPORT int32_t fwdev_connect(fwdev_device* d)
{
    if (!d)
        return kInvalidArg;
    std::lock_guard<std::mutex> dl(d->lock);
    if (d->idev)
        return 0;
    const idevice_error_t e = idevice_new_with_options(&d->idev, d->udid.c_str(), IDEVICE_LOOKUP_USBMUX);
    if (e != IDEVICE_E_SUCCESS) {
        d->idev = nullptr;
        return kIdeviceBase + e;
    }
    d->handshakeTried = false;
    return 0;
}

FWIMD_EXPORT int32_t fwdev_is_paired(fwdev_device* d)
{
    if (!d)
        return 0;
    std::lock_guard<std::mutex> dl(d->lock);
    if (!d->idev)
        return 0;
    if (d->client)
        return 1;
    // The handshake validates the pairing and starts the session in one go;
    // its refusals are reported by the pairing step that follows.
    return isPairingRefusal(handshake(d)) ? 0 : 1;
}

FWIMD_EXPORT int32_t fwdev_pair(fwdev_device* d)
{
    if (!d)
        return kInvalidArg;
    std::lock_guard<std::mutex> dl(d->lock);
    if (!d->idev)
        return kIdeviceBase + IDEVICE_E_NO_DEVICE;
    if (d->client)
        return 0;
    lockdownd_client_t plain = nullptr;
    lockdownd_error_t e = lockdownd_client_new(d->idev, &plain, kLabel);
    if (e == LOCKDOWN_E_SUCCESS) {
        e = lockdownd_pair(plain, nullptr);
        lockdownd_client_free(plain);
    }
    if (e != LOCKDOWN_E_SUCCESS)
        return e;
    return handshake(d);
}

FWIMD_EXPORT int32_t fwdev_validate_pairing(fwdev_device* d)
{
    if (!d)
        return kInvalidArg;
    std::lock_guard<std::mutex> dl(d->lock);
    if (!d->idev)
        return kIdeviceBase + IDEVICE_E_NO_DEVICE;
    if (d->client)
        return 0;
    return d->handshakeTried ? d->handshake : handshake(d);
}

FWIMD_EXPORT int32_t fwdev_start_session(fwdev_device* d)
{
    if (!d)
        return kInvalidArg;
    std::lock_guard<std::mutex> dl(d->lock);
    if (d->client)
        return 0;
    return d->handshakeTried && d->handshake != LOCKDOWN_E_SUCCESS ? d->handshake : LOCKDOWN_E_NO_RUNNING_SESSION;
}

FWIMD_EXPORT int32_t fwdev_stop_session(fwdev_device* d)
{
    if (!d)
        return kInvalidArg;
    std::lock_guard<std::mutex> dl(d->lock);
    freeClient(d);
    return 0;
}

FWIMD_EXPORT int32_t fwdev_disconnect(fwdev_device* d)
{
    if (!d)
        return kInvalidArg;
    std::lock_guard<std::mutex> dl(d->lock);
    freeClient(d);
    if (d->idev) {
        idevice_free(d->idev);
        d->idev = nullptr;
    }
    d->handshakeTried = false;
    return 0;
}

FWIMD_EXPORT int32_t fwdev_copy_value(fwdev_device* d, const char* domain, const char* key, char** bytes,
                                      uint32_t* length)
{
    if (!d || !bytes || !length)
        return kInvalidArg;
    *bytes = nullptr;
    *length = 0;
    std::lock_guard<std::mutex> dl(d->lock);
    if (!d->client)
        return LOCKDOWN_E_NO_RUNNING_SESSION;
    plist_t value = nullptr;
    const lockdownd_error_t e = lockdownd_get_value(d->client, domain, key, &value);
    if (e != LOCKDOWN_E_SUCCESS || !value) {
        plist_free(value);
        return e != LOCKDOWN_E_SUCCESS ? e : LOCKDOWN_E_MISSING_VALUE;
    }
    plist_to_bin(value, bytes, length);
    plist_free(value);
    return *bytes ? 0 : LOCKDOWN_E_PLIST_ERROR;
}

FWIMD_EXPORT void fwdev_free(void* p)
{
    free(p);
}

FWIMD_EXPORT int32_t fwdev_start_service(fwdev_device* d, const char* service, int32_t* fd)
{
    if (!d || !service || !fd)
        return kInvalidArg;
    *fd = -1;
    std::string udid;
    lockdownd_service_descriptor_t desc = nullptr;
    {
        std::lock_guard<std::mutex> dl(d->lock);
        if (!d->client)
            return LOCKDOWN_E_NO_RUNNING_SESSION;
        // The library allocates the descriptor and frees it: its layout is
        // Debian's 1.3 one, never built by hand here.
        const lockdownd_error_t e = lockdownd_start_service(d->client, service, &desc);
        if (e != LOCKDOWN_E_SUCCESS) {
            if (desc)
                lockdownd_service_descriptor_free(desc);
            return e;
        }
        udid = d->udid;
    }
    const uint16_t port = desc->port;
    const bool ssl = desc->ssl_enabled != 0;
    lockdownd_service_descriptor_free(desc);
    // The program speaks on the bare socket; a service that wants SSL cannot
    // be served that way.
    if (ssl)
        return kSslServiceRefused;

    // Each service has a device handle of its own, so it outlives the session
    // and its connection never refers to a freed handle.
    Service s{nullptr, nullptr};
    idevice_error_t e = idevice_new_with_options(&s.device, udid.c_str(), IDEVICE_LOOKUP_USBMUX);
    if (e == IDEVICE_E_SUCCESS)
        e = idevice_connect(s.device, port, &s.connection);
    int socket = -1;
    if (e == IDEVICE_E_SUCCESS)
        e = idevice_connection_get_fd(s.connection, &socket);
    if (e != IDEVICE_E_SUCCESS || socket < 0) {
        if (s.connection)
            idevice_disconnect(s.connection);
        if (s.device)
            idevice_free(s.device);
        return kIdeviceBase + (e != IDEVICE_E_SUCCESS ? e : IDEVICE_E_UNKNOWN_ERROR);
    }
    Backend& b = backend();
    std::lock_guard<std::mutex> lock(b.lock);
    b.services[socket] = s;
    *fd = socket;
    return 0;
}

FWIMD_EXPORT int32_t fwdev_close_service(int32_t fd)
{
    Backend& b = backend();
    Service s{nullptr, nullptr};
    {
        std::lock_guard<std::mutex> lock(b.lock);
        auto it = b.services.find(fd);
        if (it == b.services.end())
            return fd >= 0 && ::close(fd) == 0 ? 0 : kInvalidArg;
        s = it->second;
        b.services.erase(it);
    }
    idevice_disconnect(s.connection); // closes the socket
    idevice_free(s.device);
    return 0;
}
