#pragma once

#include "shell/JobProgress.h"

#include <QDialog>
#include <QString>

class QLabel;
class QProgressBar;
class QPushButton;
class QThread;

// The modal dialog a job runs under: a status line, a bar, a detail line and
// Cancel. Jobs talk to it only through the JobProgress calls, which queue the
// slot of the same name onto the GUI thread; they learn of cancellation from
// closed(), which is set when the dialog finishes without success.
class ProgressForm : public QDialog, public JobProgress
{
    Q_OBJECT
public:
    explicit ProgressForm(const QString& title, QWidget* parent = nullptr);

    void invokeUpdateProgress(const QString& status, int curProgress, const QString& progressText) override;
    void invokeSucceed(const QString& tipsStr) override;
    void invokeErrorOccurred(const QString& err) override;
    void invokeTipsWait(const QString& info) override;

    void setCancelable(bool cancelable);

    QString statusText() const;
    QString progressText() const;
    int progressValue() const;

    // Escape (or a window close) cancels only when Cancel is enabled.
    void reject() override;

signals:
    void userCancelled();

public slots:
    void updateProgress(QString status, int curProgress, QString progressText);
    void errorOccurred(QString err);
    void succeed(QString tipsStr);
    void onFinish(int result);
    void tipsWait(QString info);
    void cancel();

private:
    QProgressBar* m_progressBar;
    QLabel* m_lbProgress;
    QPushButton* m_btnCancel;
    QLabel* m_lbStatus;
    bool m_finished = false;
};

// Runs a job under the form: starts the thread, shows the form modally until
// the job succeeds or fails or the user cancels, then waits for the thread to
// end, so the form outlives every call the job makes. Returns the dialog's
// result (1 success, 0 failure or cancel).
int g_execJob(QThread& job, ProgressForm& form);
