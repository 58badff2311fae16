#include "ui/dialogs/PasscodeDlg.h"

#include "itunes/BackupManifest.h"
#include "shell/UserTexts.h"
#include "ui/ExecDialog.h"
#include "ui/StyleSheet.h"
#include "ui/Tips.h"
#include "ui/WinMovable.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <exception>

PasscodeDlg::PasscodeDlg(BackupManifest* manifest, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), m_manifest(manifest)
{
    setObjectName(QStringLiteral("PasscodeDlg"));
    new WinMovable(this);
    resize(338, 147);
    setWindowTitle(ids("IDS_PLEASE_ENTER_PASSWORD_TO_LOAD_BACKUP"));

    auto* layout = new QVBoxLayout(this);
    layout->setObjectName(QStringLiteral("verticalLayout"));
    layout->setContentsMargins(12, 15, 12, 12);

    auto* lbTitle = new QLabel(ids("IDS_PLEASE_ENTER_PASSWORD_TO_LOAD_BACKUP"), this);
    lbTitle->setObjectName(QStringLiteral("lbTitle2"));
    lbTitle->setWordWrap(true);

    m_txtPasscode = new QLineEdit(this);
    m_txtPasscode->setObjectName(QStringLiteral("txtPasscode"));
    m_txtPasscode->setEchoMode(QLineEdit::Password);
    m_txtPasscode->setPlaceholderText(ids("IDS_ENTER_PASSWORD"));

    auto* row = new QWidget(this);
    row->setObjectName(QStringLiteral("widget"));
    auto* rowLayout = new QHBoxLayout(row);
    rowLayout->setObjectName(QStringLiteral("horizontalLayout"));
    rowLayout->setContentsMargins(0, 0, 0, 0);
    auto* btnOK = new QPushButton(tr("OK"), row);
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

void PasscodeDlg::btnOKPressed()
{
    const QString text = m_txtPasscode->text();
    if (text.isEmpty()) {
        Tips::warning(ids("IDS_PWD_IS_NULL"));
        return;
    }
    bool unlocked = false;
    QString failure;
    {
        // Deriving the key of a current backup takes seconds.
        QApplication::setOverrideCursor(Qt::WaitCursor);
        try {
            unlocked = m_manifest->setPasscode(text.toUtf8());
        } catch (const std::exception& e) {
            failure = QString::fromUtf8(e.what());
        }
        QApplication::restoreOverrideCursor();
    }
    if (!failure.isEmpty()) {
        m_txtPasscode->clear();
        Tips::error(failure);
        return;
    }
    if (!unlocked) {
        m_txtPasscode->clear();
        Tips::warning(ids("IDS_INVALID_PASSWORD"));
        m_txtPasscode->setFocus();
        return;
    }
    accept();
}

bool PasscodeDlg::execUnlock()
{
    return g_execDialog(*this) == QDialog::Accepted;
}
