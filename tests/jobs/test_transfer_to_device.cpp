#include "SimFixture.h"

#include "device/IOSDevice.h"
#include "fixtures/ViberBackupFixture.h"
#include "itunes/BackupManifest.h"
#include "jobs/IOSDeviceViberTransfer.h"
#include "jobs/IOSLoadViberFromiTunesThread.h"
#include "jobs/IOSRestoreViberMsgThread.h"
#include "sqlite/Sqlite3DB.h"
#include "stores/IOSViberDb.h"
#include "support/RecordingProgress.h"
#include "shell/DataFolders.h"
#include "support/SchemaText.h"
#include "support/TestEnv.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QFile>
#include <QDateTime>
#include <QTest>

namespace {
struct Runner
{
    QStringList errors;
    int cancelRestoreAfter = 0; // closes the merge job after that many updates
    DeviceJobRunner fn()
    {
        return [this](const std::function<QThread*(JobProgress&)>& makeJob) {
            RecordingProgress p;
            QThread* job = makeJob(p);
            if (cancelRestoreAfter > 0 && dynamic_cast<IOSRestoreViberMsgThread*>(job))
                p.cancelAfterUpdates(cancelRestoreAfter);
            job->start();
            job->wait();
            errors << p.errors();
            return p.errors().isEmpty() && p.successes().size() == 1 && !p.closed();
        };
    }
};

QStringList texts(const ViberData& data)
{
    QStringList t;
    for (const _ViberMsg* m : data.p()->msgs)
        if (m->type != MSG_TYPE_CALL && m->chat)
            t << QStringLiteral("%1|%2").arg(m->date, 0, 'f', 3).arg(m->text);
    t.sort();
    return t;
}

// A read of a store that changes nothing: opened from a copy.
ViberData readStore(const QString& root, const QString& file)
{
    QTemporaryDir tmp;
    const QString copy = tmp.filePath(u"Contacts.data"_qs);
    QFile::copy(root + u'/' + file, copy);
    if (QFileInfo::exists(root + u'/' + file + u"-wal"_qs))
        QFile::copy(root + u'/' + file + u"-wal"_qs, copy + u"-wal"_qs);
    IOSViberDb db(QDir(root), copy, false);
    db.setMakePreviews(false);
    ViberData d = db.loadDataThrow();
    return d;
}

QList<double> callDates(const QString& store)
{
    Sqlite3DB db;
    db.openThrow(store, 1);
    QList<double> dates;
    Sqlite3Cursor c = db.queryThrow(Sqlite3Sql("select ZDATE from ZRECENT order by Z_PK"));
    while (c.moveNext())
        dates << c.getDouble(0);
    return dates;
}

} // namespace

class TestTransferToDevice : public QObject
{
    Q_OBJECT

    std::unique_ptr<SimFixture> m_sim;
    ViberData m_source;
    QStringList m_sourceTexts;

    IOSDevice device(const QString& udid)
    {
        am_device* d = SimFixture::deviceByUdid(udid);
        if (!d)
            throw std::runtime_error("simulated device missing");
        return IOSDevice::readThrow(d);
    }

    // A phone with a short history of its own: two messages and one call.
    void addTargetPhone(const QString& folder, bool houseArrest)
    {
        m_sim->addDevice(folder, folder, u"udid-"_qs + folder,
                         {{u"HouseArrest"_qs, CFType::createCFBoolean(houseArrest)}});
        ContainerFixture c(m_sim->containerDir(folder, u"com.viber"_qs));
        IOSStoreWriter& w = c.store();
        const qint64 zed = w.addPerson(u"+15550001"_qs, {}, 0, u"Zed"_qs);
        const qint64 chat = w.addChat(600000000, {zed});
        IOSStoreWriter::Message m;
        m.chat = chat;
        m.person = zed;
        m.state = u"received"_qs;
        m.text = u"phone's own first"_qs;
        m.date = 599999000;
        m.token = 9001;
        w.addMessage(m);
        m.text = u"phone's own second"_qs;
        m.date = 600000000;
        m.token = 9002;
        w.addMessage(m);
        w.addCall(zed, u"incoming"_qs, 30, 600000000 - 100000, 77);
        c.finish();
    }

    QString deviceStore(const QString& folder) const
    {
        return m_sim->root() + u'/' + folder + u"/Containers/com.viber/Documents/Contacts.data"_qs;
    }

