#include "device/MobileDevice.h"

#include "device/MobileDeviceLoader.h"
#include "shell/UserTexts.h"

#include <QMetaObject>
#include <QObject>

#include <unistd.h>

#include <stdexcept>

namespace {
const _mobiledevice_backend& backend()
{
    QString error;
    if (!mobiledevice_loader_ini(error))
        throw std::runtime_error(error.toStdString());
    return mobiledevice_loader_mf();
}

QString stepText(const char* step, int code)
{
    return QStringLiteral("%1(%2)").arg(QLatin1String(step)).arg(code);
}

QString sessionError(const char* step, int code)
{
    return QStringLiteral("%1<br/><br/>Error code: %2").arg(ids("IDS_IOS_TRUST_TIP"), stepText(step, code));
}

// A session for one request: opened on construction (raising the user text on
// failure), stopped and disconnected on destruction.
class Session
{
public:
    explicit Session(am_device* device) : m_device(device)
    {
        QString error;
        if (device_open(device, error) != 0)
            throw std::runtime_error(error.toStdString());
    }
    ~Session() { device_close(m_device); }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

private:
    am_device* m_device;
};
} // namespace

int mobiledevice_listen(_mobiledevice_listen_ctx* ctx)
{
    const _mobiledevice_backend& b = backend();
    int32_t id = 0;
    const int code = b.subscribe(&mobiledevice_listener, ctx, &id);
    if (code == 0)
        ctx->subscription = id;
    return code;
}

void mobiledevice_unlisten(_mobiledevice_listen_ctx* ctx)
{
    if (!ctx || ctx->subscription == 0 || !mobiledevice_loader_is_loaded())
        return;
    mobiledevice_loader_mf().unsubscribe(ctx->subscription);
    ctx->subscription = 0;
}

void mobiledevice_listener(am_device* device, int32_t message, void* context)
{
    auto* ctx = static_cast<_mobiledevice_listen_ctx*>(context);
    if (!ctx || !ctx->receiver || !device)
        return;
    const char* slot = nullptr;
    if (message == FWDEV_EVENT_ATTACHED)
        slot = ctx->arrivalSlot;
    else if (message == FWDEV_EVENT_DETACHED)
        slot = ctx->departureSlot;
    if (!slot || !*slot)
        return;
    QMetaObject::invokeMethod(ctx->receiver, slot, Qt::AutoConnection, Q_ARG(void*, device));
}

QList<am_device*> mobiledevice_devices()
{
    const _mobiledevice_backend& b = backend();
    // The list may grow between the two calls; ask again until it fits.
    QList<am_device*> devices(16);
    for (;;) {
        const int n = b.deviceList(devices.data(), int32_t(devices.size()));
        if (n <= devices.size()) {
            devices.resize(qMax(0, n));
            return devices;
        }
        devices.resize(n);
    }
}

int device_open(am_device* device, QString& error)
{
    const _mobiledevice_backend& b = mobiledevice_loader_mf();
    int code = b.connect(device);
    if (code != 0) {
        error = sessionError("AMDeviceConnect", code);
        return code;
    }
    const char* step = nullptr;
    if (b.isPaired(device) == 0) {
        code = b.pair(device);
        step = "AMDevicePair";
    }
    if (code == 0) {
        code = b.validatePairing(device);
        step = "AMDeviceValidatePairing";
    }
    if (code == 0) {
        code = b.startSession(device);
        step = "AMDeviceStartSession";
    }
    if (code != 0) {
        b.disconnect(device);
        error = sessionError(step, code);
    }
    return code;
}

void device_close(am_device* device)
{
    const _mobiledevice_backend& b = mobiledevice_loader_mf();
    b.stopSession(device);
    b.disconnect(device);
}

QList<CFType> mobiledevice_info(am_device* device, const QStringList& keys, const QString& domain)
{
    const _mobiledevice_backend& b = backend();
    Session session(device);
    const QByteArray domainBytes = domain.toUtf8();
    QList<CFType> values;
    for (const QString& key : keys) {
        const QByteArray keyBytes = key.toUtf8();
        char* bytes = nullptr;
        uint32_t length = 0;
        const int code = b.copyValue(device, domain.isEmpty() ? nullptr : domainBytes.constData(),
                                     key.isEmpty() ? nullptr : keyBytes.constData(), &bytes, &length);
        CFType value;
        if (code == 0 && bytes && length <= uint32_t(kMaxDeviceMessageBytes))
            value = CFType::createCFPropertyList(QByteArray(bytes, qsizetype(length)));
        if (bytes)
            b.free(bytes);
        values.append(value);
    }
    return values;
}

void mobiledevice_startservice(am_device* device, const char* service, unsigned int& handle)
{
    const _mobiledevice_backend& b = backend();
    int32_t fd = -1;
    int code = 0;
    {
        Session session(device);
        code = b.startService(device, service, &fd);
    }
    if (code == 0 && fd >= 0) {
        handle = unsigned(fd);
        return;
    }
    if (code == 0) // a backend that claims success without a socket
        code = -1;

    QString description = QStringLiteral("Unknown");
    try {
        const QList<CFType> v = mobiledevice_info(
            device, {QStringLiteral("DeviceName"), QStringLiteral("ProductType"), QStringLiteral("ProductVersion")});
        description = QStringLiteral("%1, %2, iOS %3")
                          .arg(v.at(0).CFStringQString(), v.at(1).CFStringQString(), v.at(2).CFStringQString());
    } catch (const std::exception&) {
    }
    const QString text = QStringLiteral("<br/><br/>device:%1 <br/><br/>").arg(description) +
                         ids("IDS_IOS_WIFI_SYNC_TIP") + QStringLiteral("<br/>") +
                         QStringLiteral("Error code: AMDeviceStartService(%1)=%2")
                             .arg(QString::fromUtf8(service))
                             .arg(code);
    throw std::runtime_error(text.toStdString());
}

void mobiledevice_closeservice(unsigned int handle)
{
    if (mobiledevice_loader_is_loaded())
        mobiledevice_loader_mf().closeService(int32_t(handle));
    else
        ::close(int(handle));
}
