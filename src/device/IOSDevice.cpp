#include "device/IOSDevice.h"

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