    static QString schemaOf(const QString& store)
    {
        Sqlite3DB db;
        db.openThrow(store, 1);
        return g_schemaText(db);
    }

private slots:
    void initTestCase()
    {
        g_requireTestEnvironment();
        m_sim = std::make_unique<SimFixture>(QDir::current().absoluteFilePath(u"sim-transfer"_qs));
        const QString src = QDir::current().absoluteFilePath(u"source-container"_qs);
        QDir(src).removeRecursively();
        ContainerFixture c(src);
        g_fillSampleStore(c);
        c.finish();
        IOSViberDb db(QDir(src), u"Documents/Contacts.data"_qs, false);
        db.setMakePreviews(false);
        m_source = db.loadDataThrow();
        m_sourceTexts = texts(m_source);
        QVERIFY(m_sourceTexts.size() > 5);
        addTargetPhone(u"direct"_qs, true);
        addTargetPhone(u"cancel"_qs, true);
        addTargetPhone(u"current"_qs, false);
        addTargetPhone(u"tokenless"_qs, true);
        {
            // Rows without a token a few seconds apart, and a message with two
            // attachment rows, as stores of older app versions hold them.
            m_sim->addDevice(u"older"_qs, u"older"_qs, u"udid-older"_qs, {{u"HouseArrest"_qs, CFType::createCFBoolean(true)}});
            ContainerFixture c(m_sim->containerDir(u"older"_qs, u"com.viber"_qs));
            IOSStoreWriter& w = c.store();
            const qint64 zed = w.addPerson(u"+15550002"_qs);
            IOSStoreWriter::Message m;
            m.chat = w.addChat(600000000, {zed});
            m.person = zed;
            m.state = u"received"_qs;
            for (int i = 0; i < 3; ++i) {
                m.text = u"tokenless %1"_qs.arg(i);
                m.date = 600000000 + 10 * i;
                w.addMessage(m);
            }
            m.text = u"two files"_qs;
            m.token = 31337;
            m.date = 600000100;
            const qint64 msg = w.addMessage(m);
            w.addAttachment(msg, u"picture"_qs, u"a.jpg"_qs);
            w.addAttachment(msg, u"picture"_qs, u"b.jpg"_qs);
            // Bytes that are no UTF-8 in a text column: a phone's own rows go
            // back exactly as they were.
            m.text = u"raw bytes"_qs;
            m.token = 31338;
            m.date = 600000200;
            w.addMessage(m);
            c.finish();
            Sqlite3DB db;
            db.openThrow(deviceStore(u"older"_qs), 6);
            db.executeThrow(Sqlite3Sql("update ZVIBERMESSAGE set ZTEXT=cast(x'6869ff80' as text) where ZTEXT='raw bytes'"));
        }
        g_requireDeviceBackend();
    }

    void compareOrdersByDateThenDeviceRow()
    {
        using D = IOSRestoreViberMsgThread::_InsertData;
        const Sqlite3Row* row = nullptr;   // a row of the device's store
        const _ViberMsg* record = nullptr; // a record being transferred
        QVERIFY(compareMsgInsertDataAsc(D{5, 1.0, record}, D{5, 2.0, row}));
        QVERIFY(!compareMsgInsertDataAsc(D{5, 2.0, row}, D{5, 1.0, record}));
        QVERIFY(compareMsgInsertDataAsc(D{5, 1.0, row}, D{5, 1.0, record}));
        QVERIFY(!compareMsgInsertDataAsc(D{5, 1.0, record}, D{5, 1.0, row}));
        QVERIFY(!compareMsgInsertDataAsc(D{5, 1.0, row}, D{5, 1.0, row}));
        QVERIFY(IOSRestoreViberMsgThread::isLocalFileValid(deviceStore(u"direct"_qs)));
        QVERIFY(!IOSRestoreViberMsgThread::isLocalFileValid(deviceStore(u"direct"_qs) + u"-missing"_qs));
    }

