#include "SimFixture.h"

#include "fixtures/CurrentStoreFixture.h"
#include "fixtures/StoreFixture.h"
#include "fixtures/ViberBackupFixture.h"
#include "support/CliProcess.h"
#include "support/TestEnv.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QTest>

namespace {
QString countLine(const QString& info, const QString& key)
{
    for (const QString& line : info.split(u'\n'))
        if (line.startsWith(key + u':'))
            return line;
    return QString();
}

int count(const QString& info, const QString& key)
{
    return countLine(info, key).section(u' ', 1).toInt();
}

// The chat listing's message counts and names, without the store's own
// keys and summary dates.
QStringList withoutKeys(const QString& listing)
{
    QStringList lines;
    for (const QString& line : listing.split(u'\n', Qt::SkipEmptyParts))
        lines << line.section(u'\t', 1, 1) + u'\t' + line.section(u'\t', 3);
    lines.sort();
    return lines;
}
} // namespace

class TestCliDeviceTransfer : public QObject
{
    Q_OBJECT

    std::unique_ptr<SimFixture> m_sim;
    QProcessEnvironment m_env;
    QString m_source; // a container with the sample history
    QString m_sourceInfo;

    CliResult cli(const QStringList& args)
    {
        return g_runCliProcess(QStringLiteral(FERROWICK_CLI_PATH), args, m_env, 120000);
    }

    void addSamplePhone(const QString& folder, bool houseArrest)
    {
        m_sim->addDevice(folder, folder, u"udid-"_qs + folder, {{u"HouseArrest"_qs, CFType::createCFBoolean(houseArrest)}});
        ContainerFixture c(m_sim->containerDir(folder, u"com.viber"_qs));
        g_fillSampleStore(c);
        c.finish();
    }

private slots:
    void initTestCase()
    {
        g_requireTestEnvironment();
        m_sim = std::make_unique<SimFixture>(QDir::current().absoluteFilePath(u"sim-cli-transfer"_qs));
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.insert(u"FERROWICK_DEVICE_BACKEND"_qs, QStringLiteral(FERROWICK_SIM_BACKEND));
        m_env.insert(u"FERROWICK_SIM_DEVICES"_qs, m_sim->root());

        m_source = QDir::current().absoluteFilePath(u"cli-source"_qs);
        QDir(m_source).removeRecursively();
        {
            ContainerFixture c(m_source);
            g_fillSampleStore(c);
        }
        addSamplePhone(u"direct"_qs, true);
        addSamplePhone(u"backup"_qs, false);
        m_sim->addDevice(u"empty"_qs, u"Empty"_qs, u"udid-empty"_qs, {{u"HouseArrest"_qs, CFType::createCFBoolean(true)}});
        m_sim->containerDir(u"empty"_qs, u"com.viber"_qs);
        {
            // Today's layout: the store in the app group, out of house arrest's reach.
            m_sim->addDevice(u"current"_qs, u"Current"_qs, u"udid-current"_qs);
            const QString tmp = QDir::current().absoluteFilePath(u"current-containers"_qs);
            QDir(tmp).removeRecursively();
            CurrentStoreOptions o;
            o.fullSchema = true;
            CurrentStoreFixture f(tmp, o);
            f.fillSample();
            const QString containers = m_sim->root() + u"/current/Containers"_qs;
            QDir().mkpath(containers);
            QVERIFY(QDir().rename(tmp + u'/' + CurrentStoreFixture::groupFolderName(),
                                  containers + u"/group.viber.share.container"_qs));
            QVERIFY(QDir().rename(tmp + u'/' + CurrentStoreFixture::appFolderName(), containers + u"/com.viber"_qs));
        }
        {
            // A phone that lets house arrest in and keeps a store of today's
            // layout in its app container.
            m_sim->addDevice(u"current-direct"_qs, u"Current direct"_qs, u"udid-current-direct"_qs,
                             {{u"HouseArrest"_qs, CFType::createCFBoolean(true)}});
            const QString tmp = QDir::current().absoluteFilePath(u"current-direct-containers"_qs);
            QDir(tmp).removeRecursively();
            CurrentStoreOptions o;
            o.fullSchema = true;
            CurrentStoreFixture(tmp, o).fillSample();
            const QString app = m_sim->containerDir(u"current-direct"_qs, u"com.viber"_qs);
            QDir(app).removeRecursively();
            QVERIFY(QDir().rename(tmp + u'/' + CurrentStoreFixture::appFolderName(), app));
            QVERIFY(QFile::rename(tmp + u'/' + CurrentStoreFixture::groupFolderName() + u"/com.viber/database/Contacts.data"_qs,
                                  app + u"/Documents/Contacts.data"_qs));
        }
        const CliResult r = cli({u"info"_qs, u"--container"_qs, m_source});
        QCOMPARE(r.code, 0);
        m_sourceInfo = r.out;
    }

