#include "shell/JobProgress.h"
#include "support/TestEnv.h"
#include "ui/ProgressForm.h"
#include "ui/ScriptedAnswers.h"
#include "ui/Tips.h"

#include <QPushButton>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <functional>

namespace {
// A job whose work is a function, run through the shared job protocol.
class ScriptJob : public QThread
{
public:
    ScriptJob(JobProgress& progress, std::function<QString(JobProgress&)> body)
        : m_progress(progress), m_body(std::move(body))
    {
    }
    void run() override
    {
        runJobProtocol(m_progress, [this] { return m_body(m_progress); });
    }

private:
    JobProgress& m_progress;
    std::function<QString(JobProgress&)> m_body;
};

// Runs check once the dialog's own event loop is up.
void whileShown(ProgressForm& form, std::function<void()> check)
{
    QTimer::singleShot(0, &form, std::move(check));
}

QPushButton* cancelButton(ProgressForm& form)
{
    return form.findChild<QPushButton*>(QStringLiteral("btnCancel"));
}
} // namespace

class TestProgressForm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { g_requireTestEnvironment(); }

    void init()
    {
        ScriptedAnswers::reset();
        // A box nobody expected must not hang the run; it is still recorded.
        ScriptedAnswers::setStandingAnswer(QMessageBox::Ok);
    }

    void updatesKeepWhatTheyDoNotName()
    {
        ProgressForm form(QStringLiteral("Starting"));
        QCOMPARE(form.statusText(), QStringLiteral("Starting"));
        form.updateProgress(QStringLiteral("Copying"), 40, QStringLiteral("Files: 4/10"));
        QCOMPARE(form.statusText(), QStringLiteral("Copying"));
        QCOMPARE(form.progressValue(), 40);
        QCOMPARE(form.progressText(), QStringLiteral("Files: 4/10"));
        form.updateProgress(QString(), -1, QString());
        QCOMPARE(form.statusText(), QStringLiteral("Copying"));
        QCOMPARE(form.progressValue(), 40);
        QCOMPARE(form.progressText(), QStringLiteral("Progress:40%"));
        QVERIFY(form.windowFlags().testFlag(Qt::FramelessWindowHint));
    }

    void progressThenSuccessFromAWorkerThread()
    {
        ProgressForm form{QString()};
        QSemaphore reported, goOn;
        ScriptJob job(form, [&](JobProgress& p) {
            p.invokeUpdateProgress(QStringLiteral("Exporting"), 30, QString());
            reported.release();
            goOn.acquire();
            return QStringLiteral("Exported 3 messages.");
        });
        QString seenStatus, seenDetail;
        int seenValue = -1;
        bool reached = false;
        whileShown(form, [&] {
            reached = QTest::qWaitFor([&] { return form.progressValue() == 30; }, 10000);
            seenStatus = form.statusText();
            seenDetail = form.progressText();
            seenValue = form.progressValue();
            goOn.release();
        });
        QCOMPARE(g_execJob(job, form), 1);
        QVERIFY(reached);
        QVERIFY(job.isFinished());
        QCOMPARE(seenStatus, QStringLiteral("Exporting"));
        QCOMPARE(seenDetail, QStringLiteral("Progress:30%"));
        QCOMPARE(seenValue, 30);
        QVERIFY(!form.closed());
        const auto boxes = ScriptedAnswers::shownBoxes();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].icon, QMessageBox::Information);
        QCOMPARE(boxes[0].text, QStringLiteral("Exported 3 messages."));
    }

    void successWithoutTextShowsNoBox()
    {
        ProgressForm form{QString()};
        ScriptJob job(form, [](JobProgress&) { return QString(); });
        QCOMPARE(g_execJob(job, form), 1);
        QVERIFY(!form.closed());
        QVERIFY(ScriptedAnswers::shownBoxes().isEmpty());
    }

    void failureShowsTheErrorBoxAndClosesTheJob()
    {
        ProgressForm form{QString()};
        ScriptJob job(form, [](JobProgress& p) -> QString {
            p.invokeUpdateProgress(QStringLiteral("Saving"), 10, QString());
            throw std::runtime_error("disk full <sda1>");
        });
        QCOMPARE(g_execJob(job, form), 0);
        QVERIFY(form.closed());
        const auto boxes = ScriptedAnswers::shownBoxes();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].icon, QMessageBox::Critical);
        QCOMPARE(boxes[0].text, Tips::errorText(QStringLiteral("disk full <sda1>")));
    }

    // Cancel closes the dialog at once; the job stops before its next unit
    // and says nothing more. A job that still reports after noticing (late
    // calls already queued) neither reopens the dialog nor shows a box.
    void cancelStopsTheJobSilently()
    {
        ProgressForm form{QString()};
        QSignalSpy cancelled(&form, &ProgressForm::userCancelled);
        std::atomic_int units{0};
        ScriptJob job(form, [&](JobProgress& p) {
            for (int i = 0; i < 100000; ++i) {
                if (p.closed()) {
                    p.invokeUpdateProgress(QStringLiteral("late"), 99, QString());
                    p.invokeSucceed(QStringLiteral("late success"));
                    p.throwIfClosed();
                }
                ++units;
                p.invokeUpdateProgress(QString(), JobProgress::percent(i, 100000), QString());
                QThread::msleep(1);
            }
            return QStringLiteral("finished every unit");
        });
        bool reached = false;
        whileShown(form, [&] {
            reached = QTest::qWaitFor([&] { return units.load() >= 3; }, 10000);
            QTest::mouseClick(cancelButton(form), Qt::LeftButton);
        });
        QCOMPARE(g_execJob(job, form), 0);
        QVERIFY(reached);
        QVERIFY(form.closed());
        QCOMPARE(cancelled.count(), 1);
        QVERIFY(units.load() < 100000);
        QCoreApplication::processEvents();
        QVERIFY(form.isHidden());
        QVERIFY(ScriptedAnswers::shownBoxes().isEmpty());
    }

    // A transfer blocked waiting for data learns of Cancel through its cancel
    // subscription, not by polling between units.
    void cancelReachesABlockedTransfer()
    {
        ProgressForm form{QString()};
        QSemaphore data; // never released by anyone but the cancel handler
        std::atomic_bool woken{false};
        std::atomic_bool timedOut{false};
        ScriptJob job(form, [&](JobProgress& p) {
            CancelSubscription sub(p, [&] {
                woken = true;
                data.release();
            });
            p.invokeUpdateProgress(QStringLiteral("Waiting for the device"), 5, QString());
            if (!data.tryAcquire(1, 20000))
                timedOut = true;
            p.throwIfClosed();
            return QStringLiteral("transfer done");
        });
        bool reached = false;
        whileShown(form, [&] {
            reached = QTest::qWaitFor([&] { return form.progressValue() == 5; }, 10000);
            QTest::mouseClick(cancelButton(form), Qt::LeftButton);
        });
        QCOMPARE(g_execJob(job, form), 0);
        QVERIFY(reached);
        QVERIFY(woken.load());
        QVERIFY(!timedOut.load());
        QVERIFY(ScriptedAnswers::shownBoxes().isEmpty());
    }

    void escapeCancelsOnlyWhenCancelIsOffered()
    {
        for (bool cancelable : {false, true}) {
            ProgressForm form{QString()};
            form.setCancelable(cancelable);
            QSemaphore goOn;
            ScriptJob job(form, [&](JobProgress& p) {
                goOn.acquire();
                return p.closed() ? QStringLiteral("noticed") : QString();
            });
            whileShown(form, [&] {
                QTest::keyClick(&form, Qt::Key_Escape);
                goOn.release();
            });
            QCOMPARE(g_execJob(job, form), cancelable ? 0 : 1);
            QCOMPARE(form.closed(), cancelable);
        }
    }

    // A job that needs the user to act first waits until the box is gone.
    void tipsWaitHoldsTheJobUntilAcknowledged()
    {
        ProgressForm form{QString()};
        // The box may be shown and answered before the job looks again, so
        // the job records what it finds once it goes on: the box must have
        // been shown by then.
        std::atomic_int boxesWhenGoingOn{-1};
        ScriptJob job(form, [&](JobProgress& p) {
            p.invokeTipsWait(QStringLiteral("Close Viber on the phone first."));
            p.waitTipsAcknowledged();
            boxesWhenGoingOn = int(ScriptedAnswers::shownBoxes().size());
            p.throwIfClosed();
            return QStringLiteral("went on");
        });
        QCOMPARE(g_execJob(job, form), 1);
        QCOMPARE(boxesWhenGoingOn.load(), 1);
        QVERIFY(!form.waiting());
        const auto boxes = ScriptedAnswers::shownBoxes();
        QCOMPARE(boxes.size(), 2);
        QCOMPARE(boxes[0].text, QStringLiteral("Close Viber on the phone first."));
        QCOMPARE(boxes[1].text, QStringLiteral("went on"));
    }
};

QTEST_MAIN(TestProgressForm)
#include "test_progress_form.moc"