    void directTransferMergesWithoutDuplicates()
    {
        Runner run;
        IOSDeviceLoadHooks hooks;
        hooks.runJob = run.fn();
        const IOSDevice d = device(u"udid-direct"_qs);
        const QString schema = schemaOf(deviceStore(u"direct"_qs));
        const IOSTransferResult r = g_restoreMessages2IOSThrow(d, g_testDataFolders(), m_source.messages(), hooks);
        QVERIFY2(run.errors.isEmpty(), qPrintable(run.errors.join(u'\n')));
        // The look-up indexes of the merge do not stay behind.
        QCOMPARE(schemaOf(deviceStore(u"direct"_qs)), schema);
        QVERIFY(r.done);
        QVERIFY(!r.viaBackup);
        QCOMPARE(r.callCount, 4);
        QVERIFY(r.msgCount >= m_sourceTexts.size());

        const QString root = m_sim->root() + u"/direct/Containers/com.viber"_qs;
        QVERIFY(!QFileInfo::exists(deviceStore(u"direct"_qs) + u".incoming"_qs));
        QVERIFY(!QFileInfo::exists(deviceStore(u"direct"_qs) + u"-wal"_qs));
        const QStringList after = texts(readStore(root, u"Documents/Contacts.data"_qs));
        for (const QString& t : m_sourceTexts)
            QVERIFY2(after.contains(t), qPrintable(t));
        QVERIFY(after.contains(u"599999000.000|phone's own first"_qs));
        QCOMPARE(after.size(), m_sourceTexts.size() + 2);
        // What was added is counted, in the right number form, for the phone by name.
        QCOMPARE(r.addedMsgCount, after.size() - 2);
        QCOMPARE(r.addedCallCount, 4);
        QCOMPARE(r.successText(), u"Successfully transferred %1 messages and 4 calls to the iPhone \"%2\"."_qs
                                      .arg(r.addedMsgCount)
                                      .arg(d.name));
        // Old and new calls, written back in date order.
        QList<double> dates = callDates(deviceStore(u"direct"_qs));
        QCOMPARE(dates.size(), 5);
        QVERIFY(std::is_sorted(dates.begin(), dates.end()));
        // The voice-message counter is a 4-byte little-endian number.
        QCOMPARE(g_readFile(root + u"/Documents/VoiceMessages/_ptt_id_counter"_qs).size(), 4);

        // The same messages again: nothing doubles.
        const IOSTransferResult again = g_restoreMessages2IOSThrow(d, g_testDataFolders(), m_source.messages(), hooks);
        QVERIFY2(again.done, qPrintable(run.errors.join(u'\n')));
        QCOMPARE(again.addedMsgCount + again.addedCallCount, 0);
        QCOMPARE(again.successText(),
                 u"Nothing was added: the iPhone \"%1\" already had all of these messages and calls."_qs.arg(d.name));
        QCOMPARE(texts(readStore(root, u"Documents/Contacts.data"_qs)), after);
        QCOMPARE(callDates(deviceStore(u"direct"_qs)).size(), 5);
        // The local copy keeps the old store beside the merged one.
        QDir local(d.viberRootDir(g_testDataFolders()).absoluteFilePath(u"Documents"_qs));
        QVERIFY(!local.entryList({u"Contacts.data.bak_*"_qs}, QDir::Files).isEmpty());
    }

    void deviceRowsAreAllKept()
    {
        Runner run;
        IOSDeviceLoadHooks hooks;
        hooks.runJob = run.fn();
        const IOSTransferResult r = g_restoreMessages2IOSThrow(device(u"udid-older"_qs), g_testDataFolders(), m_source.messages(), hooks);
        QVERIFY2(r.done, qPrintable(run.errors.join(u'\n')));
        Sqlite3DB db;
        db.openThrow(deviceStore(u"older"_qs), 1);
        Sqlite3Cursor c = db.queryThrow(Sqlite3Sql("select count(*) from ZVIBERMESSAGE where ZTEXT like 'tokenless %'"));
        QVERIFY(c.moveNext());
        QCOMPARE(c.getInt(0), 3);
        Sqlite3Cursor a = db.queryThrow(Sqlite3Sql("select count(*) from ZATTACHMENT as a inner join ZVIBERMESSAGE as m on "
                                                   "a.ZMESSAGE=m.Z_PK where m.ZTEXT='two files'"));
        QVERIFY(a.moveNext());
        QCOMPARE(a.getInt(0), 2);
        Sqlite3Cursor t = db.queryThrow(Sqlite3Sql("select count(*) from ZVIBERMESSAGE where ZTEXT='two files'"));
        QVERIFY(t.moveNext());
        QCOMPARE(t.getInt(0), 1);
        Sqlite3Cursor raw = db.queryThrow(Sqlite3Sql("select hex(ZTEXT), typeof(ZTEXT) from ZVIBERMESSAGE where ZTOKEN=31338"));
        QVERIFY(raw.moveNext());
        QCOMPARE(raw.getText(0), u"6869FF80"_qs);
        QCOMPARE(raw.getText(1), u"text"_qs);
        QVERIFY(!raw.moveNext());
    }

