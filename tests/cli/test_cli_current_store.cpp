#include "fixtures/BackupFixture.h"
#include "fixtures/CurrentStoreFixture.h"
#include "fixtures/DesktopFixture.h"
#include "fixtures/StoreFixture.h"
#include "support/CliProcess.h"
#include "support/TestEnv.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {
// A messages listing without the message and chat keys, which a backup
// chooses itself, in a fixed order.
QStringList withoutKeys(const QString& listing)
{
    QStringList lines;
    for (const QString& line : listing.split(u'\n', Qt::SkipEmptyParts))
        lines << line.section(u'\t', 2);
    lines.sort();
    return lines;
}

int countOf(const QString& infoJson, const char* key)
{
    return QJsonDocument::fromJson(infoJson.toUtf8()).object().value(QLatin1String(key)).toInt(-1);
}

const QString kInfo = QStringLiteral(
    "{\"chats\":5,\"persons\":7,\"messages\":24,\"attachments\":6,\"calls\":5,\"owner\":\"Olga Owner (+4900000)\"}\n");
} // namespace

class TestCliCurrentStore : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    QString m_both; // both containers side by side
    CurrentStoreSample m_s;

    CliResult run(const QStringList& args)
    {
        return g_runCliProcess(QStringLiteral(FERROWICK_CLI_PATH), args,
                               g_cliEnvironment(m_tmp.filePath(QStringLiteral("data"))));
    }
    QString out(const QString& name) const { return m_tmp.filePath(QStringLiteral("out/") + name); }
    QStringList source() const { return {QStringLiteral("--container"), m_both}; }

    static void backupKinds()
    {
        QTest::addColumn<int>("generation");
        QTest::addColumn<bool>("encrypted");
        QTest::newRow("Manifest.mbdb") << int(BackupFixture::Mbdb) << false;
        QTest::newRow("Manifest.db") << int(BackupFixture::ManifestDb) << false;
        QTest::newRow("Manifest.db, encrypted") << int(BackupFixture::ManifestDb) << true;
    }

    // Writes the backup b as name; the source options that read it (with
    // its password in a file when it is encrypted).
    QStringList writeBackup(BackupFixture& b, const QString& name)
    {
        const QString backup = b.write(m_tmp.filePath(QStringLiteral("backups")), name);
        QStringList itunes{QStringLiteral("--itunes"), backup};
        if (b.encrypted) {
            const QString pwFile = m_tmp.filePath(name + QStringLiteral(".pw"));
            g_writeFile(pwFile, b.password);
            itunes << QStringLiteral("--password-file") << pwFile;
        }
        return itunes;
    }

