#include "SimFixture.h"

#include "device/IOSAfcFileDownload.h"
#include "device/IOSAfcFileUpload.h"
#include "support/RecordingProgress.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QTest>

namespace {
const QString kViber = QStringLiteral("com.viber");

void setMtime(const QString& path, qint64 secs)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.setFileTime(QDateTime::fromSecsSinceEpoch(secs, Qt::UTC), QFileDevice::FileModificationTime));
}

// Unplugs a device at the first progress report: the copy then fails midway.
class UnplugOnProgress : public RecordingProgress
{
public:
    explicit UnplugOnProgress(QString folder) : m_folder(std::move(folder)) {}
    void invokeUpdateProgress(const QString& s, int p, const QString& d) override
    {
        RecordingProgress::invokeUpdateProgress(s, p, d);
        if (!m_done)
            SimFixture::detach(m_folder);
        m_done = true;
    }

private:
    QString m_folder;
    bool m_done = false;
};
} // namespace

class TestDeviceTransfer : public QObject
{
    Q_OBJECT

    std::unique_ptr<SimFixture> m_sim;
    am_device* m_phone = nullptr;
    QString m_container;
    QString m_local;

private slots:
    void initTestCase()
    {
        g_requireTestEnvironment();
        m_sim = std::make_unique<SimFixture>(QDir::current().absoluteFilePath(u"sim-transfer"_qs));
        m_sim->addDevice(u"phone"_qs, u"Phone"_qs, u"udid-phone"_qs, {{u"HouseArrest"_qs, CFType::createCFBoolean(true)}});
        m_sim->addDevice(u"flaky"_qs, u"Flaky"_qs, u"udid-flaky"_qs);
        m_container = m_sim->containerDir(u"phone"_qs, kViber);
        m_local = QDir::current().absoluteFilePath(u"local-copy"_qs);
        QDir(m_local).removeRecursively();
        g_requireDeviceBackend();
        m_phone = SimFixture::deviceByUdid(u"udid-phone"_qs);
        QVERIFY(m_phone);
    }

    void cacheSkipsUnchangedFiles()
    {
        const QString device = m_container + u"/Documents/Attachments/photo.jpg"_qs;
        const QByteArray content = SimFixture::writePattern(device, 100000);
        setMtime(device, 1700000000);
        SimFixture::writePattern(m_container + u"/Documents/empty.bin"_qs, 0);
        setMtime(m_container + u"/Documents/empty.bin"_qs, 1700000500);
        const QString cachePath = m_local + u"/cache.db"_qs;
        const QString local = m_local + u"/Documents/Attachments/photo.jpg"_qs;

        mobiledevice_afc afc(m_phone);
        afc.startService(kViber);
        RecordingProgress progress;
        {
            IOSAfcFileDownload dl(cachePath, progress);
            dl.downloadFileThrow(afc, afc.fileInfo(u"/Documents/Attachments/photo.jpg"_qs), local, true);
            QCOMPARE(dl.bytesRead(), Q_INT64_C(100000));
            QCOMPARE(g_readFile(local), content);
            // An empty device file is an empty local file, and is cached too.
            dl.downloadFileThrow(afc, afc.fileInfo(u"/Documents/empty.bin"_qs), m_local + u"/empty.bin"_qs, true);
            QVERIFY(QFileInfo(m_local + u"/empty.bin"_qs).isFile());
            QCOMPARE(QFileInfo(m_local + u"/empty.bin"_qs).size(), 0);
            QCOMPARE(dl.cache().fileDateSecs(u"/Documents/empty.bin"_qs), Q_INT64_C(1700000500));
            // A folder or a missing file is passed over.
            dl.downloadFileThrow(afc, afc.fileInfo(u"/Documents"_qs), m_local + u"/folder"_qs, true);
            dl.downloadFileThrow(afc, afc.fileInfo(u"/Documents/none"_qs), m_local + u"/none"_qs, true);
            QVERIFY(!QFileInfo::exists(m_local + u"/folder"_qs) && !QFileInfo::exists(m_local + u"/none"_qs));
        }
        QCOMPARE(progress.updates().constLast().detail, u"Loading photo.jpg, 97KB / 97KB"_qs);

        // A later job (new cache object, committed file) reads nothing again.
        {
            IOSAfcFileDownload dl(cachePath, progress);
            dl.downloadFileThrow(afc, afc.fileInfo(u"/Documents/Attachments/photo.jpg"_qs), local, true);
            QCOMPARE(dl.bytesRead(), Q_INT64_C(0));
            // Without the cache it is always copied.
            dl.downloadFileThrow(afc, afc.fileInfo(u"/Documents/Attachments/photo.jpg"_qs), local, false);
            QCOMPARE(dl.bytesRead(), Q_INT64_C(100000));
        }
        // A changed device file is copied again; so is a local copy that went missing.
        setMtime(device, 1700000100);
        {
            IOSAfcFileDownload dl(cachePath, progress);
            dl.downloadFileThrow(afc, afc.fileInfo(u"/Documents/Attachments/photo.jpg"_qs), local, true);
            QCOMPARE(dl.bytesRead(), Q_INT64_C(100000));
            QVERIFY(QFile::remove(local));
            dl.downloadFileThrow(afc, afc.fileInfo(u"/Documents/Attachments/photo.jpg"_qs), local, true);
            QCOMPARE(dl.bytesRead(), Q_INT64_C(200000));
            QCOMPARE(g_readFile(local), content);
        }
    }

