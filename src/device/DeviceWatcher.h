#pragma once

#include "device/MobileDevice.h"

#include <QList>
#include <QMetaType>
#include <QObject>

// The backend's device handle is opaque; signals carry it as it is.
Q_DECLARE_OPAQUE_POINTER(am_device*)
Q_DECLARE_METATYPE(am_device*)

// Hears iPhones arrive and leave and tells the thread it lives on (the GUI
// thread in the application) through signals. The backend notifies on a
// thread of its own; the notification is queued to this object's thread.
class DeviceWatcher : public QObject
{
    Q_OBJECT

public:
    explicit DeviceWatcher(QObject* parent = nullptr);
    ~DeviceWatcher() override;

    // Subscribes to the loaded backend; false with error set when the backend
    // cannot be loaded or refuses. Devices already attached arrive at once.
    bool start(QString& error);
    void stop();
    bool isWatching() const { return m_ctx.subscription != 0; }
    // The devices announced and not yet departed, in order of arrival.
    const QList<am_device*>& devices() const { return m_devices; }

signals:
    void deviceArrived(am_device* device);
    void deviceLeft(am_device* device);

private slots:
    // Called by name from the backend's thread (queued), hence void*.
    void iosDeviceConnected(void* device);
    void iosDeviceDisconnected(void* device);

private:
    _mobiledevice_listen_ctx m_ctx;
    QList<am_device*> m_devices;
};
