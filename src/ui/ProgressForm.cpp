#include "ui/ProgressForm.h"

#include "shell/UserTexts.h"
#include "ui/ScriptedAnswers.h"
#include "ui/StyleSheet.h"
#include "ui/Tips.h"
#include "ui/WinMovable.h"

#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>

ProgressForm::ProgressForm(const QString& title, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("ProgressForm"));
    setFixedSize(350, 122);
    setModal(true);

    m_lbStatus = new QLabel(this);
    m_lbStatus->setObjectName(QStringLiteral("lbStatus"));
    m_lbStatus->setGeometry(20, 20, 311, 16);

    m_progressBar = new QProgressBar(this);
    m_progressBar->setObjectName(QStringLiteral("progressBar"));
    m_progressBar->setGeometry(20, 40, 321, 23);
    m_progressBar->setRange(0, 100);
    m_progressBar->setValue(0);
    m_progressBar->setTextVisible(false);

    m_lbProgress = new QLabel(this);
    m_lbProgress->setObjectName(QStringLiteral("lbProgress"));
    m_lbProgress->setGeometry(25, 70, 281, 20);
    m_lbProgress->setAlignment(Qt::AlignCenter);

    m_btnCancel = new QPushButton(ids("IDS_CANCEL"), this);
    m_btnCancel->setObjectName(QStringLiteral("btnCancel"));
    m_btnCancel->setGeometry(130, 90, 75, 23);
    m_btnCancel->setAutoDefault(false);

    new WinMovable(this);
    setStyleSheet(getStyleSheet());
    setWindowTitle(title);
    m_lbStatus->setText(title);

    connect(this, &QDialog::finished, this, &ProgressForm::onFinish);
    connect(m_btnCancel, &QPushButton::pressed, this, &ProgressForm::cancel);
}

void ProgressForm::invokeUpdateProgress(const QString& status, int curProgress, const QString& progressText)
{
    QMetaObject::invokeMethod(this, "updateProgress", Qt::QueuedConnection, Q_ARG(QString, status),
                              Q_ARG(int, curProgress), Q_ARG(QString, progressText));
}

void ProgressForm::invokeSucceed(const QString& tipsStr)
{
    QMetaObject::invokeMethod(this, "succeed", Qt::QueuedConnection, Q_ARG(QString, tipsStr));
}

void ProgressForm::invokeErrorOccurred(const QString& err)
{
    QMetaObject::invokeMethod(this, "errorOccurred", Qt::QueuedConnection, Q_ARG(QString, err));
}

void ProgressForm::invokeTipsWait(const QString& info)
{
    setWaiting(true);
    QMetaObject::invokeMethod(this, "tipsWait", Qt::QueuedConnection, Q_ARG(QString, info));
}

void ProgressForm::setCancelable(bool cancelable)
{
    m_btnCancel->setEnabled(cancelable);
}

QString ProgressForm::statusText() const
{
    return m_lbStatus->text();
}

QString ProgressForm::progressText() const
{
    return m_lbProgress->text();
}

int ProgressForm::progressValue() const
{
    return m_progressBar->value();
}

void ProgressForm::updateProgress(QString status, int curProgress, QString progressText)
{
    if (!status.isEmpty())
        m_lbStatus->setText(status);
    if (curProgress >= 0)
        m_progressBar->setValue(qMin(curProgress, 100));
    if (progressText.isEmpty())
        progressText = ids("IDS_PROGRESS_PERCENT").arg(m_progressBar->value());
    m_lbProgress->setText(progressText);
}

void ProgressForm::errorOccurred(QString err)
{
    // A job that fails after the user cancelled is not news to anyone.
    if (m_finished)
        return;
    Tips::error(err);
    done(0);
}

void ProgressForm::succeed(QString tipsStr)
{
    if (m_finished)
        return;
    m_progressBar->setValue(100);
    if (!tipsStr.isEmpty())
        Tips::info(tipsStr);
    done(1);
}

void ProgressForm::onFinish(int result)
{
    m_finished = true;
    // Setting the flag also runs the job's cancel handlers, which interrupt a
    // transfer that is blocked waiting for data.
    setClosed(result == 0);
}

void ProgressForm::tipsWait(QString info)
{
    Tips::info(info);
    setWaiting(false);
}

void ProgressForm::cancel()
{
    if (m_finished)
        return;
    emit userCancelled();
    done(0);
}

void ProgressForm::reject()
{
    if (m_btnCancel->isEnabled())
        cancel();
}

int g_execJob(QThread& job, ProgressForm& form)
{
    // A scripted answer (tests) acts before the job starts, so a scripted
    // cancel is seen by the job's first step instead of racing its end. A
    // script that leaves the dialog open hands it on to the job as usual.
    bool rejectUnscripted = false;
    const ScriptedAnswers::DialogScript script = ScriptedAnswers::takeDialogScript(form, rejectUnscripted);
    const int scripted = script ? script(form) : 0;
    job.start(QThread::InheritPriority);
    const int result = form.closed() ? scripted : form.exec();
    job.wait();
    return result;
}
