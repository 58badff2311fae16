#include "SimFixture.h"

#include "device/MobileDeviceAfc.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QTest>

namespace {
const QString kViber = QStringLiteral("com.viber");

QByteArray readWhole(AfcFile& f, qint64 expected)
{
    QByteArray all;
    QByteArray buf(524288, Qt::Uninitialized);
    for (;;) {
        const int n = f.read(buf.data(), int(buf.size()));
        if (n <= 0)
            break;
        all.append(buf.constData(), n);
        if (all.size() > expected + buf.size())
            break; // never loop forever on a broken reader
    }
    return all;
}
} // namespace

class TestDeviceAfc : public QObject
{
    Q_OBJECT

    std::unique_ptr<SimFixture> m_sim;
    am_device* m_phone = nullptr; // vends containers
    am_device* m_store = nullptr; // refuses like a current iPhone

private slots:
    void initTestCase()
    {
        g_requireTestEnvironment();
        m_sim = std::make_unique<SimFixture>(QDir::current().absoluteFilePath(u"sim-afc"_qs));
        m_sim->addDevice(u"phone"_qs, u"Phone"_qs, u"udid-phone"_qs, {{u"HouseArrest"_qs, CFType::createCFBoolean(true)}});
        m_sim->addDevice(u"store"_qs, u"Store"_qs, u"udid-store"_qs);
        m_sim->addDevice(u"gone"_qs, u"Gone"_qs, u"udid-gone"_qs);
        m_sim->containerDir(u"phone"_qs, kViber);
        m_sim->containerDir(u"store"_qs, kViber);
        g_requireDeviceBackend();
        m_phone = SimFixture::deviceByUdid(u"udid-phone"_qs);
        m_store = SimFixture::deviceByUdid(u"udid-store"_qs);
        QVERIFY(m_phone && m_store);
    }

