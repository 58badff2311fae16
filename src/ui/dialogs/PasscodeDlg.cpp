#include "ui/dialogs/PasscodeDlg.h"

#include "itunes/BackupManifest.h"
#include "shell/UserTexts.h"
#include "ui/ExecDialog.h"
#include "ui/ProgressForm.h"
#include "ui/StyleSheet.h"
#include "ui/Tips.h"
#include "ui/WinMovable.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>


PasscodeDlg::PasscodeDlg(BackupManifest* manifest, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), m_manifest(manifest)
{
    setObjectName(QStringLiteral("PasscodeDlg"));
    new WinMovable(this);
    resize(338, 147);
    setWindowTitle(ids("IDS_PLEASE_ENTER_PASSWORD_TO_LOAD_BACKUP"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 15, 12, 12);

    auto* lbTitle = new QLabel(ids("IDS_PLEASE_ENTER_PASSWORD_TO_LOAD_BACKUP"), this);
    lbTitle->setObjectName(QStringLiteral("lbTitle2"));
    lbTitle->setWordWrap(true);

    m_txtPasscode = new QLineEdit(this);
    m_txtPasscode->setObjectName(QStringLiteral("txtPasscode"));
    m_txtPasscode->setEchoMode(QLineEdit::Password);
    m_txtPasscode->setPlaceholderText(ids("IDS_ENTER_PASSWORD"));

    auto* row = new QWidget(this);
    row->setObjectName(QStringLiteral("buttonRow"));
    auto* rowLayout = new QHBoxLayout(row);
    rowLayout->setContentsMargins(0, 0, 0, 0);
    auto* btnOK = new QPushButton(ids("IDS_OK"), row);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    auto* btnCancel = new QPushButton(ids("IDS_CANCEL"), row);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setAutoDefault(false);
    rowLayout->addStretch(1);
    rowLayout->addWidget(btnOK);
    rowLayout->addWidget(btnCancel);

    layout->addWidget(lbTitle);
    layout->addWidget(m_txtPasscode);
    layout->addStretch(1);
    layout->addWidget(row);

    setStyleSheet(getStyleSheet());
    connect(btnOK, &QPushButton::clicked, this, &PasscodeDlg::btnOKPressed);
    connect(btnCancel, &QPushButton::pressed, this, &QDialog::reject);
}

namespace {
// Unlocking a current backup derives its key over ten million rounds: it runs
// as a job under the progress dialog, so the window stays alive and the user
// can cancel.
class UnlockJob : public QThread
{
public:
    UnlockJob(BackupManifest& manifest, const QByteArray& password, JobProgress& progress)
        : m_manifest(manifest), m_password(password), m_progress(progress)
    {
    }
    void run() override
    {
        runJobProtocol(m_progress, [this] {
            m_unlocked = m_manifest.setPasscode(m_password, &m_progress);
            return QString();
        });
    }
    bool unlocked() const { return m_unlocked; }

private:
    BackupManifest& m_manifest;
    QByteArray m_password;
    JobProgress& m_progress;
    bool m_unlocked = false;
};
} // namespace

void PasscodeDlg::btnOKPressed()
{
    const QString text = m_txtPasscode->text();
    if (text.isEmpty()) {
        Tips::warning(ids("IDS_PWD_IS_NULL"));
        return;
    }
    ProgressForm form(QString(), this);
    UnlockJob job(*m_manifest, text.toUtf8(), form);
    const bool finished = g_execJob(job, form) == 1 && !form.closed();
    if (finished && job.unlocked()) {
        accept();
        return;
    }
    // A wrong password, a failure (reported by the progress dialog) or a
    // cancel: the user types again.
    m_txtPasscode->clear();
    m_txtPasscode->setFocus();
    if (finished)
        Tips::warning(ids("IDS_INVALID_PASSWORD"));
}

bool PasscodeDlg::execUnlock()
{
    return g_execDialog(*this) == QDialog::Accepted;
}
