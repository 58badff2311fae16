#include "support/ExportTestData.h"
#include "export/ExportViberCallsThread.h"
#include "support/FailingDevice.h"
#include "export/ExtractMediaFilesThread.h"
#include "model/ViberTime.h"
#include "shell/FileRoutines.h"
#include "support/RecordingProgress.h"
#include "support/TestEnv.h"

#include <QTemporaryDir>
#include <QTest>


class TestCallsAndMedia : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { g_requireTestEnvironment(); }

    void callTable()
    {
        QTemporaryDir dir;
        ExportTestData t;
        t.fill(dir.path());
        _ViberPerson* longName = t.person(QString(45, u'L'), QStringLiteral("+7"));
        _ViberMsg* m = t.msg(t.single, MSG_TYPE_CALL, ExportTestData::kDay + 500000, QString(), MSG_STATE_SENT);
        t.call(m, CALL_INCOMING, 75, longName);
        _ViberMsg* unknown = t.msg(t.single, MSG_TYPE_CALL, ExportTestData::kDay - 100, QString(), MSG_STATE_SENT);
        t.call(unknown, 9, -30, nullptr); // a damaged store: no length is known

        const QString out = dir.filePath(QStringLiteral("calls.txt"));
        RecordingProgress p;
        ExportViberCallsThread job(ExportViberCallsThread::callsOf(t.data.messages()), out, p);
        job.run();
        QCOMPARE(p.successes(), QStringList{QStringLiteral("Successfully extracted 4 calls.")});
        const QStringList lines = g_readLines(out);
        QCOMPARE(lines.size(), 5);
        QCOMPARE(lines[0], QStringLiteral("number").leftJustified(40) + QStringLiteral("Flag").leftJustified(15) +
                               QStringLiteral("Date").leftJustified(30) + QStringLiteral("duration").leftJustified(15));
        // Newest first; a long name pushes the other columns right.
        QVERIFY(lines[1].startsWith(QString(45, u'L') + QStringLiteral("(+7)Incoming")));
        QVERIFY(lines[1].trimmed().endsWith(QStringLiteral("1' 15''")));
        QVERIFY(lines[2].startsWith(QStringLiteral("Bob \"B\", Jr.(+4922)").leftJustified(40) +
                                    QStringLiteral("Outgoing").leftJustified(15)));
        QVERIFY(lines[2].trimmed().endsWith(QStringLiteral("2' 5''")));
        QVERIFY(lines[3].startsWith(QStringLiteral("Anna(+4911)").leftJustified(40) + QStringLiteral("Missed")));
        QVERIFY(lines[3].trimmed().endsWith(QStringLiteral("0' 0''")));
        QVERIFY(lines[4].startsWith(QStringLiteral("Unknown").leftJustified(55))); // no flag for an unknown type
        QVERIFY(!lines[4].contains(u'\'')); // and no length, rather than (0' -30'')
    }

    // The call table written to a device is the file's; a full device is an
    // error the job reports, not a success.
    void callsOnADevice()
    {
        QTemporaryDir dir;
        ExportTestData t;
        t.fill(dir.path());
        const QList<_ViberCall*> calls = ExportViberCallsThread::callsOf(t.data.messages());
        const QString file = dir.filePath(QStringLiteral("calls.txt"));
        RecordingProgress toFile;
        ExportViberCallsThread(calls, file, toFile).run();
        FailingDevice device;
        RecordingProgress toDevice;
        ExportViberCallsThread(calls, device, toDevice).run();
        QCOMPARE(toDevice.successes(), toFile.successes());
        QCOMPARE(device.written(), g_readFile(file));

        FailingDevice full(1);
        RecordingProgress failing;
        ExportViberCallsThread(calls, full, failing).run();
        QCOMPARE(failing.successes(), QStringList());
        QCOMPARE(failing.errors().size(), 1);
        QVERIFY2(failing.errors().first().contains(QStringLiteral("calls: No space left on device")),
                 qPrintable(failing.errors().first()));
    }

    void noCallsWritesTheHeaderOnly()
    {
        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("calls.txt"));
        RecordingProgress p;
        ExportViberCallsThread job({}, out, p);
        job.run();
        QCOMPARE(p.successes(), QStringList{QStringLiteral("Successfully extracted 0 calls.")});
        QCOMPARE(g_readLines(out).size(), 1);
    }

    void callFailureIsPrefixedAndLeavesNoFile()
    {
        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("missing/calls.txt"));
        RecordingProgress p;
        ExportViberCallsThread job({}, out, p);
        job.run();
        QCOMPARE(p.errors().size(), 1);
        QVERIFY(p.errors().first().startsWith(QStringLiteral("Cannot export the calls: ")));
        QVERIFY(!QFileInfo::exists(out));

        // A file that was there before a failed export stays as it was.
        const QString kept = dir.filePath(QStringLiteral("calls.txt"));
        QVERIFY(g_writeFile(kept, "the user's own data"));
        RecordingProgress full;
        ExportViberCallsThread again({}, kept, full);
        g_failNthWriteForTest(1);
        again.run();
        g_failNthWriteForTest(0);
        QCOMPARE(full.errors().size(), 1);
        QVERIFY2(full.errors().first().contains(QLatin1String("No space left on device")), qPrintable(full.errors().first()));
        QCOMPARE(g_readFile(kept), QByteArray("the user's own data"));
    }

    void mediaNamesTimesAndFallbacks()
    {
        QTemporaryDir media, out;
        ExportTestData t;
        t.fill(media.path());
        // Two photos in the same second, one with only its preview fetched.
        ExportTestData::writeImage(media.filePath(QStringLiteral("b.png")));
        _ViberMsg* p1 = t.msg(t.single, MSG_TYPE_IMAGE, ExportTestData::kDay + 120.4, QString(), MSG_STATE_SENT);
        t.atta(p1, media.filePath(QStringLiteral("never-fetched.jpg")), media.filePath(QStringLiteral("b.png")));
        _ViberMsg* sticker = t.msg(t.single, MSG_TYPE_STICKER, ExportTestData::kDay + 7, QString(), MSG_STATE_SENT);
        t.atta(sticker, QString(), media.filePath(QStringLiteral("missing-sticker.png")));

        const QDir target(out.filePath(QStringLiteral("attachments(x)")));
        RecordingProgress p;
        ExtractMediaFilesThread job(t.data.messages(), target, p);
        job.run();
        QCOMPARE(p.successes(), QStringList{QStringLiteral("Successfully extracted attachments to %1.")
                                                .arg(target.absolutePath())});
        QStringList names = target.entryList(QDir::Files, QDir::Name);
        QCOMPARE(names, (QStringList{QStringLiteral("atta_20240115-100200.jpg"), QStringLiteral("atta_20240115-100200.png"),
                                     QStringLiteral("atta_20240115-100300.viber_voice")}));
        const QFileInfo voice(target.filePath(QStringLiteral("atta_20240115-100300.viber_voice")));
        QCOMPARE(voice.lastModified().toSecsSinceEpoch(), qint64(ExportTestData::kDay + 180) + kCoreDataEpochUnix);

        // Running again into the same folder never overwrites.
        RecordingProgress again;
        ExtractMediaFilesThread job2(t.data.messages(), target, again);
        job2.run();
        QVERIFY(target.exists(QStringLiteral("atta_20240115-100200(1).jpg")));
        QCOMPARE(target.entryList(QDir::Files).size(), 6);
    }

    void emptySelectionStillSucceedsAndCancelKeepsCopies()
    {
        QTemporaryDir media, out;
        const QDir empty(out.filePath(QStringLiteral("empty")));
        RecordingProgress p;
        ExtractMediaFilesThread none({}, empty, p);
        none.run();
        QVERIFY(empty.exists());
        QCOMPARE(p.successes().size(), 1);

        ExportTestData t;
        t.fill(media.path());
        QList<_ViberMsg*> msgs = t.single->msgs; // text, text, photo, voice, call, call
        std::sort(msgs.begin(), msgs.end(), compareViberMsgAsc);
        const QDir partial(out.filePath(QStringLiteral("partial")));
        RecordingProgress c;
        c.cancelAfterUpdates(5); // the status line, then messages 1-4: closes while the voice message is handled
        ExtractMediaFilesThread job(msgs, partial, c);
        job.run();
        QVERIFY(c.successes().isEmpty() && c.errors().isEmpty());
        QCOMPARE(partial.entryList(QDir::Files).size(), 2); // the photo and the voice message stay
    }

    void aFullDiskFailsAndRemovesTheCopies()
    {
        QTemporaryDir media, out;
        ExportTestData t;
        t.fill(media.path());
        const QDir target(out.filePath(QStringLiteral("attachments(x)")));
        RecordingProgress p;
        ExtractMediaFilesThread job(t.data.messages(), target, p);
        g_failNthWriteForTest(2); // the photo is copied, the voice message finds the disk full
        job.run();
        g_failNthWriteForTest(0);
        QCOMPARE(p.successes(), QStringList());
        QCOMPARE(p.errors().size(), 1);
        QVERIFY2(p.errors().first().contains(QLatin1String("No space left on device")), qPrintable(p.errors().first()));
        QVERIFY(!target.exists()); // the job made the folder, so it goes with the photo
    }

    void anUnreadableFileIsCountedAndTheRestCopied()
    {
        const QString unreadable = ExportTestData::unreadableFile();
        if (unreadable.isEmpty())
            QSKIP("no unreadable regular file here");
        QTemporaryDir media, out;
        ExportTestData t;
        t.fill(media.path());
        _ViberMsg* m = t.msg(t.single, MSG_TYPE_VIDEO, ExportTestData::kDay + 900, QString(), MSG_STATE_SENT);
        t.atta(m, unreadable, QString());
        const QDir target(out.filePath(QStringLiteral("attachments(x)")));
        RecordingProgress p;
        ExtractMediaFilesThread job(t.data.messages(), target, p);
        job.run();
        QCOMPARE(p.errors(), QStringList());
        QCOMPARE(p.successes(), QStringList{QStringLiteral("Successfully extracted attachments to %1.\n1 attachment file "
                                                           "could not be read and was not copied; the log names it.")
                                                .arg(target.absolutePath())});
        QCOMPARE(target.entryList(QDir::Files).size(), 2);
    }

    void uncreatableFolderIsAnError()
    {
        QTemporaryDir dir;
        QVERIFY(g_writeFile(dir.filePath(QStringLiteral("file")), "x"));
        RecordingProgress p;
        ExtractMediaFilesThread job({}, QDir(dir.filePath(QStringLiteral("file/sub"))), p);
        job.run();
        QVERIFY(p.successes().isEmpty());
        QCOMPARE(p.errors().size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestCallsAndMedia)
#include "test_calls_and_media.moc"
