#include "support/ExportTestData.h"
#include "export/CsvFormat.h"
#include "export/ExportMessagesThread.h"
#include "export/ExportPaths.h"
#include "shell/FileRoutines.h"
#include "export/ExportMessagesCsv.h"
#include "export/ExportMessagesJson.h"
#include "export/ExportMessagesTxt.h"
#include "support/FailingDevice.h"
#include "support/RecordingProgress.h"
#include "support/TestEnv.h"

#include <QTemporaryDir>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <QTest>

namespace {

struct Outcome
{
    QStringList successes;
    QStringList errors;
};

Outcome runExport(const QList<_ViberMsg*>& msgs, const QString& path, ExportFormat type)
{
    RecordingProgress p;
    ExportMessagesThread job(msgs, path, type, p);
    job.run();
    return {p.successes(), p.errors()};
}

// The JSON header says when the export ran: two runs a second apart differ
// there only, so the time is left out of the comparisons.
QByteArray withoutExportTime(const QByteArray& bytes)
{
    static const QByteArray key("\"exported\":\"");
    const qsizetype at = bytes.indexOf(key);
    if (at < 0)
        return bytes;
    const qsizetype start = at + key.size();
    const qsizetype end = bytes.indexOf('"', start);
    return end < 0 ? bytes.left(start) : bytes.left(start) + bytes.mid(end);
}
} // namespace

