#pragma once

#include "plist/CFType.h"
#include "device/MobileDevice.h"

#include <QList>
#include <QPair>
#include <QString>

using SimEntries = QList<QPair<QString, CFType>>;

// Builds simulated iPhones for the simulator backend: one folder per device
// under a root that FERROWICK_SIM_DEVICES names. The simulator reads the root
// once per process, so a test program makes its devices before the first
// device call (usually in initTestCase).
class SimFixture
{
public:
    // Creates (emptying) root and points FERROWICK_SIM_DEVICES at it.
    explicit SimFixture(const QString& root);

    // A device folder with identity values; more entries of device.plist
    // (switches, Domains) can be given in extra.
    QString addDevice(const QString& folder, const QString& name, const QString& udid,
                      const SimEntries& extra = {}, bool attached = true);
    QString mediaDir(const QString& folder) const;
    QString containerDir(const QString& folder, const QString& bundleId) const;
    QString root() const { return m_root; }

    // Writes a file of size bytes (a pattern that differs at every offset
    // inside 255 bytes) and returns its content.
    static QByteArray writePattern(const QString& path, qint64 size);

    // The simulator's control calls; the backend must be loaded.
    static void attach(const QString& folder);
    static void detach(const QString& folder);
    static int connections(const QString& folder);
    // The attached device with this UDID; null when none (or it refuses sessions).
    static am_device* deviceByUdid(const QString& udid);

private:
    QString m_root;
};

// Loads the backend named by FERROWICK_DEVICE_BACKEND or fails the test.
void g_requireDeviceBackend();

// A dictionary of the simulated device's replies, built from its entries.
CFType g_cfDict(const QList<QPair<QString, CFType>>& entries);
