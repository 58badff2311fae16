#include "SimFixture.h"

#include "device/IOSDevice.h"
#include "fixtures/ViberBackupFixture.h"
#include "itunes/BackupManifest.h"
#include "jobs/IOSDeviceViberLoad.h"
#include "stores/DemoHistory.h"
#include "stores/IOSViberDb.h"
#include "support/RecordingProgress.h"
#include "support/TestEnv.h"

#include <QDirIterator>
#include <QFile>
#include <QTest>

namespace {
// Runs every job on its own thread as the window does, keeping what it said.
struct Runner
{
    QStringList errors;
    int jobs = 0;
    DeviceJobRunner fn()
    {
        return [this](const std::function<QThread*(JobProgress&)>& makeJob) {
            RecordingProgress p;
            QThread* job = makeJob(p);
            job->start();
            job->wait();
            ++jobs;
            errors << p.errors();
            return p.errors().isEmpty() && p.successes().size() == 1 && !p.closed();
        };
    }
};

QStringList messageTexts(const ViberData& data)
{
    QStringList texts;
    for (const _ViberMsg* m : data.p()->msgs)
        texts << QStringLiteral("%1|%2").arg(m->date, 0, 'f', 3).arg(m->text);
    texts.sort();
    return texts;
}

ViberData readLoaded(const IOSDeviceLoadResult& r)
{
    IOSViberDb db(r.containers.appRoot, r.containers.storeFile, false);
    db.setMakePreviews(false);
    return db.loadDataThrow();
}
} // namespace

class TestLoadFromDevice : public QObject
{
    Q_OBJECT

    std::unique_ptr<SimFixture> m_sim;
    ViberBackupSample m_sample;
    QStringList m_expected;

