#include "ui/dialogs/DataSourceSelForm.h"

#include "shell/UserTexts.h"
#include "ui/ExecDialog.h"
#include "ui/StyleSheet.h"
#include "ui/Tips.h"
#include "ui/WinMovable.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

DataSourceSelForm::DataSourceSelForm(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("DataSourceSelForm"));
    new WinMovable(this);
    resize(423, 260);

    m_lbPrompt = new QLabel(this);
    m_lbPrompt->setObjectName(QStringLiteral("lbPrompt"));
    m_lbPrompt->setWordWrap(true);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("listSources"));
    m_list->setColumnCount(2);
    m_list->setHeaderHidden(true);
    m_list->setRootIsDecorated(false);
    m_list->setIndentation(0);
    m_list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_list->header()->setStretchLastSection(false);

    auto* btnOK = new QPushButton(ids("IDS_OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    auto* btnCancel = new QPushButton(ids("IDS_CANCEL"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(15, 15, 15, 15);
    layout->setSpacing(10);
    layout->addWidget(m_lbPrompt);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);

    setStyleSheet(getStyleSheet());
    connect(btnOK, &QPushButton::pressed, this, &DataSourceSelForm::onBtnOkPress);
    connect(btnCancel, &QPushButton::pressed, this, &QDialog::reject);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &DataSourceSelForm::onBtnOkPress);
}

int DataSourceSelForm::execSel(const QString& prompt, const QList<Entry>& entries)
{
    setWindowTitle(prompt);
    m_lbPrompt->setText(prompt);
    m_list->clear();
    for (const Entry& e : entries)
        m_list->addTopLevelItem(new QTreeWidgetItem(QStringList{e.first, e.second}));
    m_list->resizeColumnToContents(1);
    setCurrentEntry(entries.isEmpty() ? -1 : 0);
    m_chosen = -1;
    if (g_execDialog(*this) != QDialog::Accepted)
        return -1;
    return m_chosen;
}

int DataSourceSelForm::currentEntry() const
{
    return m_list->currentItem() ? m_list->indexOfTopLevelItem(m_list->currentItem()) : -1;
}

void DataSourceSelForm::setCurrentEntry(int index)
{
    m_list->setCurrentItem(m_list->topLevelItem(index));
}

void DataSourceSelForm::onBtnOkPress()
{
    const int index = currentEntry();
    if (index < 0) {
        Tips::warning(ids("IDS_PLEASE_SELECT_ONE_SOURCE"));
        return;
    }
    m_chosen = index;
    accept();
}