private slots:
    void initTestCase()
    {
        g_requireTestEnvironment();
        QVERIFY(QDir().mkpath(out(QString())));
        m_both = m_tmp.filePath(QStringLiteral("unpacked"));
        CurrentStoreOptions o;
        o.newestInWal = true; // the private copy must bring the log along
        m_s = CurrentStoreFixture(m_both, o).fillSample();
    }

    void listingsAndCallsOnEachWayToNameTheContainers()
    {
        const QByteArray before = g_treeDigest(m_both);
        const QList<QStringList> ways{
            source(),
            {QStringLiteral("--container"), m_s.groupDir, QStringLiteral("--app-container"), m_s.appDir},
            {QStringLiteral("--container"), m_s.groupDir}, // the app container is found beside it
        };
        for (const QStringList& way : ways) {
            const CliResult info = run(QStringList{QStringLiteral("info"), QStringLiteral("--json")} + way);
            QCOMPARE(info.err, QString());
            QCOMPARE(info.out, kInfo);
        }

        const CliResult chats = run(QStringList{QStringLiteral("chats")} + source());
        QCOMPARE(chats.code, 0);
        const QStringList chatLines = chats.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(chatLines.size(), m_s.chats);
        QVERIFY2(chatLines.filter(QStringLiteral("Team")).size() == 1, qPrintable(chats.out));

        const CliResult msgs = run(QStringList{QStringLiteral("messages")} + source());
        QCOMPARE(msgs.code, 0);
        QCOMPARE(msgs.out.count(u'\n'), m_s.messages);
        for (const char* text : {"Hello from Anna", "Eve was here", "Newest from Anna", "Outgoing Video Call (2' 5'')",
                                 "Missed Video Call", "[STICKER-1234]", "Boris changed the group name to \"Team\""})
            QVERIFY2(msgs.out.contains(QString::fromUtf8(text)), text);
        QVERIFY(!msgs.out.contains(QStringLiteral("gone")));
        QVERIFY(!msgs.out.contains(QStringLiteral("in deleted chat")));

        const CliResult calls =
            run(QStringList{QStringLiteral("calls"), QStringLiteral("--out"), out(QStringLiteral("calls.txt"))} + source());
        QCOMPARE(calls.code, 0);
        const QByteArray callText = g_readFile(out(QStringLiteral("calls.txt")));
        QVERIFY2(callText.contains("Boris(+4922222)                         Incoming Video "), callText.constData());
        QVERIFY(callText.contains("Dora(+4944444)                          Missed Video "));
        QVERIFY(callText.contains("Anna Book(+4911111)                     Incoming       "));

        QCOMPARE(g_treeDigest(m_both), before); // the user's files are only read
    }

    void wrongContainerOptions()
    {
        const CliResult none = run({QStringLiteral("info"), QStringLiteral("--container"), m_s.appDir});
        QCOMPARE(none.code, 1);
        QVERIFY2(none.err.contains(QStringLiteral("no Viber store")), qPrintable(none.err));
        const CliResult notGroup = run({QStringLiteral("info"), QStringLiteral("--demo"), QStringLiteral("--app-container"),
                                        m_s.appDir});
        QCOMPARE(notGroup.code, 2);
        QVERIFY(notGroup.err.contains(QStringLiteral("--app-container applies only to --container")));
    }

    void exportsEveryFormat()
    {
        auto exportAs = [&](const char* format, const QString& name) {
            return run(QStringList{QStringLiteral("export"), QStringLiteral("--format"), QLatin1String(format),
                                   QStringLiteral("--out"), out(name)}
                       + source());
        };
        QCOMPARE(exportAs("txt", QStringLiteral("all.txt")).code, 0);
        const QByteArray txt = g_readFile(out(QStringLiteral("all.txt")));
        QVERIFY(txt.contains("Hello from Anna"));
        QVERIFY(txt.contains("Outgoing Video Call (2' 5'')"));
        QCOMPARE(exportAs("doc", QStringLiteral("all")).code, 0);
        QCOMPARE(g_readFile(out(QStringLiteral("all.doc"))), txt);
        QCOMPARE(exportAs("csv", QStringLiteral("all")).code, 0);
        const QByteArray csv = g_readFile(out(QStringLiteral("all.csv")));
        QVERIFY(csv.contains(",0,Anna Book,+4911111,Hello from Anna"));
        QVERIFY(csv.contains("Missed Video Call"));

        QCOMPARE(exportAs("html", QStringLiteral("pages.html")).code, 0);
        QDir html(out(QStringLiteral("pages-html")));
        QCOMPARE(html.entryList(QDir::Files).size(), m_s.chats + 1); // and index.html
        QCOMPARE(exportAs("pdf", QStringLiteral("print.pdf")).code, 0);
        const QDir pdf(out(QStringLiteral("print-pdf")));
        QCOMPARE(pdf.entryList(QDir::Files).size(), m_s.chats);
        for (const QString& f : pdf.entryList(QDir::Files))
            QVERIFY(g_readFile(pdf.filePath(f)).startsWith("%PDF"));

        // The attachment files come from the app container.
        const QString media = out(QStringLiteral("media"));
        QVERIFY(QDir().mkpath(media));
        QCOMPARE(run(QStringList{QStringLiteral("extract-media"), QStringLiteral("--out"), media} + source()).code, 0);
        qint64 bytes = 0;
        int files = 0;
        QDirIterator it(media, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            it.next();
            ++files;
            bytes += it.fileInfo().size();
        }
        QVERIFY2(files >= 4, qPrintable(QString::number(files))); // two pictures, the video, the voice message
        QVERIFY(bytes > 0);
    }

    void backupIntoALocalDatabaseReloadsTheSameMessages()
    {
        const CliResult backup =
            run(QStringList{QStringLiteral("backup"), QStringLiteral("--into"), QStringLiteral("current")} + source());
        QCOMPARE(backup.err, QString());
        QVERIFY2(backup.out.contains(QStringLiteral("%1 messages").arg(m_s.messages)), qPrintable(backup.out));
        const CliResult fromDb = run({QStringLiteral("messages"), QStringLiteral("--localdb"), QStringLiteral("current")});
        QCOMPARE(fromDb.code, 0);
        const CliResult fromStore = run(QStringList{QStringLiteral("messages")} + source());
        QCOMPARE(withoutKeys(fromDb.out), withoutKeys(fromStore.out));
        // The pictures came along.
        const QString db = m_tmp.filePath(QStringLiteral("data/local_databases/current/Documents/"));
        QVERIFY(QFileInfo(db + QStringLiteral("Attachments/pic1.jpg")).isFile());
        QVERIFY(QFileInfo(db + QStringLiteral("ContactIcons/4922222.jpg")).isFile());
    }

    void itunesBackupHoldingBothContainers_data() { backupKinds(); }

    void itunesBackupHoldingBothContainers()
    {
        QFETCH(int, generation);
        QFETCH(bool, encrypted);
        BackupFixture b;
        b.generation = BackupFixture::Generation(generation);
        b.encrypted = encrypted;
        b.password = "current secret";
        b.addContainer(m_s.groupDir, CurrentStoreFixture::groupFolderName());
        b.addContainer(m_s.appDir, CurrentStoreFixture::appFolderName());
        // A store an earlier Viber left in the app container is not the history.
        b.addFile(CurrentStoreFixture::appFolderName(), QStringLiteral("Documents/Contacts.data"), "left behind");
        const QString name = QStringLiteral("current-%1-%2").arg(generation).arg(encrypted);
        const QStringList itunes = writeBackup(b, name);
        const CliResult info = run(QStringList{QStringLiteral("info"), QStringLiteral("--json")} + itunes);
        QCOMPARE(info.err, QString());
        QCOMPARE(info.out, kInfo);
        const CliResult fromBackup = run(QStringList{QStringLiteral("messages")} + itunes);
        QCOMPARE(fromBackup.out, run(QStringList{QStringLiteral("messages")} + source()).out);
        const CliResult calls = run(QStringList{QStringLiteral("calls"), QStringLiteral("--out"), out(name + QStringLiteral("-calls.txt"))} + itunes);
        QCOMPARE(calls.code, 0);
        const CliResult direct = run(QStringList{QStringLiteral("calls"), QStringLiteral("--out"), out(name + QStringLiteral("-direct.txt"))} + source());
        QCOMPARE(direct.code, 0);
        const QByteArray callHistory = g_readFile(out(name + QStringLiteral("-calls.txt")));
        QVERIFY(callHistory.contains("Video"));
        QCOMPARE(callHistory, g_readFile(out(name + QStringLiteral("-direct.txt"))));

        const QString into = QStringLiteral("frombackup") + QString::number(generation) + (encrypted ? u'e' : u'p');
        const CliResult saved = run(QStringList{QStringLiteral("backup"), QStringLiteral("--into"), into} + itunes);
        QCOMPARE(saved.code, 0);
        const QString db = m_tmp.filePath(QStringLiteral("data/local_databases/%1/Documents/").arg(into));
        QVERIFY(QFileInfo(db + QStringLiteral("Attachments/pic1.jpg")).isFile());
        QVERIFY(QFileInfo(db + QStringLiteral("VoiceMessages")).isDir());
        QVERIFY(QFileInfo(db + QStringLiteral("ContactIcons/4922222.jpg")).isFile());
        const CliResult reloaded = run({QStringLiteral("messages"), QStringLiteral("--localdb"), into});
        QCOMPARE(withoutKeys(reloaded.out), withoutKeys(fromBackup.out));
    }

    void toITunesMergesIntoTodaysStore_data() { backupKinds(); }

    void toITunesMergesIntoTodaysStore()
    {
        QFETCH(int, generation);
        QFETCH(bool, encrypted);
        const QString name = QStringLiteral("into-%1-%2").arg(generation).arg(encrypted);
        // A phone of today with the whole schema of a real store.
        const QString phoneDir = m_tmp.filePath(name + QStringLiteral("-phone"));
        CurrentStoreOptions o;
        o.fullSchema = true;
        const CurrentStoreSample phone = CurrentStoreFixture(phoneDir, o).fillSample();
        BackupFixture b;
        b.generation = BackupFixture::Generation(generation);
        b.encrypted = encrypted;
        b.password = "into secret";
        b.addContainer(phone.groupDir, CurrentStoreFixture::groupFolderName());
        b.addContainer(phone.appDir, CurrentStoreFixture::appFolderName());
        const QStringList itunes = writeBackup(b, name);
        const QStringList target{QStringLiteral("--backup"), itunes.at(1)};
        auto listing = [&](const QStringList& src) {
            const CliResult r = run(QStringList{QStringLiteral("messages")} + src);
            return withoutKeys(r.out);
        };
        auto info = [&](const QStringList& src) { return run(QStringList{QStringLiteral("info"), QStringLiteral("--json")} + src).out; };
        const QStringList phoneLines = listing(itunes);
        const QString phoneInfo = info(itunes);

        // Viber Desktop's history goes in beside the phone's; a second run
        // adds nothing.
        const QString desktop = m_tmp.filePath(name + QStringLiteral("-viber.db"));
        {
            DesktopFixture f(desktop);
            g_fillDesktopSample(f);
            f.finish();
        }
        const QStringList desktopSource{QStringLiteral("--desktop"), desktop};
        const QStringList desktopLines = listing(desktopSource);
        QVERIFY(!desktopLines.isEmpty());
        // A backup written to takes its password from the environment.
        QProcessEnvironment env = g_cliEnvironment(m_tmp.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("FERROWICK_BACKUP_PASSWORD"), QString::fromUtf8(b.password));
        auto into = [&](const QStringList& src) {
            return g_runCliProcess(QStringLiteral(FERROWICK_CLI_PATH), QStringList{QStringLiteral("to-itunes")} + target + src, env);
        };
        for (int round = 0; round < 2; ++round) {
            const CliResult r = into(desktopSource);
            QVERIFY2(r.code == 0, qPrintable(r.err));
        }
        const QString merged = info(itunes);
        QCOMPARE(countOf(merged, "messages"), countOf(phoneInfo, "messages") + countOf(info(desktopSource), "messages"));
        const QStringList mergedLines = listing(itunes);
        for (const QStringList* part : {&phoneLines, &desktopLines}) {
            for (const QString& line : *part)
                QVERIFY2(mergedLines.contains(line), qPrintable(line));
        }

        // An old-layout container and a local database made from it: the
        // second brings the same messages again, so nothing more.
        const QString old = m_tmp.filePath(name + QStringLiteral("-old"));
        {
            ContainerFixture c(old);
            g_fillSampleStore(c);
        }
        const QStringList oldSource{QStringLiteral("--container"), old};
        QCOMPARE(into(oldSource).code, 0);
        const int withOld = countOf(info(itunes), "messages");
        QCOMPARE(withOld, countOf(merged, "messages") + countOf(info(oldSource), "messages"));
        const QString localDb = name + QStringLiteral("-db");
        QCOMPARE(run(QStringList{QStringLiteral("backup"), QStringLiteral("--into"), localDb} + oldSource).code, 0);
        QCOMPARE(into({QStringLiteral("--localdb"), localDb}).code, 0);
        QCOMPARE(countOf(info(itunes), "messages"), withOld);
        // The backup's own history into itself: all there already.
        const CliResult self = into(itunes);
        QVERIFY2(self.code == 0, qPrintable(self.err));
        QCOMPARE(countOf(info(itunes), "messages"), withOld);
    }
};

QTEST_GUILESS_MAIN(TestCliCurrentStore)
#include "test_cli_current_store.moc"
