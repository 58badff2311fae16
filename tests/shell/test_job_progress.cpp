#include "shell/JobProgress.h"
#include "support/RecordingProgress.h"

#include <QTest>

#include <atomic>
#include <stdexcept>
#include <thread>

class TestJobProgress : public QObject
{
    Q_OBJECT

private slots:
    void protocolReportsSuccess()
    {
        RecordingProgress p;
        runJobProtocol(p, [&] {
            p.invokeUpdateProgress(QStringLiteral("Working"), 50, QString());
            return QStringLiteral("Done 3.");
        });
        QCOMPARE(p.successes(), QStringList{QStringLiteral("Done 3.")});
        QVERIFY(p.errors().isEmpty());
        QCOMPARE(p.updates().size(), 1);
    }

    void protocolSwallowsCancellation()
    {
        RecordingProgress p;
        p.cancelAfterUpdates(3);
        int units = 0;
        runJobProtocol(p, [&] {
            for (int i = 0; i < 100; ++i) {
                p.throwIfClosed();
                ++units;
                p.invokeUpdateProgress(QString(), i, QString());
            }
            return QStringLiteral("never");
        });
        QCOMPARE(units, 3);
        QVERIFY(p.successes().isEmpty());
        QVERIFY(p.errors().isEmpty());
        QVERIFY(p.closed());
    }

    void protocolReportsFailuresWithPrefix()
    {
        RecordingProgress p;
        runJobProtocol(
            p, []() -> QString { throw std::runtime_error("disk I/O error"); },
            QStringLiteral("ExportMessagesThread, "));
        QCOMPARE(p.errors(), QStringList{QStringLiteral("ExportMessagesThread, disk I/O error")});

        // Anything else thrown is no cancellation: it must not vanish silently.
        RecordingProgress q;
        runJobProtocol(q, []() -> QString { throw 7; });
        QCOMPARE(q.errors().size(), 1);
    }

    void cancelHandlersRunOnceAndUnsubscribe()
    {
        RecordingProgress p;
        std::atomic_int calls{0};
        {
            CancelSubscription sub(p, [&] { ++calls; });
            p.setClosed(true);
            p.setClosed(true); // already closed: no second notification
            QCOMPARE(calls.load(), 1);
            p.setClosed(false);
        }
        p.setClosed(true);
        QCOMPARE(calls.load(), 1);
    }

    void cancelFromAnotherThreadReachesTheJob()
    {
        RecordingProgress p;
        std::atomic_bool started{false};
        std::thread canceller([&] {
            while (!started)
                std::this_thread::yield();
            p.setClosed(true);
        });
        int units = 0;
        runJobProtocol(p, [&] {
            for (;;) {
                p.throwIfClosed();
                ++units;
                started = true;
            }
            return QString();
        });
        canceller.join();
        QVERIFY(units > 0);
        QVERIFY(p.successes().isEmpty() && p.errors().isEmpty());
    }

    void tipsWaitEndsWhenClosed()
    {
        RecordingProgress p;
        p.setWaiting(true);
        std::thread closer([&] { p.setClosed(true); });
        p.waitTipsAcknowledged(); // returns once closed, though never acknowledged
        closer.join();
        QVERIFY(p.waiting());
    }

    void percent()
    {
        QCOMPARE(JobProgress::percent(1, 3), 33);
        QCOMPARE(JobProgress::percent(2, 3), 66);
        QCOMPARE(JobProgress::percent(3, 3), 100);
        QCOMPARE(JobProgress::percent(5, 0), 0);
        QCOMPARE(JobProgress::percent(999999999999LL, 1000000000000LL), 99);
    }
};

QTEST_APPLESS_MAIN(TestJobProgress)
#include "test_job_progress.moc"
