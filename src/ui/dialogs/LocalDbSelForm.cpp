#include "ui/dialogs/LocalDbSelForm.h"

#include "shell/LocalDbNames.h"
#include "shell/UserTexts.h"
#include "ui/ExecDialog.h"
#include "ui/StyleSheet.h"
#include "ui/Tips.h"
#include "ui/WinMovable.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

LocalDbSelForm::LocalDbSelForm(const QStringList& names, const QString& defaultName, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), m_names(names)
{
    setObjectName(QStringLiteral("LocalDbSelForm"));
    new WinMovable(this);
    setFixedSize(423, 156);
    setWindowTitle(ids("IDS_SELECT_LOCALDB_TITLE"));

    m_label = new QLabel(ids("IDS_SELECT_LOCALDB_OR_NAME_NEW"), this);
    m_label->setObjectName(QStringLiteral("lbPrompt"));
    m_label->setGeometry(10, 20, 401, 16);

    m_cbLocalDbNames = new QComboBox(this);
    m_cbLocalDbNames->setObjectName(QStringLiteral("cbLocalDbNames"));
    m_cbLocalDbNames->setGeometry(10, 40, 401, 22);
    m_cbLocalDbNames->setEditable(true);
    // A typed name must not be added to the list or changed by completion.
    m_cbLocalDbNames->setInsertPolicy(QComboBox::NoInsert);
    m_cbLocalDbNames->setToolTip(ids("IDS_SELECT_LOCALDB_TIP"));

    auto* layoutWidget = new QWidget(this);
    layoutWidget->setObjectName(QStringLiteral("buttonRow"));
    layoutWidget->setGeometry(100, 120, 211, 25);
    auto* row = new QHBoxLayout(layoutWidget);
    row->setSpacing(6);
    row->setContentsMargins(0, 0, 0, 0);
    m_btnOK = new QPushButton(ids("IDS_CONFIRM"), layoutWidget);
    m_btnOK->setObjectName(QStringLiteral("btnOK"));
    m_btnClose = new QPushButton(ids("IDS_CANCEL"), layoutWidget);
    m_btnClose->setObjectName(QStringLiteral("btnClose"));
    row->addWidget(m_btnOK);
    row->addSpacerItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    row->addWidget(m_btnClose);

    setStyleSheet(getStyleSheet());
    connect(m_btnOK, &QPushButton::pressed, this, &LocalDbSelForm::onBtnOkPress);
    connect(m_btnClose, &QPushButton::pressed, this, &QDialog::reject);

    m_cbLocalDbNames->addItem(QString());
    m_cbLocalDbNames->addItems(names);
    m_cbLocalDbNames->setCurrentIndex(-1);
    if (!defaultName.isEmpty())
        m_cbLocalDbNames->setEditText(defaultName);
}

void LocalDbSelForm::onBtnOkPress()
{
    m_dbName = m_cbLocalDbNames->currentText();
    const LocalDbNameCheck check = g_checkLocalDbName(m_dbName);
    if (check != LOCALDB_NAME_OK) {
        Tips::warning(g_localDbNameCheckText(check));
        return;
    }
    // "Base" while "base" and "BASE" both exist: merging into either would
    // be a guess.
    const QStringList ambiguous = g_localDbCaseAmbiguity(m_names, m_dbName);
    if (!ambiguous.isEmpty()) {
        Tips::warning(ids("IDS_LOCALDB_NAME_AMBIGUOUS_%1").arg(ambiguous.join(QStringLiteral(", "))));
        return;
    }
    accept();
}

QString LocalDbSelForm::execGetDbName()
{
    if (g_execDialog(*this) == QDialog::Accepted && !m_dbName.isEmpty())
        return m_dbName;
    return QString();
}