class TestExportText : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { g_requireTestEnvironment(); }

    void csvQuoting_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("csv");
        QTest::newRow("plain") << QStringLiteral("abc") << QStringLiteral("abc");
        QTest::newRow("comma") << QStringLiteral("a,b") << QStringLiteral("\"a,b\"");
        QTest::newRow("quote") << QStringLiteral("say \"hi\"") << QStringLiteral("\"say \"\"hi\"\"\"");
        QTest::newRow("line feed") << QStringLiteral("a\nb") << QStringLiteral("\"a\nb\"");
        QTest::newRow("carriage return alone") << QStringLiteral("a\rb") << QStringLiteral("a\rb");
        QTest::newRow("empty") << QString() << QString();
    }
    void csvQuoting()
    {
        QFETCH(QString, field);
        QFETCH(QString, csv);
        QCOMPARE(g_csvFormat(field), csv);
    }

    void csvGolden()
    {
        QTemporaryDir dir;
        ExportTestData t;
        t.fill(dir.path());
        const QString out = dir.filePath(QStringLiteral("out.csv"));
        const Outcome p = runExport(t.data.messages(), out, ExportFormat::Csv);
        QVERIFY(p.errors.isEmpty());
        // Neither the orphan message (no chat) nor the call entry without its
        // call is written, and neither is counted.
        QCOMPARE(p.successes, QStringList{QStringLiteral("Successfully exported 9 messages.")});
        const QString expected = QStringLiteral(
            "date,send,person,number,content\n"
            "2024-01-15 10:00:00,1,Anna,+4911,\"Hello, \"\"world\"\"\nsecond line\"\n"
            "2024-01-15 10:01:00,0,Anna,+4911,Hi (smiley)\n"
            "2024-01-15 10:02:00,0,Anna,+4911,[IMAGE]\n"
            "2024-01-15 10:03:00,1,Anna,+4911,[AUDIO]\n"
            "2024-01-15 10:04:00,0,,,Missed Call\n"
            "2024-01-16 10:00:00,0,,,\"Bob \"\"B\"\", Jr. changed the group name to \"\"Hikers\"\"\"\n"
            "2024-01-16 10:01:00,0,\"Bob \"\"B\"\", Jr.\",+4922,from bob\n"
            "2024-01-16 10:02:00,1,,Hikers,\"mine, no person\"\n"
            "2024-01-16 10:03:00,0,,,Outgoing Call (2' 5'')\n");
        QCOMPARE(g_readText(out), expected);
    }

    void csvGroupLabelFallsBackToGroupId()
    {
        QTemporaryDir dir;
        ExportTestData t;
        t.fill(dir.path());
        t.group->name.clear();
        const QString out = dir.filePath(QStringLiteral("out.csv"));
        runExport(t.group->msgs, out, ExportFormat::Csv);
        QVERIFY(g_readText(out).contains(QStringLiteral(",1,,Group-g1,\"mine, no person\"\n")));
    }

    void txtTable()
    {
        QTemporaryDir dir;
        ExportTestData t;
        t.fill(dir.path());
        const QString out = dir.filePath(QStringLiteral("out.doc"));
        const Outcome p = runExport(t.data.messages(), out, ExportFormat::Txt);
        QCOMPARE(p.successes, QStringList{QStringLiteral("Successfully exported 9 messages.")});
        const QStringList lines = g_readText(out).split(u'\n');
        QCOMPARE(lines.size(), 11); // header, 9 rows, empty after the last line end
        QCOMPARE(lines[0], QStringLiteral("Date").leftJustified(30) + QStringLiteral("Flag  ") +
                               QStringLiteral("Name").leftJustified(40) + QStringLiteral("Message"));
        auto cols = [](const QString& l) {
            return QStringList{l.left(30).trimmed(), l.mid(30, 6).trimmed(), l.mid(36, 40).trimmed(), l.mid(76)};
        };
        QCOMPARE(cols(lines[1]).mid(1), (QStringList{QStringLiteral("To"), QStringLiteral("Anna(+4911)"),
                                                     QStringLiteral("Hello, \"world\" second line")}));
        QCOMPARE(cols(lines[2]).mid(1),
                 (QStringList{QStringLiteral("From"), QStringLiteral("Anna(+4911)"), QStringLiteral("Hi (smiley)")}));
        QCOMPARE(cols(lines[5]).mid(1),
                 (QStringList{QString(), QStringLiteral("<Call>"), QStringLiteral("Missed Call")}));
        QCOMPARE(cols(lines[6]).mid(1, 2), (QStringList{QString(), QStringLiteral("<System>")}));
        QCOMPARE(cols(lines[7]).mid(1), (QStringList{QStringLiteral("From"), QStringLiteral("Bob \"B\", Jr.(+4922)"),
                                                     QStringLiteral("from bob")}));
        // A group message without a sender shows the chat's members.
        QCOMPARE(cols(lines[8]).mid(1, 2),
                 (QStringList{QStringLiteral("To"), QStringLiteral("Anna(+4911), Bob \"B\", Jr.(+4922)")}));
        QVERIFY(!lines[1].left(30).trimmed().isEmpty());
    }

    // Text and CSV write "[EMOJI]" by default; asked to keep emoji they
    // write every text exactly as its sender did, emoticon tokens included.
    void keepEmojiWritesTheTextAsWritten()
    {
        QTemporaryDir dir;
        ExportTestData t;
        t.fill(dir.path());
        const QString written = QString::fromUtf16(u"Ok \U0001F44D\u2600\uFE0F (heart) \U0001F468\u200D\U0001F469");
        t.msg(t.single, MSG_TYPE_TEXT, ExportTestData::kDay + 300, written, MSG_STATE_RECEIVED, t.anna);
        for (const auto type : {ExportFormat::Txt, ExportFormat::Csv}) {
            const QString plainOut = dir.filePath(QStringLiteral("plain%1").arg(int(type)));
            const QString keptOut = dir.filePath(QStringLiteral("kept%1").arg(int(type)));
            runExport(t.single->msgs, plainOut, type);
            RecordingProgress p;
            ExportMessagesThread job(t.single->msgs, keptOut, type, p);
            job.options().keepEmoji = true;
            job.run();
            QVERIFY(p.errors().isEmpty());
            const QString plain = g_readText(plainOut), kept = g_readText(keptOut);
            QVERIFY2(plain.contains(QStringLiteral("Ok [EMOJI]")), qPrintable(plain));
            QVERIFY(!plain.contains(written));
            QVERIFY2(kept.contains(written), qPrintable(kept));
            QVERIFY(!kept.contains(QStringLiteral("[EMOJI]")));
            // Only the texts differ.
            QCOMPARE(kept.count(u'\n'), plain.count(u'\n'));
        }
        QVERIFY(ExportOptions::keepEmojiSupported(ExportFormat::Txt));
        QVERIFY(!ExportOptions::keepEmojiSupported(ExportFormat::Pdf));
    }

    void longValuesPushColumnsInsteadOfBeingCut()
    {
        QTemporaryDir dir;
        ExportTestData t;
        _ViberPerson* p = t.person(QString(50, u'N'), QStringLiteral("+1"));
        _ViberChat* c = t.chat(QString(), QString(), {p});
        t.msg(c, MSG_TYPE_TEXT, 0, QStringLiteral("x\r\ny"), MSG_STATE_SENT);
        const QString out = dir.filePath(QStringLiteral("t.txt"));
        runExport(t.data.messages(), out, ExportFormat::Txt);
        const QString row = g_readText(out).split(u'\n').at(1);
        QVERIFY(row.contains(QString(50, u'N') + QStringLiteral("(+1)x y")));
    }

    void unwritableTargetFailsAndLeavesNothing()
    {
        QTemporaryDir dir;
        ExportTestData t;
        t.fill(dir.path());
        const QString out = dir.filePath(QStringLiteral("no/such/folder/out.csv"));
        const Outcome p = runExport(t.data.messages(), out, ExportFormat::Csv);
        QVERIFY(p.successes.isEmpty());
        QCOMPARE(p.errors.size(), 1);
        QVERIFY(p.errors.first().contains(QStringLiteral("out.csv")));
        QVERIFY(!QFileInfo::exists(out));
    }

    void aFileThatCannotBeOpenedIsLeftAlone()
    {
        QTemporaryDir dir;
        ExportTestData t;
        t.fill(dir.path());
        const QString out = dir.filePath(QStringLiteral("readonly.csv"));
        QVERIFY(g_writeFile(out, "the user's own data"));
        QFile::setPermissions(out, QFile::ReadOwner);
        if (QFile(out).open(QIODevice::WriteOnly))
            QSKIP("running with rights that ignore file permissions");
        const Outcome p = runExport(t.data.messages(), out, ExportFormat::Csv);
        QCOMPARE(p.errors.size(), 1);
        QFile f(out);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("the user's own data"));
    }

    void cancelRemovesTheFile()
    {
        QTemporaryDir dir;
        ExportTestData t;
        t.fill(dir.path());
        const QString out = dir.filePath(QStringLiteral("out.txt"));
        RecordingProgress p;
        p.cancelAfterUpdates(3);
        ExportMessagesThread job(t.data.messages(), out, ExportFormat::Txt, p);
        job.run();
        QVERIFY(p.successes().isEmpty() && p.errors().isEmpty());
        QVERIFY(!QFileInfo::exists(out));
    }

    void aFailedOrCancelledExportKeepsTheFileThatWasThere()
    {
        QTemporaryDir dir;
        ExportTestData t;
        t.fill(dir.path());
        for (const auto type : {ExportFormat::Txt, ExportFormat::Csv}) {
            QTemporaryDir outDir;
            const QString out = outDir.filePath(QStringLiteral("chats.out"));
            QVERIFY(g_writeFile(out, "the user's own data"));

            g_failNthWriteForTest(1); // the disk fills up at the first write
            const Outcome failed = runExport(t.data.messages(), out, type);
            g_failNthWriteForTest(0);
            QCOMPARE(failed.errors.size(), 1);
            QVERIFY2(failed.errors.first().contains(QLatin1String("No space left on device")),
                     qPrintable(failed.errors.first()));
            QCOMPARE(g_readFile(out), QByteArray("the user's own data"));

            RecordingProgress p;
            p.cancelAfterUpdates(3);
            ExportMessagesThread job(t.data.messages(), out, type, p);
            job.run();
            QVERIFY(p.successes().isEmpty() && p.errors().isEmpty());
            QCOMPARE(g_readFile(out), QByteArray("the user's own data"));
            // No temporary file is left beside it.
            QCOMPARE(QDir(outDir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("chats.out")});

            // A whole export replaces it, and the file keeps its rights.
            const QFile::Permissions rights = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
            QVERIFY(QFile::setPermissions(out, rights));
            QCOMPARE(runExport(t.data.messages(), out, type).errors, QStringList());
            QVERIFY(g_readFile(out).size() > 100);
            QCOMPARE(QFileInfo(out).permissions() & ~QFile::Permissions(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser), rights);
            QCOMPARE(QDir(outDir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("chats.out")});
        }
    }

    // The writers on a device: the same bytes as in a file; a device that
    // fills up after some bytes (a short write, then failures) or fails at
    // once raises the system's text naming the output, never a success.
    void writersOnADeviceThatFillsUp()
    {
        QTemporaryDir dir;
        ExportTestData t;
        t.fill(dir.path());
        // Enough rows for several flushes of the writer's buffer.
        for (int i = 0; i < 40000; ++i)
            t.msg(t.group, MSG_TYPE_TEXT, ExportTestData::kDay + 100000 + i,
                  QStringLiteral("row %1 of a long history, with some words to fill it").arg(i), MSG_STATE_SENT);
        QList<_ViberMsg*> msgs = t.data.messages();
        std::sort(msgs.begin(), msgs.end(), compareMessageChatDateAsc);
        auto writeAll = [&](AbsFormatExport<_ViberMsg>& w) {
            w.init();
            for (_ViberMsg* m : std::as_const(msgs))
                w.write(*m);
            w.uninit();
        };
        QList<const _ViberChat*> chats;
        for (const _ViberChat* c : std::as_const(t.data.p()->chats))
            chats << c;
        const JsonExportSource source{QStringLiteral("demo"), QString()};
        for (const QString& kind : {QStringLiteral("txt"), QStringLiteral("csv"), QStringLiteral("json")}) {
            const QString file = dir.filePath(QStringLiteral("a.") + kind);
            auto make = [&](QIODevice* device) -> std::unique_ptr<AbsFormatExport<_ViberMsg>> {
                const QString pipe = QStringLiteral("the pipe");
                if (kind == QLatin1String("csv"))
                    return device ? std::make_unique<ExportMessagesCsv>(*device, pipe)
                                  : std::make_unique<ExportMessagesCsv>(file);
                if (kind == QLatin1String("json"))
                    return device ? std::make_unique<ExportMessagesJson>(*device, pipe, chats, source)
                                  : std::make_unique<ExportMessagesJson>(file, chats, source);
                return device ? std::make_unique<ExportMessagesTxt>(*device, pipe)
                              : std::make_unique<ExportMessagesTxt>(file);
            };
            writeAll(*make(nullptr));
            const QByteArray expected = withoutExportTime(g_readFile(file));
            QVERIFY(expected.size() > 2 * (1 << 20));

            FailingDevice whole;
            writeAll(*make(&whole));
            QCOMPARE(withoutExportTime(whole.written()), expected);

            for (const auto& [failAt, capacity] : {std::pair{1, qint64(-1)}, std::pair{2, qint64(-1)},
                                                   std::pair{0, qint64(1 << 21)}}) {
                FailingDevice full(failAt, capacity);
                try {
                    writeAll(*make(&full));
                    QFAIL("a full device passed as success");
                } catch (const std::runtime_error& e) {
                    const QString why = QString::fromUtf8(e.what());
                    QVERIFY2(why.startsWith(QStringLiteral("the pipe: No space left on device")), e.what());
                }
                QVERIFY(expected.startsWith(withoutExportTime(full.written())));
                if (capacity > 0)
                    QCOMPARE(full.written().size(), capacity);
            }
        }
    }

    void aFullDeviceSaysSo()
    {
        const QString full = QStringLiteral("/dev/full");
        if (!QFileInfo(full).exists())
            QSKIP("no /dev/full here");
        ExportTestData t;
        QTemporaryDir dir;
        t.fill(dir.path());
        for (const auto type : {ExportFormat::Txt, ExportFormat::Csv}) {
            const Outcome r = runExport(t.data.messages(), full, type);
            QCOMPARE(r.successes, QStringList());
            QCOMPARE(r.errors.size(), 1);
            QVERIFY2(r.errors.first().contains(QLatin1String("No space left on device")), qPrintable(r.errors.first()));
            QVERIFY(QFileInfo(full).exists()); // a device is never removed
        }
    }

    void overLongChatNamesAreCutAtACharacterBoundary()
    {
        ExportTestData t;
        _ViberPerson* p = t.person(QString(), QString());
        _ViberChat* c = t.chat(QString(), QString(), {p});
        const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
        // 197 ASCII bytes and a 4-byte character: one more would pass 200 bytes.
        p->name = QString(197, u'a') + emoji + QString(20000, u'b');
        QCOMPARE(ExportMessagesThread::chatFileName(c, QStringLiteral(".html")), QString(197, u'a') + QStringLiteral(".html"));
        p->name = QString(196, u'a') + emoji + QString(20000, u'b');
        QCOMPARE(ExportMessagesThread::chatFileName(c, QStringLiteral(".pdf")), QString(196, u'a') + emoji + QStringLiteral(".pdf"));
        p->name = QString(30000, QChar(0x00FC)); // two bytes each
        QCOMPARE(ExportMessagesThread::chatFileName(c, QString()), QString(100, QChar(0x00FC)));
    }

    void targetPaths()
    {
        QCOMPARE(g_exportTarget(QStringLiteral("/h/chats"), EXPORT_FILTER_DOC).path, QStringLiteral("/h/chats.doc"));
        QVERIFY(g_exportTarget(QStringLiteral("/h/chats"), EXPORT_FILTER_DOC).format == ExportFormat::Txt);
        QCOMPARE(g_exportTarget(QStringLiteral("/h/a.text"), EXPORT_FILTER_TXT).path, QStringLiteral("/h/a.text"));
        QCOMPARE(g_exportTarget(QStringLiteral("/h/chats"), EXPORT_FILTER_CSV).path, QStringLiteral("/h/chats.csv"));
        QCOMPARE(g_exportTarget(QStringLiteral("/h/chats.pdf"), EXPORT_FILTER_PDF).path,
                 QStringLiteral("/h/chats-pdf"));
        QVERIFY(g_exportTarget(QStringLiteral("/h/chats.pdf"), EXPORT_FILTER_PDF).format == ExportFormat::Pdf);
        QCOMPARE(g_exportTarget(QStringLiteral("/h/my.chats.html"), EXPORT_FILTER_HTML).path,
                 QStringLiteral("/h/my.chats-html"));
        QVERIFY(g_exportTarget(QStringLiteral("/h/x"), EXPORT_FILTER_HTML).format == ExportFormat::Html);
        ExportFilter f;
        QVERIFY(g_exportFilterFromName(QStringLiteral("PDF"), f) && f == EXPORT_FILTER_PDF);
        QVERIFY(!g_exportFilterFromName(QStringLiteral("xls"), f));
    }
};

QTEST_GUILESS_MAIN(TestExportText)
#include "test_export_text.moc"
