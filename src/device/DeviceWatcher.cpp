#include "device/DeviceWatcher.h"

#include <stdexcept>

DeviceWatcher::DeviceWatcher(QObject* parent) : QObject(parent)
{
    m_ctx.receiver = this;
    m_ctx.arrivalSlot = "iosDeviceConnected";
    m_ctx.departureSlot = "iosDeviceDisconnected";
}

DeviceWatcher::~DeviceWatcher()
{
    stop();
}

bool DeviceWatcher::start(QString& error)
{
    if (isWatching())
        return true;
    try {
        const int code = mobiledevice_listen(&m_ctx);
        if (code != 0) {
            error = QStringLiteral("Listening for iPhones failed with code %1.").arg(code);
            return false;
        }
    } catch (const std::exception& e) {
        error = QString::fromUtf8(e.what());
        return false;
    }
    return true;
}

void DeviceWatcher::stop()
{
    // After this no new notification is posted; ones already queued are
    // dropped with this object when it is destroyed.
    mobiledevice_unlisten(&m_ctx);
}

void DeviceWatcher::iosDeviceConnected(void* device)
{
    auto* d = static_cast<am_device*>(device);
    if (!isWatching() || m_devices.contains(d))
        return;
    m_devices.append(d);
    emit deviceArrived(d);
}

void DeviceWatcher::iosDeviceDisconnected(void* device)
{
    // A departure of a device never announced (or announced twice) is dropped.
    auto* d = static_cast<am_device*>(device);
    if (!m_devices.removeOne(d))
        return;
    emit deviceLeft(d);
}
