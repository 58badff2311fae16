#include "SimFixture.h"

#include "device/Backup2Tool.h"
#include "device/IOSBackupTemp.h"
#include "device/IOSDevice.h"
#include "device/IOSMobileBackupThread.h"
#include "device/IOSMobileRestoreThread.h"
#include "itunes/BackupManifest.h"
#include "support/RecordingProgress.h"
#include "support/TestEnv.h"

#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {
CFType str(const QString& s)
{
    return CFType::createCFString(s);
}
CFType yes()
{
    return CFType::createCFBoolean(true);
}
} // namespace

class TestDeviceBackup : public QObject
{
    Q_OBJECT

    std::unique_ptr<SimFixture> m_sim;

    IOSDevice device(const QString& udid)
    {
        am_device* d = SimFixture::deviceByUdid(udid);
        if (!d)
            throw std::runtime_error("simulated device missing");
        return IOSDevice::readThrow(d);
    }
    QString root(const QString& name)
    {
        const QString dir = QDir::current().absoluteFilePath(u"roots/"_qs + name);
        QDir(dir).removeRecursively();
        QDir().mkpath(dir);
        return dir;
    }

private slots:
    void initTestCase()
    {
        g_requireTestEnvironment();
        m_sim = std::make_unique<SimFixture>(QDir::current().absoluteFilePath(u"sim-backup"_qs));
        const auto usage = [](qint64 total, qint64 free) {
            return QPair<QString, CFType>(
                u"Domains"_qs,
                g_cfDict({{u"com.apple.disk_usage"_qs, g_cfDict({{u"TotalDataCapacity"_qs, CFType::createCFNumber(total)},
                                                         {u"AmountDataAvailable"_qs, CFType::createCFNumber(free)}})}}));
        };
        m_sim->addDevice(u"plain"_qs, u"Plain"_qs, u"udid-plain"_qs);
        m_sim->addDevice(u"big"_qs, u"Big"_qs, u"udid-big"_qs, {usage(3LL << 30, 1LL << 30)});
        m_sim->addDevice(u"tiny"_qs, u"Tiny"_qs, u"udid-tiny"_qs, {usage(1000000, 500000)});
        m_sim->addDevice(u"slow"_qs, u"Slow"_qs, u"udid-slow"_qs,
                         {{u"Backup"_qs, g_cfDict({{u"DelayMs"_qs, CFType::createCFNumber(20000)}})}});
        m_sim->addDevice(u"broken"_qs, u"Broken"_qs, u"udid-broken"_qs,
                         {{u"Backup"_qs, g_cfDict({{u"Failure"_qs, str(u"ErrorCode 105: <device> went away"_qs)},
                                               {u"RestoreFailure"_qs,
                                                str(u"ErrorCode 211: Find My iPhone must be disabled first"_qs)}})}});
        m_sim->addDevice(u"full"_qs, u"Full"_qs, u"udid-full"_qs,
                         {{u"Backup"_qs, g_cfDict({{u"RestoreFailure"_qs,
                                                str(u"ErrorCode 12: Insufficient free disk space on device to "
                                                    "restore (1000 bytes free, 3221225472 bytes needed)"_qs)}})}});
        m_sim->addDevice(u"unfinished"_qs, u"Unfinished"_qs, u"udid-unfinished"_qs,
                         {{u"Backup"_qs, g_cfDict({{u"SnapshotState"_qs, str(u"uploading"_qs)}})}});
        m_sim->addDevice(u"old"_qs, u"Old"_qs, u"udid-old"_qs, {{u"Backup"_qs, g_cfDict({{u"Legacy"_qs, yes()}})}});
        m_sim->addDevice(u"cloud"_qs, u"Cloud"_qs, u"udid-cloud"_qs,
                         {{u"Domains"_qs, g_cfDict({{u"com.apple.mobile.backup"_qs,
                                                 g_cfDict({{u"CloudBackupEnabled"_qs, yes()}, {u"WillEncrypt"_qs, yes()}})}})}});
        m_sim->addDevice(u"locked"_qs, u"Locked"_qs, u"udid-locked"_qs,
                         {{u"Domains"_qs, g_cfDict({{u"com.apple.mobile.backup"_qs, g_cfDict({{u"WillEncrypt"_qs, yes()}})}})},
                          {u"Backup"_qs, g_cfDict({{u"Password"_qs, str(u"s3cret"_qs)}})}});
        for (const QString& f : {u"plain"_qs, u"old"_qs, u"locked"_qs}) {
            SimFixture::writePattern(m_sim->containerDir(f, u"com.viber"_qs) + u"/Documents/Contacts.data"_qs, 5000);
            QVERIFY(g_writeFile(m_sim->root() + u'/' + f + u"/Containers/group.viber.share.container/com.viber/database/Contacts.data"_qs,
                                "group store"));
            QVERIFY(g_writeFile(m_sim->mediaDir(f) + u"/PhotoData/Photos.sqlite"_qs, "photos"));
        }
        g_requireDeviceBackend();
    }

