#pragma once

#include "plist/CFType.h"
#include "device/DeviceBackendApi.h"

#include <QList>
#include <QString>
#include <QStringList>

class QObject;

// The backend's record of one attached iPhone: opaque, valid until the backend
// is unloaded (a departed device only makes calls fail).
using am_device = fwdev_device;

// Who hears of arriving and departing iPhones: the receiver's slots (taking
// one void*, the am_device*) are invoked by name, queued when the receiver
// lives on another thread than the backend's notification.
struct _mobiledevice_listen_ctx
{
    QObject* receiver = nullptr;
    const char* arrivalSlot = "";
    const char* departureSlot = "";
    // Set by mobiledevice_listen; 0 while not listening.
    int32_t subscription = 0;
};

// Loads the backend when needed (raising std::runtime_error with the loader's
// text when it cannot) and subscribes ctx; returns the backend's code. The
// context must stay alive until mobiledevice_unlisten.
int mobiledevice_listen(_mobiledevice_listen_ctx* ctx);
// Ends the subscription; no slot is invoked afterwards (queued ones already
// posted still arrive unless the receiver is gone).
void mobiledevice_unlisten(_mobiledevice_listen_ctx* ctx);
// The backend's notification callback: message 1 invokes the arrival slot,
// 2 the departure slot, others are ignored.
void mobiledevice_listener(am_device* device, int32_t message, void* ctx);

// The devices attached now (loads the backend; raises when it cannot).
QList<am_device*> mobiledevice_devices();

// Opens a lockdown session: connect, pair when not paired, validate the
// pairing, start the session. 0 on success, else the failing step's code with
// error set to a text for the user; the connection is closed on failure.
int device_open(am_device* device, QString& error);
// Stops the session and disconnects.
void device_close(am_device* device);

// One value per key, in key order; a missing value is a null wrapper. An empty
// domain or key asks for the default domain or the whole domain. Raises
// std::runtime_error when the session cannot be opened.
QList<CFType> mobiledevice_info(am_device* device, const QStringList& keys, const QString& domain = QString());

// Starts a service in a session of its own; the socket outlives the session.
// Raises std::runtime_error with a text describing the device and the code.
void mobiledevice_startservice(am_device* device, const char* service, unsigned int& handle);
void mobiledevice_closeservice(unsigned int handle);

// Raw transfer on a service socket. A timeout below 1 waits without limit.
// recv returns what arrived before the peer closed or a wait timed out.
int mobiledevice_send_all(unsigned int handle, const char* data, int len, int timeoutMs);
int mobiledevice_recv_all(unsigned int handle, char* data, int len, int timeoutMs);

// Largest property-list message accepted from a peer.
constexpr int kMaxDeviceMessageBytes = 64 * 1024 * 1024;

// One property list framed by a 4-byte big-endian length. Both raise
// std::runtime_error on a short or oversized transfer; a body that does not
// parse is received as a null value.
void mobiledevice_sendmsg(unsigned int handle, const CFType& msg, bool binary, int timeoutMs);
CFType mobiledevice_recmsg(unsigned int handle, const CFType& request, int timeoutMs);

// How long mobiledevice_recmsg waits for each part of a length prefix (60 s).
// Returns the previous value; tests shorten it.
int mobiledevice_set_length_wait_ms(int ms);