    void addViberPhone(const QString& folder, const QString& udid, const SimEntries& extra)
    {
        m_sim->addDevice(folder, folder, udid, extra);
        ContainerFixture c(m_sim->containerDir(folder, u"com.viber"_qs));
        m_sample = g_fillBackupSample(c);
        c.finish();
        QDir().mkpath(m_sim->mediaDir(folder) + u"/PhotoData"_qs);
        BackupFixture::writePhotosDb(m_sim->mediaDir(folder) + u"/PhotoData/Photos.sqlite"_qs, {m_sample.asset});
        QFile f(m_sim->mediaDir(folder) + u"/DCIM/100APPLE/IMG_0001.JPG"_qs);
        QDir().mkpath(QFileInfo(f).absolutePath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(m_sample.asset.content);
        // The camera roll's own thumbnail of the picture (modified at 0 s after 2001).
        QDir().mkpath(m_sim->mediaDir(folder) + u"/DCIM/.THMB/00"_qs);
        QVERIFY(g_writeFile(m_sim->mediaDir(folder) + u"/DCIM/.THMB/00/100APPLE___IMG_0001.JPG.978307200"_qs,
                            "thumbnail bytes"));
    }

    IOSDevice device(const QString& udid)
    {
        am_device* d = SimFixture::deviceByUdid(udid);
        if (!d)
            throw std::runtime_error("simulated device missing");
        return IOSDevice::readThrow(d);
    }

private slots:
    void initTestCase()
    {
        g_requireTestEnvironment();
        m_sim = std::make_unique<SimFixture>(QDir::current().absoluteFilePath(u"sim-load"_qs));
        addViberPhone(u"direct"_qs, u"udid-direct"_qs, {{u"HouseArrest"_qs, CFType::createCFBoolean(true)}});
        addViberPhone(u"current"_qs, u"udid-current"_qs, {});
        addViberPhone(u"locked"_qs, u"udid-locked"_qs,
                      {{u"Domains"_qs, g_cfDict({{u"com.apple.mobile.backup"_qs,
                                              g_cfDict({{u"WillEncrypt"_qs, CFType::createCFBoolean(true)}})}})},
                       {u"Backup"_qs, g_cfDict({{u"Password"_qs, CFType::createCFString(u"pw"_qs)}})}});
        m_sim->addDevice(u"empty"_qs, u"Empty"_qs, u"udid-empty"_qs);
        m_sim->addDevice(u"demo"_qs, u"Demo"_qs, u"udid-demo"_qs, {{u"HouseArrest"_qs, CFType::createCFBoolean(true)}});
        {
            const QString container = m_sim->containerDir(u"demo"_qs, u"com.viber"_qs);
            QDir(container).removeRecursively();
            g_writeDemoContainerThrow(container);
        }
        m_sim->addDevice(u"cloud"_qs, u"Cloud"_qs, u"udid-cloud"_qs,
                         {{u"Domains"_qs, g_cfDict({{u"com.apple.mobile.backup"_qs,
                                                 g_cfDict({{u"CloudBackupEnabled"_qs, CFType::createCFBoolean(true)}})}})}});
        {
            IOSViberDb db(QDir(m_sim->containerDir(u"direct"_qs, u"com.viber"_qs)), u"Documents/Contacts.data"_qs, false);
            db.setMakePreviews(false);
            m_expected = messageTexts(db.loadDataThrow());
        }
        QVERIFY(!m_expected.isEmpty());
        g_requireDeviceBackend();
    }

    void directRouteCopiesContainerAndAssets()
    {
        Runner run;
        IOSDeviceLoadHooks hooks;
        hooks.runJob = run.fn();
        IOSDeviceLoadResult r;
        const IOSDevice d = device(u"udid-direct"_qs);
        QVERIFY(g_loadIOSViberMessagesThrow(d, g_testDataFolders(), hooks, r));
        QVERIFY2(run.errors.isEmpty(), qPrintable(run.errors.join(u'\n')));
        QCOMPARE(run.jobs, 1);
        QVERIFY(!r.viaBackup);
        QCOMPARE(r.dataDir.absolutePath(), d.viberRootDir(g_testDataFolders()).absolutePath());
        QCOMPARE(messageTexts(readLoaded(r)), m_expected);
        QCOMPARE(g_readFile(r.dataDir.absoluteFilePath(u"Documents/VoiceMessages/voice1.m4a"_qs)), QByteArray("voice bytes"));
        QVERIFY(QFileInfo(r.dataDir.absoluteFilePath(u"Documents/CustomLocationImage/48.858800_2.jpg"_qs)).size() > 0);
        // What the view and the exports show beside the messages: the
        // sticker's picture and the contact pictures (a Viber icon, an
        // address-book picture), each under the name the reader gives it.
        const QString phone = m_sim->containerDir(u"direct"_qs, u"com.viber"_qs) + u'/';
        for (const auto& [local, original] :
             {std::pair{u"Documents/stickers/0/100/00000075.png"_qs, u"Documents/stickers/0/100/00000075.png"_qs},
              std::pair{u"Documents/ContactIcons/4915111111111.jpg"_qs, u"Documents/ViberIcons/ic-anna.jpg"_qs},
              std::pair{u"Documents/ContactIcons/79161234567.jpg"_qs, u"Documents/ContactIcons/12.jpg"_qs}}) {
            QVERIFY2(!g_readFile(phone + original).isEmpty(), qPrintable(original));
            QVERIFY2(g_readFile(r.dataDir.absoluteFilePath(local)) == g_readFile(phone + original), qPrintable(local));
        }
        // The reader finds the sticker's picture where the copy went.
        const ViberData shown = readLoaded(r);
        int stickers = 0;
        for (const _ViberAtta* a : shown.p()->attas) {
            if (a->msg && a->msg->type == MSG_TYPE_STICKER && a->mediaId == u"75"_qs) {
                ++stickers;
                QCOMPARE(QFileInfo(a->thumbPath).canonicalFilePath(),
                         QFileInfo(r.dataDir.absoluteFilePath(u"Documents/stickers/0/100/00000075.png"_qs)).canonicalFilePath());
            }
        }
        QCOMPARE(stickers, 1);
        // The picture kept only in the camera roll came through the photo library.
        QCOMPARE(g_readFile(r.dataDir.absoluteFilePath(u"Documents/Attachments/asset1.jpg"_qs)), m_sample.asset.content);
        // Without a preview in the container, the camera roll's thumbnail serves.
        QDirIterator it(r.dataDir.absolutePath(), {u"asset1*"_qs}, QDir::Files, QDirIterator::Subdirectories);
        QStringList previews;
        while (it.hasNext()) {
            const QString path = it.next();
            if (!path.contains(u"/Attachments/"_qs))
                previews << path;
        }
        QCOMPARE(previews.size(), 1);
        QCOMPARE(g_readFile(previews.at(0)), QByteArray("thumbnail bytes"));
    }

    // The demo history on a phone: every sticker and every contact that
    // has a picture there shows it after the load, none as a placeholder.
    void demoPhoneShowsItsStickersAndPictures()
    {
        Runner run;
        IOSDeviceLoadHooks hooks;
        hooks.runJob = run.fn();
        IOSDeviceLoadResult r;
        QVERIFY(g_loadIOSViberMessagesThrow(device(u"udid-demo"_qs), g_testDataFolders(), hooks, r));
        QVERIFY2(run.errors.isEmpty(), qPrintable(run.errors.join(u'\n')));
        const ViberData data = readLoaded(r);
        const QString phone = m_sim->containerDir(u"demo"_qs, u"com.viber"_qs) + u'/';
        int stickers = 0, pictures = 0;
        for (const _ViberAtta* a : data.p()->attas) {
            if (!a->msg || a->msg->type != MSG_TYPE_STICKER)
                continue;
            ++stickers;
            QVERIFY2(QFileInfo(a->thumbPath).size() > 0, qPrintable(a->mediaId));
        }
        for (const _ViberPerson* p : data.p()->persons) {
            if (!QFileInfo::exists(phone + p->viberIconPath))
                continue;
            ++pictures;
            QCOMPARE(g_readFile(p->picturePath), g_readFile(phone + p->viberIconPath));
        }
        QVERIFY(stickers > 0);
        QVERIFY(pictures > 0);
    }

    void secondLoadCopiesOnlyChangedFiles()
    {
        Runner run;
        IOSDeviceLoadHooks hooks;
        hooks.runJob = run.fn();
        IOSDeviceLoadResult r;
        const IOSDevice d = device(u"udid-direct"_qs);
        QVERIFY(g_loadIOSViberMessagesThrow(d, g_testDataFolders(), hooks, r));
        const QString local = r.dataDir.absoluteFilePath(u"Documents/VoiceMessages/voice1.m4a"_qs);
        // Same size, other bytes: a copy the cache vouches for is not fetched again.
        QVERIFY(g_writeFile(local, "VOICE BYTES"));
        QVERIFY(g_loadIOSViberMessagesThrow(d, g_testDataFolders(), hooks, r));
        QCOMPARE(g_readFile(local), QByteArray("VOICE BYTES"));
        // Changed on the device: fetched again.
        const QString onDevice = m_sim->containerDir(u"direct"_qs, u"com.viber"_qs) + u"/Documents/VoiceMessages/voice1.m4a"_qs;
        QVERIFY(g_writeFile(onDevice, "new voice bytes"));
        QFile f(onDevice);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(QDateTime::currentDateTimeUtc().addSecs(3600), QFileDevice::FileModificationTime));
        f.close();
        QVERIFY(g_loadIOSViberMessagesThrow(d, g_testDataFolders(), hooks, r));
        QCOMPARE(g_readFile(local), QByteArray("new voice bytes"));
        QVERIFY2(run.errors.isEmpty(), qPrintable(run.errors.join(u'\n')));
    }

