#include "shell/LogSaver.h"
#include "support/TestEnv.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <thread>
#include <vector>

namespace {
QString todaysLog(const QString& dir)
{
    return QDir(dir).filePath(
        QStringLiteral("log-%1.txt").arg(QDate::currentDate().toString(QStringLiteral("yyyyMMdd"))));
}

} // namespace

class TestLogSaver : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { qInstallMessageHandler(nullptr); }

    void pruningKeepsTheNewest()
    {
        QTemporaryDir dir;
        for (int day = 1; day <= 12; ++day) {
            QFile f(dir.filePath(QStringLiteral("log-202401%1.txt").arg(day, 2, 10, QLatin1Char('0'))));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("a-folder-is-not-a-log")));
        logsaver_install_msghandler(dir.path(), 10, false);
        const QStringList left = QDir(dir.path()).entryList(QDir::Files, QDir::Name);
        QCOMPARE(left.size(), 10);
        QCOMPARE(left.first(), QStringLiteral("log-20240103.txt"));
        QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("a-folder-is-not-a-log"))));
    }

    void linesCarryLevelAndTime()
    {
        QTemporaryDir dir;
        const QString root = dir.filePath(QStringLiteral("qlogs")); // created on the first message
        logsaver_install_msghandler(root, 10, false);
        qDebug("first %s", "debug");
        qWarning() << "second";
        qCritical("third");
        qInfo("fourth");
        const QStringList lines = g_readLines(todaysLog(root));
        QCOMPARE(lines.size(), 4);
        const QRegularExpression shape(QStringLiteral("^\\((D|W|C)? ?\\d\\d:\\d\\d:\\d\\d\\) .+$"));
        for (const QString& l : lines)
            QVERIFY2(shape.match(l).hasMatch(), qPrintable(l));
        QVERIFY(lines[0].startsWith(QStringLiteral("(D ")) && lines[0].endsWith(QStringLiteral(") first debug")));
        QVERIFY(lines[1].startsWith(QStringLiteral("(W ")) && lines[1].endsWith(QStringLiteral("second")));
        QVERIFY(lines[2].startsWith(QStringLiteral("(C ")));
        QVERIFY(lines[3].startsWith(QStringLiteral("(")) && lines[3].at(1).isDigit());
    }

    void threadsNeverInterleave()
    {
        QTemporaryDir dir;
        logsaver_install_msghandler(dir.path(), 10, false);
        const QString payload(500, u'x');
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([t, &payload] {
                for (int i = 0; i < 200; ++i)
                    log_output(QtWarningMsg, QStringLiteral("t%1 %2").arg(t).arg(payload));
            });
        }
        for (auto& th : threads)
            th.join();
        const QStringList lines = g_readLines(todaysLog(dir.path()));
        QCOMPARE(lines.size(), 800);
        for (const QString& l : lines)
            QVERIFY(l.endsWith(payload) && l.count(u'(') == 1);
    }

    void unwritableFolderDoesNothing()
    {
        // A plain file where the log folder should be: nothing can be created
        // below it, and logging must quietly do nothing.
        QTemporaryDir dir;
        QFile blocker(dir.filePath(QStringLiteral("qlogs")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        logsaver_install_msghandler(dir.filePath(QStringLiteral("qlogs/inner")), 10, false);
        for (int i = 0; i < 100; ++i)
            qWarning("nowhere to go %d", i);
        QVERIFY(QFileInfo(blocker.fileName()).isFile());
        QCOMPARE(blocker.size(), qint64(0));
    }
};

QTEST_GUILESS_MAIN(TestLogSaver)
#include "test_logsaver.moc"