    void houseArrestRefusedShowsEscapedAnswer()
    {
        mobiledevice_afc afc(m_store);
        try {
            afc.startService(kViber);
            QFAIL("vending must be refused");
        } catch (const std::runtime_error& e) {
            const QString text = QString::fromUtf8(e.what());
            QVERIFY2(text.startsWith(u"can not find com.viber.<br/>&lt;?xml"_qs), e.what());
            QVERIFY2(text.contains(u"&lt;key&gt;Error&lt;/key&gt;"_qs), e.what());
            QVERIFY2(text.contains(u"InstallationLookupFailed"_qs), e.what());
            QVERIFY(!text.contains(u'<' + u"key>"_qs));
        }
        QCOMPARE(afc.handle(), 0u);

        // An application that is not installed is refused even where vending works.
        mobiledevice_afc other(m_phone);
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, other.startService(u"com.example.absent"_qs));
        QCOMPARE(other.handle(), 0u);
    }

    void filesOfEdgeSizesReadWhole_data()
    {
        QTest::addColumn<qint64>("size");
        for (qint64 s : {0, 1, 65535, 65536, 65537, 3 * 1024 * 1024})
            QTest::addRow("%lld", s) << s;
    }

    void filesOfEdgeSizesReadWhole()
    {
        QFETCH(qint64, size);
        const QString name = QStringLiteral("f%1.bin").arg(size);
        const QString local = m_sim->containerDir(u"phone"_qs, kViber) + u"/Documents/"_qs + name;
        const QByteArray expected = SimFixture::writePattern(local, size);
        const QDateTime when = QDateTime::fromSecsSinceEpoch(1700000000 + size, Qt::UTC);
        {
            QFile f(local);
            QVERIFY(f.open(QIODevice::ReadWrite) && f.setFileTime(when, QFileDevice::FileModificationTime));
        }

        mobiledevice_afc afc(m_phone);
        afc.startService(kViber);
        const _AfcFileInfo info = afc.fileInfo(u"/Documents/"_qs + name);
        QVERIFY(info.isFile() && !info.isDir());
        QCOMPARE(info.path, u"/Documents/"_qs + name);
        QCOMPARE(info.size, size);
        QCOMPARE(info.modified.toMSecsSinceEpoch(), when.toMSecsSinceEpoch());

        AfcFile file;
        QVERIFY(afc.readFile(info.path, file));
        const QByteArray got = readWhole(file, size);
        QCOMPARE(got.size(), expected.size());
        QVERIFY(got == expected);
    }

    void listingKeepsDeviceOrderOfFilesAndFolders()
    {
        const QString media = m_sim->mediaDir(u"store"_qs) + u"/DCIM"_qs;
        for (const char* n : {"b.JPG", "a.JPG", "C.MOV"})
            SimFixture::writePattern(media + u'/' + QLatin1String(n), 3);
        QDir().mkpath(media + u"/100APPLE"_qs);
        QFile::link(media + u"/a.JPG"_qs, media + u"/link"_qs);

        mobiledevice_afc afc(m_store);
        afc.startService();
        const QStringList raw = mobiledevice_afc_read_dir(afc.handle(), u"/DCIM"_qs);
        QCOMPARE(raw.mid(0, 2), (QStringList{u"."_qs, u".."_qs}));
        QStringList expected;
        for (const QString& n : raw.mid(2))
            if (n != QLatin1String("link"))
                expected << u"/DCIM/"_qs + n;
        QStringList listed;
        for (const _AfcFileInfo& i : afc.lt(u"/DCIM"_qs))
            listed << i.path;
        QCOMPARE(listed, expected);
        QCOMPARE(afc.lt(u"/DCIM/"_qs).size(), expected.size());
        QVERIFY(afc.fileInfo(u"/DCIM/100APPLE"_qs).isDir());
        QCOMPARE(afc.fileInfo(u"/DCIM/link"_qs).type, u"S_IFLNK"_qs);
        QVERIFY(afc.lt(u"/NoSuchFolder"_qs).isEmpty());
    }

    void missingPathsAndStatuses()
    {
        mobiledevice_afc afc(m_store);
        afc.startService();
        const _AfcFileInfo missing = afc.fileInfo(u"/PhotoData/Photos.sqlite"_qs);
        QVERIFY(!missing.isValid() && !missing.isFile() && !missing.isDir());
        QVERIFY(missing.path.isEmpty());
        try {
            mobiledevice_afc_file_info(afc.handle(), u"/PhotoData/Photos.sqlite"_qs);
            QFAIL("a missing path must raise");
        } catch (const std::runtime_error& e) {
            QCOMPARE(QString::fromUtf8(e.what()), u"read AFC failed, received AFC_OP_STATUS, param1=8."_qs);
        }
        AfcFile file;
        QVERIFY(!afc.readFile(u"/missing.bin"_qs, file));
        QVERIFY(!file.isOpen());
        // The connection stays usable after refusals.
        QVERIFY(afc.mkdir(u"/made/deep"_qs));
        QVERIFY(afc.fileInfo(u"/made/deep"_qs).isDir());
        QVERIFY(!afc.del(u"/made"_qs)); // not empty
        QVERIFY(afc.del(u"/made/deep"_qs));
        QVERIFY(!afc.del(u"/made/deep"_qs));
        // Paths that climb out of the served folder reach nothing.
        QVERIFY(!afc.fileInfo(u"/../store/device.plist"_qs).isValid());
    }

    void writtenFilesArriveWhole()
    {
        mobiledevice_afc afc(m_store);
        afc.startService();
        QByteArray data(100000, Qt::Uninitialized);
        for (int i = 0; i < data.size(); ++i)
            data[i] = char(i % 251);
        {
            AfcFile file;
            QVERIFY(afc.writeFile(u"/up.bin"_qs, file));
            QCOMPARE(file.write(data.constData(), int(data.size())), int(data.size()));
        }
        QCOMPARE(g_readFile(m_sim->mediaDir(u"store"_qs) + u"/up.bin"_qs), data);
        AfcFile file;
        QVERIFY(!afc.writeFile(u"/no/parent.bin"_qs, file));
    }

    void unpluggedDeviceFailsCleanly()
    {
        am_device* gone = SimFixture::deviceByUdid(u"udid-gone"_qs);
        SimFixture::writePattern(m_sim->mediaDir(u"gone"_qs) + u"/x.bin"_qs, 200000);
        mobiledevice_afc afc(gone);
        afc.startService();
        AfcFile file;
        QVERIFY(afc.readFile(u"/x.bin"_qs, file));
        SimFixture::detach(u"gone"_qs);
        char buf[70000];
        QCOMPARE(file.read(buf, sizeof buf), -1);
        QVERIFY(!afc.fileInfo(u"/x.bin"_qs).isValid());
        QVERIFY(afc.lt(u"/"_qs).isEmpty());
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, mobiledevice_afc(gone).startService());
    }
};

QTEST_GUILESS_MAIN(TestDeviceAfc)
#include "test_device_afc.moc"