    // Messages without a token from one minute are different messages: each is
    // written once, and a repeated transfer adds none of them again.
    void tokenlessMessagesAreAllTransferredOnce()
    {
        const QString src = QDir::current().absoluteFilePath(u"tokenless-source"_qs);
        QDir(src).removeRecursively();
        {
            ContainerFixture c(src);
            IOSStoreWriter& w = c.store();
            const qint64 amy = w.addPerson(u"+15550003"_qs);
            IOSStoreWriter::Message m;
            m.chat = w.addChat(600000000, {amy});
            m.person = amy;
            m.state = u"received"_qs;
            for (int i = 0; i < 4; ++i) {
                m.text = u"no token %1"_qs.arg(i);
                m.date = 600000000 + 5 * i;
                w.addMessage(m);
            }
            c.finish();
        }
        IOSViberDb db(QDir(src), u"Documents/Contacts.data"_qs, false);
        db.setMakePreviews(false);
        const ViberData data = db.loadDataThrow();

        Runner run;
        IOSDeviceLoadHooks hooks;
        hooks.runJob = run.fn();
        const IOSDevice d = device(u"udid-tokenless"_qs);
        auto count = [&] {
            Sqlite3DB store;
            store.openThrow(deviceStore(u"tokenless"_qs), 1);
            Sqlite3Cursor c = store.queryThrow(Sqlite3Sql("select count(distinct ZTEXT), count(*) from ZVIBERMESSAGE "
                                                          "where ZTEXT like 'no token %'"));
            return c.moveNext() ? QPair<int, int>(c.getInt(0), c.getInt(1)) : QPair<int, int>(-1, -1);
        };
        QVERIFY2(g_restoreMessages2IOSThrow(d, g_testDataFolders(), data.messages(), hooks).done, qPrintable(run.errors.join(u'\n')));
        QCOMPARE(count(), (QPair<int, int>(4, 4)));
        QVERIFY2(g_restoreMessages2IOSThrow(d, g_testDataFolders(), data.messages(), hooks).done, qPrintable(run.errors.join(u'\n')));
        QCOMPARE(count(), (QPair<int, int>(4, 4)));
    }

    void cancelLeavesDeviceStoreUntouched()
    {
        Runner run;
        run.cancelRestoreAfter = 3;
        IOSDeviceLoadHooks hooks;
        hooks.runJob = run.fn();
        const QByteArray before = g_fileDigest(deviceStore(u"cancel"_qs));
        const IOSTransferResult r = g_restoreMessages2IOSThrow(device(u"udid-cancel"_qs), g_testDataFolders(), m_source.messages(), hooks);
        QVERIFY(!r.done);
        QVERIFY(run.errors.isEmpty());
        QCOMPARE(g_fileDigest(deviceStore(u"cancel"_qs)), before);
        QVERIFY(!QFileInfo::exists(deviceStore(u"cancel"_qs) + u".incoming"_qs));
        // No working copy is left behind locally either.
        const QDir local(device(u"udid-cancel"_qs).viberRootDir(g_testDataFolders()).absoluteFilePath(u"Documents"_qs));
        QCOMPARE(local.entryList({u"Contacts.data_*"_qs}, QDir::Files), QStringList());
    }

    void backupRouteRestoresMergedStore()
    {
        Runner run;
        IOSDeviceLoadHooks hooks;
        hooks.runJob = run.fn();
        const IOSTransferResult r = g_restoreMessages2IOSThrow(device(u"udid-current"_qs), g_testDataFolders(), m_source.messages(), hooks);
        QVERIFY2(run.errors.isEmpty(), qPrintable(run.errors.join(u'\n')));
        QVERIFY(r.done);
        QVERIFY(r.viaBackup);
        const QString root = m_sim->root() + u"/current/Containers/com.viber"_qs;
        const QStringList after = texts(readStore(root, u"Documents/Contacts.data"_qs));
        QCOMPARE(after.size(), m_sourceTexts.size() + 2);
        QVERIFY(after.contains(u"600000000.000|phone's own second"_qs));
        // The restored store carries no log of the old one.
        QCOMPARE(QFileInfo(deviceStore(u"current"_qs) + u"-wal"_qs).size(), 0);
        // The merged copy the window shows afterwards is the phone's store.
        QCOMPARE(texts(readStore(r.merged.appRoot.absolutePath(), u"Documents/Contacts.data"_qs)), after);

        // Nothing new: the phone is not restored (nor restarted) for nothing.
        const QDateTime restoredAt = QFileInfo(deviceStore(u"current"_qs)).lastModified();
        const IOSTransferResult again =
            g_restoreMessages2IOSThrow(device(u"udid-current"_qs), g_testDataFolders(), m_source.messages(), hooks);
        QVERIFY2(again.done, qPrintable(run.errors.join(u'\n')));
        QVERIFY(!again.viaBackup);
        QCOMPARE(again.addedMsgCount + again.addedCallCount, 0);
        QCOMPARE(QFileInfo(deviceStore(u"current"_qs)).lastModified(), restoredAt);
    }

