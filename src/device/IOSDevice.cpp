#include "device/IOSDevice.h"

#include "shell/DataFolders.h"
#include "shell/Failure.h"
#include "stores/StorePaths.h"

#include <QRegularExpression>

#include <exception>

IOSDevice IOSDevice::readThrow(am_device* device)
{
    const QList<CFType> v = mobiledevice_info(
        device, {QStringLiteral("UniqueDeviceID"), QStringLiteral("DeviceName"),
                 QStringLiteral("MobileSubscriberCountryCode"), QStringLiteral("ProductVersion"),
                 QStringLiteral("ProductType")});
    IOSDevice d;
    d.udid = v.at(0).CFStringQString();
    d.name = v.at(1).CFStringQString();
    d.countryCode = v.at(2).CFStringQString();
    d.productVersion = v.at(3).CFStringQString();
    d.productType = v.at(4).CFStringQString();
    d.device = device;
    return d;
}

QDir IOSDevice::cacheDir(const DataFolders& folders) const
{
    if (!g_isPlainFileName(udid))
        g_raise(QStringLiteral("The device reported an unusable identifier \"%1\".").arg(udid));
    const QDir dir(folders.deviceCacheDir().filePath(udid));
    if (!dir.exists() && !QDir().mkpath(dir.absolutePath()))
        g_raise(QStringLiteral("cannot create %1").arg(dir.absolutePath()));
    return dir;
}

QDir IOSDevice::viberRootDir(const DataFolders& folders) const
{
    return QDir(cacheDir(folders).absoluteFilePath(QStringLiteral("com.viber")));
}

QList<int> IOSDevice::versionList() const
{
    static const QRegularExpression number(QStringLiteral("\\.?(\\d+)"));
    QList<int> list;
    auto it = number.globalMatch(productVersion);
    while (it.hasNext())
        list << it.next().captured(1).toInt();
    return list;
}

bool IOSDevice::checkiTunesBackupSettings(bool checkCloud, bool checkEncrypt, QString* warning) const
{
    CFType settings;
    try {
        settings = mobiledevice_info(device, {QString()}, QStringLiteral("com.apple.mobile.backup")).value(0);
    } catch (const std::exception&) {
        return true;
    }
    if (settings.isNull())
        return true;
    const QString form = QStringLiteral("%1<br/><br/><img src=\"%2\"/>");
    if (checkCloud && settings.get(QStringLiteral("CloudBackupEnabled")).CFNumberBool(false)) {
        if (warning)
            *warning = form.arg(QStringLiteral("Failed to transfer data to device. Please turn off iCloud backup on "
                                               "your iPhone to try again."),
                                QStringLiteral(":res/close_icloudbk.jpg"));
        return false;
    }
    if (checkEncrypt && settings.get(QStringLiteral("WillEncrypt")).CFNumberBool(false)) {
        if (warning)
            *warning = form.arg(QStringLiteral("Failed to transfer data to device. Your iTunes backup is encrypted. "
                                               "Please run iTunes on computer and then uncheck \"Encrypt iPhone "
                                               "backup\" option to try again."),
                                QStringLiteral(":res/close_itunesbkenc.jpg"));
        return false;
    }
    return true;
}