    void infoAndExportThroughEitherRoute()
    {
        for (const QString& udid : {u"udid-direct"_qs, u"udid-backup"_qs}) {
            const CliResult r = cli({u"info"_qs, u"--device"_qs, udid});
            QVERIFY2(r.code == 0, qPrintable(r.err));
            QCOMPARE(r.out, m_sourceInfo);
        }
        const QString out = QDir::current().absoluteFilePath(u"device-export.txt"_qs);
        QFile::remove(out);
        const CliResult r = cli({u"export"_qs, u"--device"_qs, u"udid-backup"_qs, u"--format"_qs, u"txt"_qs, u"--out"_qs, out});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY(!g_readFile(out).isEmpty());

        const CliResult current = cli({u"info"_qs, u"--device"_qs, u"udid-current"_qs});
        QVERIFY2(current.code == 0, qPrintable(current.err));
        QCOMPARE(count(current.out, u"messages"_qs), CurrentStoreSample().messages);

        const CliResult none = cli({u"info"_qs, u"--device"_qs, u"no-such-phone"_qs});
        QCOMPARE(none.code, 1);
        QVERIFY2(none.err.contains(u"no attached iPhone"_qs), qPrintable(none.err));
    }

    void toDeviceWritesAndReadsBack()
    {
        SimFixture::writePattern(m_sim->root() + u"/empty/Containers/com.viber/Documents/placeholder"_qs, 1);
        CliResult r = cli({u"to-device"_qs, u"--device"_qs, u"udid-direct"_qs, u"--container"_qs, m_source});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        // The phone holds this very history already: the count is what was
        // added, so nothing is reported as transferred.
        QCOMPARE(r.out, u"Nothing was added: the iPhone \"direct\" already had all of these messages and calls.\n"_qs);
        // The same history again: nothing doubles.
        r = cli({u"info"_qs, u"--device"_qs, u"udid-direct"_qs});
        QCOMPARE(r.code, 0);
        QCOMPARE(count(r.out, u"messages"_qs), count(m_sourceInfo, u"messages"_qs));
        QCOMPARE(count(r.out, u"calls"_qs), count(m_sourceInfo, u"calls"_qs));

        // No store yet: the template stands in, reached through the device's
        // backup; the restore that needs is only made when asked for.
        const QString placeholder = m_sim->root() + u"/empty/Containers/com.viber/Documents/placeholder"_qs;
        const QByteArray untouched = g_fileDigest(placeholder);
        r = cli({u"to-device"_qs, u"--device"_qs, u"udid-empty"_qs, u"--container"_qs, m_source});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(u"--allow-restore"_qs), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
        QCOMPARE(g_fileDigest(placeholder), untouched);
        QVERIFY(!QFileInfo::exists(m_sim->root() + u"/empty/Containers/com.viber/Documents/Contacts.data"_qs));
        r = cli({u"to-device"_qs, u"--device"_qs, u"udid-empty"_qs, u"--allow-restore"_qs, u"--container"_qs, m_source});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY2(r.out.contains(u"restarts"_qs), qPrintable(r.out));
        QVERIFY2(r.out.startsWith(u"Successfully transferred "_qs) &&
                     r.out.contains(u" to the iPhone \"Empty\".\n"_qs),
                 qPrintable(r.out));
        r = cli({u"info"_qs, u"--device"_qs, u"udid-empty"_qs});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(count(r.out, u"messages"_qs), count(m_sourceInfo, u"messages"_qs));
        // The phone had no store of its own, so no names either: they came
        // with the transfer, and its chats read as the source's do.
        r = cli({u"chats"_qs, u"--device"_qs, u"udid-empty"_qs});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        const CliResult source = cli({u"chats"_qs, u"--container"_qs, m_source});
        QCOMPARE(source.code, 0);
        QVERIFY2(source.out.contains(u"Anna Berg"_qs) && source.out.contains(u"Boris"_qs), qPrintable(source.out));
        QCOMPARE(withoutKeys(r.out), withoutKeys(source.out));
        r = cli({u"messages"_qs, u"--device"_qs, u"udid-empty"_qs});
        QVERIFY2(r.out.contains(u"Anna Berg(+4915111111111)"_qs), qPrintable(r.out));
    }

