#include "SimFixture.h"

#include "device/IOSDevice.h"
#include "device/MobileDeviceLoader.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <stdexcept>

namespace {
template <typename Fn>
Fn control(const char* name)
{
    auto fn = reinterpret_cast<Fn>(mobiledevice_loader_resolve(name));
    if (!fn)
        throw std::runtime_error(std::string("the loaded backend has no ") + name);
    return fn;
}
using ControlFn = int32_t (*)(const char*);
} // namespace

SimFixture::SimFixture(const QString& root) : m_root(QDir(root).absolutePath())
{
    QDir(m_root).removeRecursively();
    QDir().mkpath(m_root);
    qputenv("FERROWICK_SIM_DEVICES", QFile::encodeName(m_root));
}

QString SimFixture::addDevice(const QString& folder, const QString& name, const QString& udid, const SimEntries& extra,
                              bool attached)
{
    const QString dir = m_root + u'/' + folder;
    QDir().mkpath(dir + QStringLiteral("/Media"));
    CFType values = CFType::createCFDictionary();
    values.put(u"DeviceName"_qs, CFType::createCFString(name));
    values.put(u"UniqueDeviceID"_qs, CFType::createCFString(udid));
    values.put(u"ProductType"_qs, CFType::createCFString(u"iPhone14,2"_qs));
    values.put(u"ProductVersion"_qs, CFType::createCFString(u"17.4.1"_qs));
    CFType plist = CFType::createCFDictionary();
    plist.put(u"Values"_qs, values);
    plist.put(u"Attached"_qs, CFType::createCFBoolean(attached));
    for (const auto& entry : extra)
        plist.put(entry.first, entry.second);
    QFile f(dir + QStringLiteral("/device.plist"));
    if (!f.open(QIODevice::WriteOnly) || f.write(plist.CFPropertyListToBytes(CFType::FormatXml)) < 0)
        throw std::runtime_error("cannot write device.plist");
    return dir;
}

QString SimFixture::mediaDir(const QString& folder) const
{
    return m_root + u'/' + folder + QStringLiteral("/Media");
}

QString SimFixture::containerDir(const QString& folder, const QString& bundleId) const
{
    const QString dir = m_root + u'/' + folder + QStringLiteral("/Containers/") + bundleId;
    QDir().mkpath(dir + QStringLiteral("/Documents"));
    return dir;
}

QByteArray SimFixture::writePattern(const QString& path, qint64 size)
{
    QByteArray bytes(qsizetype(size), Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[qsizetype(i)] = char((i * 7 + i / 251) & 0xFF);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != size)
        throw std::runtime_error("cannot write pattern file");
    return bytes;
}

void SimFixture::attach(const QString& folder)
{
    if (control<ControlFn>("fwsim_attach")(folder.toUtf8().constData()) != 0)
        throw std::runtime_error("fwsim_attach failed");
}

void SimFixture::detach(const QString& folder)
{
    if (control<ControlFn>("fwsim_detach")(folder.toUtf8().constData()) != 0)
        throw std::runtime_error("fwsim_detach failed");
}

int SimFixture::connections(const QString& folder)
{
    return control<ControlFn>("fwsim_connections")(folder.toUtf8().constData());
}

am_device* SimFixture::deviceByUdid(const QString& udid)
{
    for (am_device* d : mobiledevice_devices()) {
        try {
            if (IOSDevice::readThrow(d).udid == udid)
                return d;
        } catch (const std::exception&) {
            // a device refusing sessions has no readable identity
        }
    }
    return nullptr;
}

void g_requireDeviceBackend()
{
    QString error;
    if (!mobiledevice_loader_ini(error))
        qFatal("device backend not loadable: %s", qPrintable(error));
}

CFType g_cfDict(const QList<QPair<QString, CFType>>& entries)
{
    CFType d = CFType::createCFDictionary();
    for (const auto& e : entries)
        d.put(e.first, e.second);
    return d;
}