    void cacheEntriesAreExactAndFailuresQuiet()
    {
        const QString path = m_local + u"/names.db"_qs;
        {
            BkCacheDb db(path);
            db.setFileDate(u"/Documents/a_b.jpg"_qs, 10);
            db.setFileDate(u"/Documents/A%.jpg"_qs, 20);
            db.setFileDate(u"/Documents/a_b.jpg"_qs, 11);
            QCOMPARE(db.fileDateSecs(u"/Documents/axb.jpg"_qs), Q_INT64_C(0));
            QCOMPARE(db.fileDateSecs(u"/Documents/A_B.jpg"_qs), Q_INT64_C(0));
            QCOMPARE(db.fileDateSecs(u"/Documents/a%.jpg"_qs), Q_INT64_C(0));
            // Past 2038 still fits.
            db.setFileDate(u"/late"_qs, Q_INT64_C(4102444800));
        }
        BkCacheDb db(path);
        QCOMPARE(db.fileDateSecs(u"/Documents/a_b.jpg"_qs), Q_INT64_C(11));
        QCOMPARE(db.fileDateSecs(u"/Documents/A%.jpg"_qs), Q_INT64_C(20));
        QCOMPARE(db.fileDateSecs(u"/late"_qs), Q_INT64_C(4102444800));
        db.remove(u"/Documents/A%.jpg"_qs);
        QCOMPARE(db.fileDateSecs(u"/Documents/A%.jpg"_qs), Q_INT64_C(0));

        // A cache that cannot be opened only means "not cached".
        QDir().mkpath(m_local + u"/dir.db"_qs);
        BkCacheDb broken(m_local + u"/dir.db"_qs);
        broken.setFileDate(u"/x"_qs, 5);
        QCOMPARE(broken.fileDateSecs(u"/x"_qs), Q_INT64_C(0));
        broken.remove(u"/x"_qs);
    }