    void toDeviceWritesIntoTodaysStoreByEitherRoute()
    {
        const int sourceMessages = count(m_sourceInfo, u"messages"_qs);
        for (const QString& udid : {u"udid-current"_qs, u"udid-current-direct"_qs}) {
            const int before = count(cli({u"info"_qs, u"--device"_qs, udid}).out, u"messages"_qs);
            QCOMPARE(before, CurrentStoreSample().messages);
            // The backup route restores the phone only when allowed to; the
            // direct route needs no restore. A second run adds nothing.
            for (int round = 0; round < 2; ++round) {
                const CliResult r = cli({u"to-device"_qs, u"--device"_qs, udid, u"--allow-restore"_qs,
                                         u"--container"_qs, m_source});
                QVERIFY2(r.code == 0, qPrintable(udid + u": "_qs + r.err));
                // The second run finds everything there: no restore either.
                QCOMPARE(r.out.startsWith(u"Nothing was added: "_qs), round == 1);
                QCOMPARE(r.out.contains(u"restarts"_qs), round == 0 && udid == u"udid-current"_qs);
                const CliResult after = cli({u"info"_qs, u"--device"_qs, udid});
                QVERIFY2(after.code == 0, qPrintable(after.err));
                QCOMPARE(count(after.out, u"messages"_qs), before + sourceMessages);
            }
        }
        // The store went back where the phone keeps it, without a log that
        // could replay the old state over it.
        const QString group = m_sim->root() + u"/current/Containers/group.viber.share.container/com.viber/database/"_qs;
        QVERIFY(QFileInfo(group + u"Contacts.data"_qs).size() > 0);
        QCOMPARE(QFileInfo(group + u"Contacts.data-wal"_qs).size(), 0);
        QVERIFY(!QFileInfo::exists(m_sim->root() + u"/current/Containers/com.viber/Documents/Contacts.data"_qs));
    }

    void toITunesWritesBackupThatReadsBack()
    {
        const QString parent = QDir::current().absoluteFilePath(u"cli-backups"_qs);
        QDir(parent).removeRecursively();
        BackupFixture b;
        b.generation = BackupFixture::ManifestDb;
        b.addFolders(u"HomeDomain"_qs, u"Library"_qs);
        const QString folder = b.write(parent, u"bk"_qs);
        CliResult r = cli({u"to-itunes"_qs, u"--backup"_qs, folder, u"--container"_qs, m_source});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        // It wrote into a backup, not onto a phone, and says how to get there.
        QVERIFY2(r.out.startsWith(u"Successfully transferred "_qs) && r.out.contains(u" to the iTunes backup of "_qs)
                     && r.out.contains(u"Restore the backup"_qs) && !r.out.contains(u"to iPhone"_qs),
                 qPrintable(r.out));
        r = cli({u"info"_qs, u"--itunes"_qs, folder});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(count(r.out, u"messages"_qs), count(m_sourceInfo, u"messages"_qs));

        r = cli({u"to-itunes"_qs, u"--backup"_qs, parent + u"/missing"_qs, u"--container"_qs, m_source});
        QCOMPARE(r.code, 1);
    }
};

QTEST_GUILESS_MAIN(TestCliDeviceTransfer)
#include "test_cli_device_transfer.moc"