    void backupRouteWhenHouseArrestRefused()
    {
        Runner run;
        IOSDeviceLoadHooks hooks;
        hooks.runJob = run.fn();
        bool asked = false;
        hooks.unlockBackup = [&](BackupManifest&) { return asked = true; };
        IOSDeviceLoadResult r;
        QVERIFY(g_loadIOSViberMessagesThrow(device(u"udid-current"_qs), g_testDataFolders(), hooks, r));
        QVERIFY2(run.errors.isEmpty(), qPrintable(run.errors.join(u'\n')));
        QCOMPARE(run.jobs, 3); // direct attempt, device backup, load from the backup
        QVERIFY(r.viaBackup);
        QVERIFY(!asked);
        QVERIFY(!r.templateStore);
        QCOMPARE(messageTexts(readLoaded(r)), m_expected);
    }

    void encryptedDeviceBackupAsksForPassword()
    {
        Runner run;
        IOSDeviceLoadHooks hooks;
        hooks.runJob = run.fn();
        int asked = 0;
        hooks.unlockBackup = [&](BackupManifest&) {
            ++asked;
            return false;
        };
        IOSDeviceLoadResult r;
        const IOSDevice d = device(u"udid-locked"_qs);
        QVERIFY(!g_loadIOSViberMessagesThrow(d, g_testDataFolders(), hooks, r));
        QCOMPARE(asked, 1);
        hooks.unlockBackup = [&](BackupManifest& m) {
            ++asked;
            return m.setPasscode(QByteArray("pw"));
        };
        QVERIFY(g_loadIOSViberMessagesThrow(d, g_testDataFolders(), hooks, r));
        QCOMPARE(asked, 2);
        QCOMPARE(messageTexts(readLoaded(r)), m_expected);
    }

    void phoneWithoutViberGetsTemplateStore()
    {
        Runner run;
        IOSDeviceLoadHooks hooks;
        hooks.runJob = run.fn();
        IOSDeviceLoadResult r;
        QVERIFY(g_loadIOSViberMessagesThrow(device(u"udid-empty"_qs), g_testDataFolders(), hooks, r));
        QVERIFY(r.viaBackup);
        QVERIFY(r.templateStore);
        QVERIFY(QFileInfo(r.containers.storeFile).isWritable());
        IOSViberDb db(r.containers.appRoot, r.containers.storeFile, false);
        const ViberData data = db.loadDataThrow();
        QVERIFY(data.p()->chats.isEmpty());
        QCOMPARE(db.entities().value(u"ViberMessage"_qs), 17);
        QCOMPARE(db.joinTable(), u"Z_4PHONENUMINDEXES"_qs);
        QCOMPARE(db.joinPersonCol(), u"Z_8PHONENUMINDEXES"_qs);
    }

    void iCloudBackupStopsBackupRoute()
    {
        Runner run;
        IOSDeviceLoadHooks hooks;
        hooks.runJob = run.fn();
        IOSDeviceLoadResult r;
        try {
            g_loadIOSViberMessagesThrow(device(u"udid-cloud"_qs), g_testDataFolders(), hooks, r);
            QFAIL("the load must stop");
        } catch (const std::runtime_error& e) {
            QVERIFY2(QString::fromUtf8(e.what()).contains(u"turn off iCloud backup"_qs), e.what());
        }
        QCOMPARE(run.jobs, 1);
    }
};

QTEST_GUILESS_MAIN(TestLoadFromDevice)
#include "test_load_from_device.moc"
