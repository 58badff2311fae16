#include "fixtures/BackupFixture.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {
struct Run
{
    int code;
    QString out;
    QString err;
};

Run runCli(const QStringList& args, const QString& tz = QStringLiteral("UTC"))
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TZ"), tz);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(FERROWICK_CLI_PATH), args);
    p.waitForFinished(-1);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}
} // namespace

class TestBackupsCli : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    QString m_plain, m_encrypted;

private slots:
    void initTestCase()
    {
        g_requireTestEnvironment();
        BackupFixture plain;
        plain.date = QDateTime(QDate(2023, 12, 31), QTime(23, 59, 58), Qt::UTC);
        plain.addFile(u"HomeDomain"_qs, u"Library/a.txt"_qs, "a");
        m_plain = plain.write(m_tmp.path());
        BackupFixture enc;
        enc.udid = u"ffff0000ffff0000ffff0000ffff0000ffff0000"_qs;
        enc.deviceName = u"Work Phone"_qs;
        enc.encrypted = true;
        enc.password = "pw";
        enc.addFile(u"HomeDomain"_qs, u"Library/b.txt"_qs, "b");
        m_encrypted = enc.write(m_tmp.path(), enc.udid + u"-copy"_qs);
        QDir(m_tmp.path()).mkpath(u"not-a-backup"_qs);
    }

    void listsNewestFirst()
    {
        const Run r = runCli({u"backups"_qs, u"--dir"_qs, m_tmp.path()});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.err, QString());
        QCOMPARE(r.out, u"Work Phone-copy\t2024-03-05 10:20:30\tyes\t10.3.3\tManifest.mbdb\t"_qs + m_encrypted + u"\n"_qs +
                            u"Test iPhone\t2023-12-31 23:59:58\tno\t10.3.3\tManifest.mbdb\t"_qs + m_plain + u"\n"_qs);
    }

    void datesAreLocalTime()
    {
        const Run r = runCli({u"backups"_qs, u"--dir"_qs, m_encrypted + u"/.."_qs}, u"Asia/Tokyo"_qs);
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.startsWith(u"Work Phone-copy\t2024-03-05 19:20:30\tyes\t"_qs), qPrintable(r.out));
    }

    void defaultFolder()
    {
        const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                            u"/MobileSync/Backup"_qs;
        QDir(dir).removeRecursively();
        Run r = runCli({u"backups"_qs});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QString());
        BackupFixture fx;
        const QString path = fx.write(dir);
        r = runCli({u"backups"_qs});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, u"Test iPhone\t2024-03-05 10:20:30\tno\t10.3.3\tManifest.mbdb\t"_qs + path + u"\n"_qs);
    }

    void failures()
    {
        Run r = runCli({u"backups"_qs, u"--dir"_qs, m_tmp.filePath(u"missing"_qs)});
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err.count(u'\n'), 1);
        QVERIFY(r.err.contains(u"missing"_qs));
        r = runCli({u"backups"_qs, u"extra"_qs});
        QCOMPARE(r.code, 2);
    }
};

QTEST_GUILESS_MAIN(TestBackupsCli)
#include "test_backups_cli.moc"