    void writeIntoBackupsOfBothGenerations_data()
    {
        QTest::addColumn<int>("generation");
        QTest::addColumn<bool>("withViber");
        QTest::newRow("mbdb") << int(BackupFixture::Mbdb) << true;
        QTest::newRow("manifest.db") << int(BackupFixture::ManifestDb) << true;
        QTest::newRow("mbdb, no viber") << int(BackupFixture::Mbdb) << false;
        QTest::newRow("manifest.db, no viber") << int(BackupFixture::ManifestDb) << false;
    }

    void writeIntoBackupsOfBothGenerations()
    {
        QFETCH(int, generation);
        QFETCH(bool, withViber);
        const QString parent = QDir::current().absoluteFilePath(u"backups/"_qs + QTest::currentDataTag());
        QDir(parent).removeRecursively();
        QString folder;
        if (withViber) {
            const QString container = parent + u"/container"_qs;
            ContainerFixture c(container);
            IOSStoreWriter& w = c.store();
            const qint64 zed = w.addPerson(u"+15550001"_qs);
            IOSStoreWriter::Message m;
            m.chat = w.addChat(600000000, {zed});
            m.text = u"already in the backup"_qs;
            m.date = 500000000;
            m.token = 4242;
            w.addMessage(m);
            c.finish();
            ViberBackupSample none;
            ViberBackupLayout layout;
            layout.generation = BackupFixture::Generation(generation);
            layout.photoLibrary = false;
            folder = g_writeViberBackup(container, none, parent, u"bk"_qs, layout);
        } else {
            BackupFixture b;
            b.generation = BackupFixture::Generation(generation);
            b.addFolders(u"HomeDomain"_qs, u"Library"_qs);
            folder = b.write(parent, u"bk"_qs);
        }
        const QByteArray indexName = generation == BackupFixture::Mbdb ? "Manifest.mbdb" : "Manifest.db";
        Runner run;
        IOSDeviceLoadHooks hooks;
        hooks.runJob = run.fn();
        const IOSTransferResult r = g_export2ITunesBKThrow(folder, g_testDataFolders(), m_source.messages(), hooks);
        QVERIFY2(run.errors.isEmpty(), qPrintable(run.errors.join(u'\n')));
        QVERIFY(r.done);

        // Loading the backup back shows the merged messages.
        BackupManifest manifest(folder, g_testDataFolders());
        manifest.readManifestInfo();
        manifest.parseInfo();
        RecordingProgress p;
        const QString target = QDir::current().absoluteFilePath(u"readback/"_qs + QTest::currentDataTag());
        QDir(target).removeRecursively();
        IOSLoadViberFromiTunesThread load(&manifest, p, target);
        load.run();
        QVERIFY2(p.errors().isEmpty(), qPrintable(p.errors().value(0)));
        QVERIFY(load.hasData());
        const QStringList after =
            texts(readStore(load.containers().appRoot.absolutePath(), u"Documents/Contacts.data"_qs));
        QCOMPARE(after.size(), m_sourceTexts.size() + (withViber ? 1 : 0));
        if (withViber)
            QVERIFY(after.contains(u"500000000.000|already in the backup"_qs));
        QVERIFY(QFileInfo::exists(folder + u'/' + QString::fromLatin1(indexName)));
        // The stand-in device's working folder is gone.
        const QDir cache = g_testDataFolders().deviceCacheDir();
        QCOMPARE(cache.entryList({u"virtual_*"_qs}, QDir::Dirs), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestTransferToDevice)
#include "test_transfer_to_device.moc"