    void cancelAndFailureLeaveNoPartialFile()
    {
        SimFixture::writePattern(m_container + u"/Documents/big.bin"_qs, 3 * 1024 * 1024);
        const QString local = m_local + u"/big.bin"_qs;
        mobiledevice_afc afc(m_phone);
        afc.startService(kViber);
        {
            RecordingProgress progress;
            progress.cancelAfterUpdates(2);
            IOSAfcFileDownload dl(m_local + u"/cancel.db"_qs, progress);
            try {
                dl.downloadFileThrow(afc, afc.fileInfo(u"/Documents/big.bin"_qs), local, true);
                QFAIL("the cancelled download must raise the cancellation signal");
            } catch (const JobCancelled&) {
            }
            QVERIFY(!QFileInfo::exists(local));
            QCOMPARE(dl.cache().fileDateSecs(u"/Documents/big.bin"_qs), Q_INT64_C(0));
        }

        // A device that goes away midway: an error, no truncated copy, no cache entry.
        SimFixture::writePattern(m_sim->mediaDir(u"flaky"_qs) + u"/big.bin"_qs, 3 * 1024 * 1024);
        am_device* flaky = SimFixture::deviceByUdid(u"udid-flaky"_qs);
        QVERIFY(flaky);
        mobiledevice_afc media(flaky);
        media.startService();
        UnplugOnProgress unplug(u"flaky"_qs);
        IOSAfcFileDownload dl(m_local + u"/flaky.db"_qs, unplug);
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 dl.downloadFileThrow(media, media.fileInfo(u"/big.bin"_qs), local, true));
        QVERIFY(!QFileInfo::exists(local));
        QCOMPARE(dl.cache().fileDateSecs(u"/big.bin"_qs), Q_INT64_C(0));
    }

    void uploadRespectsOverwriteAndMakesFolders()
    {
        mobiledevice_afc afc(m_phone);
        afc.startService(kViber);
        RecordingProgress progress;
        IOSAfcFileUpload up(progress);
        const QString localFile = m_local + u"/upload.bin"_qs;
        const QByteArray content = SimFixture::writePattern(localFile, 70000); // three write pieces

        // Parents are made on the way.
        up.uploadFileThrow(afc, localFile, u"/Documents/New/Deeper/upload.bin"_qs, false);
        QCOMPARE(g_readFile(m_container + u"/Documents/New/Deeper/upload.bin"_qs), content);
        QCOMPARE(progress.updates().constFirst().detail, u"Sending upload.bin"_qs);
        QCOMPARE(progress.updates().constLast().detail, u"Sending upload.bin, 68KB / 68KB"_qs);

        // Without overwrite a non-empty device file stays; an empty one is replaced.
        const QString kept = m_container + u"/Documents/kept.bin"_qs;
        QVERIFY(g_writeFile(kept, "device copy"));
        up.uploadFileThrow(afc, localFile, u"/Documents/kept.bin"_qs, false);
        QCOMPARE(g_readFile(kept), QByteArray("device copy"));
        QVERIFY(g_writeFile(kept, ""));
        up.uploadFileThrow(afc, localFile, u"/Documents/kept.bin"_qs, false);
        QCOMPARE(g_readFile(kept), content);
        QVERIFY(g_writeFile(kept, "device copy, longer than the new one is not"));
        QVERIFY(g_writeFile(localFile, "short"));
        up.uploadFileThrow(afc, localFile, u"/Documents/kept.bin"_qs, true);
        QCOMPARE(g_readFile(kept), QByteArray("short"));

        // Nothing to send: no error, nothing made.
        up.uploadFileThrow(afc, m_local + u"/absent.bin"_qs, u"/Documents/absent.bin"_qs, true);
        up.uploadFileThrow(afc, localFile, QString(), true);
        QVERIFY(!QFileInfo::exists(m_container + u"/Documents/absent.bin"_qs));

        // A device path that cannot be created is an error naming it.
        try {
            up.uploadFileThrow(afc, localFile, u"/Documents/kept.bin/inside"_qs, true);
            QFAIL("writing below a file must fail");
        } catch (const std::runtime_error& e) {
            QCOMPARE(QString::fromUtf8(e.what()),
                     u"IOSAfcFileUpload::uploadFileThrow, can not create /Documents/kept.bin/inside."_qs);
        }

        // A closed job sends nothing.
        progress.setClosed(true);
        QVERIFY_THROWS_EXCEPTION(JobCancelled, up.uploadFileThrow(afc, localFile, u"/Documents/late.bin"_qs, true));
        QVERIFY(!QFileInfo::exists(m_container + u"/Documents/late.bin"_qs));
    }
};

QTEST_GUILESS_MAIN(TestDeviceTransfer)
#include "test_device_transfer.moc"