    void estimateAndProgress()
    {
        QCOMPARE(backup2tool::estimateSecondsFor(2LL << 30, 0), 61);
        QCOMPARE(backup2tool::estimateSecondsFor(1048575, 0), 60);
        QCOMPARE(backup2tool::estimateSecondsFor(0, 0), 60);
        QCOMPARE(backup2tool::progressFor(61, 61), 99.0);
        QCOMPARE(backup2tool::progressFor(600, 61), 99.0);
        QCOMPARE(backup2tool::progressFor(30.5, 61), 49.5);
        QCOMPARE(backup2tool::progressFor(1, 0), 99.0);
        // Through the lockdown domain: 2 GiB in use, too little, none at all.
        QCOMPARE(backup2tool::estimateSeconds(device(u"udid-big"_qs).device), 61);
        QCOMPARE(backup2tool::estimateSeconds(device(u"udid-tiny"_qs).device), 60);
        QCOMPARE(backup2tool::estimateSeconds(device(u"udid-plain"_qs).device), 60);
    }

    void deviceModel()
    {
        IOSDevice d;
        d.productVersion = u"7.1.2"_qs;
        QCOMPARE(d.versionList(), (QList<int>{7, 1, 2}));
        d.productVersion.clear();
        QVERIFY(d.versionList().isEmpty());

        QTemporaryDir data;
        const DataFolders folders(data.path());
        d.udid = u"udid-plain"_qs;
        QVERIFY(d.cacheDir(folders).exists());
        QCOMPARE(d.cacheDir(folders).absolutePath(), data.filePath(u"ios_cache/udid-plain"_qs));
        QCOMPARE(d.viberRootDir(folders).dirName(), u"com.viber"_qs);
        for (const QString& bad : {u""_qs, u".."_qs, u"../x"_qs, u"a/b"_qs, u"a\\b"_qs}) {
            d.udid = bad;
            QVERIFY_THROWS_EXCEPTION(std::runtime_error, d.cacheDir(folders));
        }
        QCOMPARE(QDir(data.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{u"ios_cache"_qs});
    }

    void backupSettingsChecks()
    {
        QString warning;
        const IOSDevice cloud = device(u"udid-cloud"_qs);
        QVERIFY(!cloud.checkiTunesBackupSettings(true, false, &warning));
        QVERIFY(warning.contains(u"turn off iCloud backup"_qs));
        QVERIFY(warning.contains(u":res/close_icloudbk.jpg"_qs));
        QVERIFY(!cloud.checkiTunesBackupSettings(false, true, &warning));
        QVERIFY(warning.contains(u"uncheck \"Encrypt iPhone backup\""_qs));
        QVERIFY(cloud.checkiTunesBackupSettings(false, false, &warning));
        // Without the domain (or a device that cannot be asked) the check passes.
        QVERIFY(device(u"udid-plain"_qs).checkiTunesBackupSettings(true, true, &warning));
        IOSDevice nobody;
        QVERIFY(nobody.checkiTunesBackupSettings(true, true, &warning));
    }

    void backupWritesReadableManifestDbBackups()
    {
        const QString dir = root(u"plain"_qs);
        RecordingProgress progress;
        IOSMobileBackupThread job(device(u"udid-plain"_qs), QDir(dir), progress);
        job.run();
        QVERIFY2(progress.errors().isEmpty(), qPrintable(progress.errors().value(0)));
        QCOMPARE(progress.successes().size(), 1);
        QCOMPARE(progress.updates().value(0).status, u"Loading data from Device..."_qs);
        BackupManifest m(job.backupDir(), g_testDataFolders());
        m.readManifestInfo();
        QCOMPARE(m.generation(), BackupGeneration::ManifestDb);
        QCOMPARE(m.info().productVersion, u"17.4.1"_qs);
        m.parseInfo();
        QVERIFY(m.findNode(u"Applications/com.viber/Documents/Contacts.data"_qs));
        QVERIFY(m.findNode(u"AppDomainGroup/group.viber.share.container/com.viber/database/Contacts.data"_qs));
        QVERIFY(m.findNode(u"Media/PhotoData/Photos.sqlite"_qs));
        QVERIFY(IOSMobileBackupThread::isReusableBackup(job.backupDir(), u"17.4.1"_qs));
    }

    void legacyAndEncryptedBackups()
    {
        RecordingProgress p1;
        IOSMobileBackupThread old(device(u"udid-old"_qs), QDir(root(u"old"_qs)), p1);
        old.run();
        QVERIFY2(p1.errors().isEmpty(), qPrintable(p1.errors().value(0)));
        QCOMPARE(BackupManifest::generationOf(QDir(old.backupDir())), BackupGeneration::Mbdb);

        RecordingProgress p2;
        IOSMobileBackupThread locked(device(u"udid-locked"_qs), QDir(root(u"locked"_qs)), p2);
        locked.run();
        QVERIFY2(p2.errors().isEmpty(), qPrintable(p2.errors().value(0)));
        BackupManifest m(locked.backupDir(), g_testDataFolders());
        m.readManifestInfo();
        QVERIFY(m.info().isEncrypted);
        QVERIFY(!m.setPasscode(QByteArray("wrong")));
        QVERIFY(m.setPasscode(QByteArray("s3cret")));
        m.parseInfo();
        const auto* node = m.findNode(u"Applications/com.viber/Documents/Contacts.data"_qs);
        QVERIFY(node);
        const QString out = QDir::current().absoluteFilePath(u"decrypted.data"_qs);
        QFile::remove(out);
        m.copyFile(node, out, nullptr, nullptr);
        QCOMPARE(g_readFile(out),
                 g_readFile(m_sim->root() + u"/locked/Containers/com.viber/Documents/Contacts.data"_qs));
    }

    void failedBackupRemovesFolderAndKeepsWholeText()
    {
        const QString dir = root(u"broken"_qs);
        RecordingProgress progress;
        IOSMobileBackupThread job(device(u"udid-broken"_qs), QDir(dir), progress);
        job.run();
        QCOMPARE(progress.errors().size(), 1);
        const QString err = progress.errors().at(0);
        QVERIFY2(err.contains(u"ErrorCode 105: &lt;device&gt; went away"_qs), qPrintable(err));
        QVERIFY(err.contains(u"Backup Failed"_qs));
        QVERIFY(err.endsWith(u"<br/><br/>Note: You can restart your device to try again."_qs));
        QVERIFY(!QFileInfo::exists(job.backupDir()));
    }

    void exitZeroWithoutFinishedBackupFails()
    {
        RecordingProgress progress;
        IOSMobileBackupThread job(device(u"udid-unfinished"_qs), QDir(root(u"unfinished"_qs)), progress);
        job.run();
        QCOMPARE(progress.errors().size(), 1);
        QVERIFY(progress.errors().at(0).contains(u"did not finish"_qs));
        QVERIFY(!QFileInfo::exists(job.backupDir()));
    }

    void cancelKillsProgramAndRemovesPartialBackup()
    {
        const QString dir = root(u"slow"_qs);
        const QString folder = dir + u"/udid-slow"_qs;
        QVERIFY(g_writeFile(folder + u"/Info.plist"_qs, "partial"));
        RecordingProgress progress;
        IOSMobileBackupThread job(device(u"udid-slow"_qs), QDir(dir), progress);
        QElapsedTimer clock;
        clock.start();
        job.start();
        QTRY_VERIFY_WITH_TIMEOUT(progress.updates().size() >= 3, 10000);
        progress.setClosed(true);
        QVERIFY(job.wait(10000));
        QVERIFY(clock.elapsed() < 15000);
        QVERIFY(progress.errors().isEmpty());
        QVERIFY(progress.successes().isEmpty());
        QVERIFY(!QFileInfo::exists(folder));
        // A program left running would write its backup within the delay.
        QTest::qWait(1500);
        QVERIFY(!QFileInfo::exists(folder));
    }

    void keptAndDeletedBackups()
    {
        const QString dir = root(u"kept"_qs);
        RecordingProgress p;
        IOSMobileBackupThread job(device(u"udid-plain"_qs), QDir(dir), p);
        job.run();
        QVERIFY(p.errors().isEmpty());
        const QString folder = job.backupDir();
        QVERIFY(IOSMobileBackupThread::isReusableBackup(folder, u"17.4.1"_qs));
        // Another iOS version: a full backup must follow.
        QVERIFY(!IOSMobileBackupThread::isReusableBackup(folder, u"18.0"_qs));
        QFile::copy(folder + u"/Status.plist"_qs, folder + u"/Status.keep"_qs);
        QVERIFY(g_writeFile(folder + u"/Status.plist"_qs,
                            g_cfDict({{u"SnapshotState"_qs, str(u"uploading"_qs)}}).CFPropertyListToBytes(100)));
        QVERIFY(!IOSMobileBackupThread::isReusableBackup(folder, u"17.4.1"_qs));
        QFile::remove(folder + u"/Status.plist"_qs);
        QVERIFY(!IOSMobileBackupThread::isReusableBackup(folder, u"17.4.1"_qs));
        QFile::rename(folder + u"/Status.keep"_qs, folder + u"/Status.plist"_qs);
        QFile::rename(folder + u"/Manifest.db"_qs, folder + u"/Manifest.gone"_qs);
        QVERIFY(!IOSMobileBackupThread::isReusableBackup(folder, u"17.4.1"_qs));
    }

    void restorePutsContainersBack()
    {
        const QString dir = root(u"restore"_qs);
        const IOSDevice d = device(u"udid-plain"_qs);
        RecordingProgress p1;
        IOSMobileBackupThread backup(d, QDir(dir), p1);
        backup.run();
        QVERIFY(p1.errors().isEmpty());
        const QString store = m_sim->root() + u"/plain/Containers/com.viber/Documents/Contacts.data"_qs;
        const QByteArray before = g_readFile(store);
        QVERIFY(g_writeFile(store, "changed on the phone"));
        QVERIFY(g_writeFile(m_sim->root() + u"/plain/Containers/com.viber/Documents/stray"_qs, "x"));
        RecordingProgress p2;
        IOSMobileRestoreThread restore(d, QDir(dir), p2);
        restore.run();
        QVERIFY2(p2.errors().isEmpty(), qPrintable(p2.errors().value(0)));
        QCOMPARE(p2.updates().value(0).status, u"Transferring data to Device..."_qs);
        QCOMPARE(g_readFile(store), before);
        QVERIFY(!QFileInfo::exists(m_sim->root() + u"/plain/Containers/com.viber/Documents/stray"_qs));
        QVERIFY(QFileInfo::exists(dir + u"/udid-plain/Info.plist"_qs));
    }

    void restoreFailureTexts()
    {
        QCOMPARE(IOSMobileRestoreThread::failureText(
                     u"ErrorCode 12: Insufficient free disk space on device to restore (10 bytes free, 3221225472 "
                     "bytes needed)"_qs),
                 u"3 GB free disk space on your device is required restore data.  Please remove some camera roll "
                 "videos from your device to computer to free up disk space first and then try again."_qs);
        QVERIFY(IOSMobileRestoreThread::failureText(u"x <b> y"_qs)
                    .startsWith(u"x &lt;b&gt; y<br/><br/>Note: You can restart"_qs));

        for (const QString& udid : {u"udid-broken"_qs, u"udid-full"_qs}) {
            const QString dir = root(u"refused"_qs);
            QVERIFY(g_writeFile(dir + u'/' + udid + u"/Info.plist"_qs, "info"));
            RecordingProgress p;
            IOSMobileRestoreThread job(device(udid), QDir(dir), p);
            job.run();
            QCOMPARE(p.errors().size(), 1);
            const QString err = p.errors().at(0);
            if (udid == u"udid-broken"_qs) {
                QVERIFY2(err.startsWith(u"Please follow <a href="_qs), qPrintable(err));
                QVERIFY(!err.contains(u"ErrorCode"_qs));
            } else {
                QVERIFY2(err.startsWith(u"3 GB free disk space"_qs), qPrintable(err));
            }
            QCOMPARE(g_readFile(dir + u'/' + udid + u"/Info.plist"_qs), QByteArray("info"));
            QCOMPARE(QDir(dir + u'/' + udid).entryList(QDir::Files), QStringList{u"Info.plist"_qs});
        }
    }

    void tempFolderIsClearedWithItsNote()
    {
        const QDir temp = iosbackup_temp_dir();
        QVERIFY(temp.absolutePath().startsWith(QDir::homePath() + u"/Documents/"_qs));
        QVERIFY(g_writeFile(temp.filePath(u"udid/Info.plist"_qs), "x"));
        iosbackup_clear_temp(g_testDataFolders());
        QVERIFY(!temp.exists());
    }

    void realBackupProgramWithoutPhoneFailsCleanly()
    {
        const QString program = QStandardPaths::findExecutable(u"idevicebackup2"_qs);
        if (program.isEmpty())
            QSKIP("idevicebackup2 is not installed");
        const QString dir = root(u"real"_qs);
        backup2tool tool(nullptr, u"00000000-0000000000000000"_qs, QDir(dir));
        tool.setProgram(program);
        try {
            tool.runThrow(_backup2tool_req{BACKUP2TOOL_BACKUP});
            QFAIL("a backup without a phone must fail");
        } catch (const std::runtime_error& e) {
            QVERIFY2(!QString::fromUtf8(e.what()).trimmed().isEmpty(), e.what());
        }
        QVERIFY(QDir(dir).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestDeviceBackup)
#include "test_device_backup.moc"
