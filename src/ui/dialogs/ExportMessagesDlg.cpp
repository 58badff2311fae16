#include "ui/dialogs/ExportMessagesDlg.h"

#include "export/ExportMessagesThread.h"
#include "export/HtmlChatPages.h"
#include "shell/UserTexts.h"
#include "ui/ExecDialog.h"
#include "ui/FileDialogs.h"
#include "ui/StyleSheet.h"
#include "ui/Tips.h"
#include "ui/UiSettings.h"
#include "ui/WinMovable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
constexpr int kMaxPageSize = 1000000;

QPushButton* button(const QString& text, const char* name, QWidget* parent)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}
} // namespace

ExportMessagesDlg::ExportMessagesDlg(const QString& proposedPath, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("ExportMessagesDlg"));
    new WinMovable(this);
    setWindowTitle(ids("IDS_SEL_EXPORT_MESSAGES_PATH"));
    setMinimumWidth(640);

    auto* lbTitle = new QLabel(ids("IDS_SEL_EXPORT_MESSAGES_PATH"), this);
    lbTitle->setObjectName(QStringLiteral("lbTitle"));

    m_txtPath = new QLineEdit(proposedPath, this);
    m_txtPath->setObjectName(QStringLiteral("txtPath"));
    QPushButton* btnBrowse = button(ids("IDS_BROWSE"), "btnBrowse", this);
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(m_txtPath, 1);
    pathRow->addWidget(btnBrowse);

    m_cbFormat = new QComboBox(this);
    m_cbFormat->setObjectName(QStringLiteral("cbFormat"));
    m_cbFormat->addItems(filters());

    const QString datePlaceholder = ids("IDS_EXPORT_DATE_PLACEHOLDER");
    m_txtSince = new QLineEdit(this);
    m_txtSince->setObjectName(QStringLiteral("txtSince"));
    m_txtSince->setPlaceholderText(datePlaceholder);
    m_txtUntil = new QLineEdit(this);
    m_txtUntil->setObjectName(QStringLiteral("txtUntil"));
    m_txtUntil->setPlaceholderText(datePlaceholder);
    m_txtSince->setToolTip(ids("IDS_EXPORT_DATE_TIP"));
    m_txtUntil->setToolTip(ids("IDS_EXPORT_DATE_TIP"));

    m_spinPageSize = new QSpinBox(this);
    m_spinPageSize->setObjectName(QStringLiteral("spinPageSize"));
    m_spinPageSize->setRange(0, kMaxPageSize);
    m_spinPageSize->setSpecialValueText(ids("IDS_EXPORT_NO_PAGE_LIMIT"));
    m_spinPageSize->setValue(HtmlChatPages::kDefaultPageSize);

    m_chkSinceLast = new QCheckBox(ids("IDS_EXPORT_SINCE_LAST"), this);
    m_chkSinceLast->setObjectName(QStringLiteral("chkSinceLast"));

    m_chkKeepEmoji = new QCheckBox(ids("IDS_EXPORT_KEEP_EMOJI"), this);
    m_chkKeepEmoji->setObjectName(QStringLiteral("chkKeepEmoji"));
    m_chkKeepEmoji->setToolTip(ids("IDS_EXPORT_KEEP_EMOJI_TIP"));

    auto* form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->addRow(ids("IDS_EXPORT_FILE"), pathRow);
    form->addRow(ids("IDS_EXPORT_FORMAT"), m_cbFormat);
    form->addRow(ids("IDS_EXPORT_SINCE"), m_txtSince);
    form->addRow(ids("IDS_EXPORT_UNTIL"), m_txtUntil);
    form->addRow(ids("IDS_EXPORT_PAGE_SIZE"), m_spinPageSize);
    form->addRow(QString(), m_chkSinceLast);
    form->addRow(QString(), m_chkKeepEmoji);

    QPushButton* btnOK = button(ids("IDS_EXPORT"), "btnOK", this);
    btnOK->setDefault(true);
    QPushButton* btnCancel = button(ids("IDS_CANCEL"), "btnCancel", this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 15, 20, 15);
    layout->setSpacing(10);
    layout->addWidget(lbTitle);
    layout->addLayout(form);
    layout->addLayout(buttons);

    setStyleSheet(getStyleSheet());
    connect(btnBrowse, &QPushButton::pressed, this, &ExportMessagesDlg::onBtnBrowse);
    connect(btnOK, &QPushButton::pressed, this, &ExportMessagesDlg::onBtnOkPress);
    connect(btnCancel, &QPushButton::pressed, this, &QDialog::reject);
    connect(m_cbFormat, &QComboBox::currentIndexChanged, this, &ExportMessagesDlg::onFormatChanged);
    restoreChoices();
    onFormatChanged(m_cbFormat->currentIndex());
}

void ExportMessagesDlg::restoreChoices()
{
    // The folder of the last export, with the name proposed now; the format
    // and options as they were. Values that make no sense are left out.
    const QString folder = UiSettings::value(QStringLiteral("export/folder")).toString();
    if (!folder.isEmpty() && QFileInfo(folder).isDir())
        m_txtPath->setText(QDir(folder).filePath(QFileInfo(m_txtPath->text()).fileName()));
    bool ok = false;
    const int format = UiSettings::value(QStringLiteral("export/format")).toInt(&ok);
    if (ok && format >= 0 && format < m_cbFormat->count())
        m_cbFormat->setCurrentIndex(format);
    const int pageSize = UiSettings::value(QStringLiteral("export/pageSize")).toInt(&ok);
    if (ok && pageSize >= 0 && pageSize <= kMaxPageSize)
        m_spinPageSize->setValue(pageSize);
    m_chkKeepEmoji->setChecked(UiSettings::value(QStringLiteral("export/keepEmoji")).toBool());
}

void ExportMessagesDlg::rememberChoices()
{
    UiSettings::setValue(QStringLiteral("export/folder"), QFileInfo(m_choice.target.path).absolutePath());
    UiSettings::setValue(QStringLiteral("export/format"), m_cbFormat->currentIndex());
    UiSettings::setValue(QStringLiteral("export/pageSize"), m_spinPageSize->value());
    UiSettings::setValue(QStringLiteral("export/keepEmoji"), m_chkKeepEmoji->isChecked());
}

QStringList ExportMessagesDlg::filters()
{
    // In the order of ExportFilter.
    return {ids("IDS_FILTER_TXT"), ids("IDS_FILTER_DOC"), ids("IDS_FILTER_CSV"),
            ids("IDS_FILTER_PDF"), ids("IDS_FILTER_HTML"), ids("IDS_FILTER_JSON")};
}

void ExportMessagesDlg::onFormatChanged(int index)
{
    // Only HTML pages are split; only single files can be added to.
    m_spinPageSize->setEnabled(index == EXPORT_FILTER_HTML);
    const ExportTarget target = g_exportTarget(QStringLiteral("x"), ExportFilter(qMax(0, index)));
    const bool canAdd = ExportOptions::sinceLastSupported(ExportFormat(target.format));
    m_chkSinceLast->setEnabled(canAdd);
    if (!canAdd)
        m_chkSinceLast->setChecked(false);
    // The other formats draw emoji anyway; the choice stays for the next text export.
    m_chkKeepEmoji->setEnabled(
        ExportOptions::keepEmojiSupported(ExportFormat(target.format)));
}

void ExportMessagesDlg::onBtnBrowse()
{
    QString filter = m_cbFormat->currentText();
    const QString path = g_getSaveFileName(this, ids("IDS_SEL_EXPORT_MESSAGES_PATH"), m_txtPath->text(),
                                           filters().join(QStringLiteral(";;")), &filter);
    if (path.isEmpty())
        return;
    m_txtPath->setText(path);
    const int index = int(filters().indexOf(filter));
    if (index >= 0)
        m_cbFormat->setCurrentIndex(index);
}

void ExportMessagesDlg::onBtnOkPress()
{
    const QString path = m_txtPath->text().trimmed();
    if (path.isEmpty()) {
        Tips::warning(ids("IDS_EXPORT_PATH_REQUIRED"));
        return;
    }
    ExportDateRange range;
    const QList<QPair<QLineEdit*, std::optional<double>*>> ends{{m_txtSince, &range.since},
                                                                 {m_txtUntil, &range.until}};
    for (const auto& [edit, end] : ends) {
        const QString text = edit->text().trimmed();
        if (text.isEmpty())
            continue;
        double t = 0;
        QString error;
        if (!ExportDateRange::parseLocal(text, t, error)) {
            Tips::warning(ids("IDS_EXPORT_BAD_DATE_%1_%2").arg(text, error));
            edit->setFocus();
            return;
        }
        *end = t;
    }
    if (range.since && range.until && *range.since >= *range.until) {
        Tips::warning(ids("IDS_EXPORT_SINCE_NOT_BEFORE_UNTIL"));
        return;
    }
    const auto filter = ExportFilter(qMax(0, m_cbFormat->currentIndex()));
    // A bare name goes into the home folder, as the save dialog proposes,
    // not into whatever folder the program was started from.
    m_choice.target = g_exportTarget(QDir::home().absoluteFilePath(path), filter);
    m_choice.options.range = range;
    m_choice.options.pageSize = m_spinPageSize->value();
    m_choice.options.sinceLast = m_chkSinceLast->isChecked();
    m_choice.options.keepEmoji = m_chkKeepEmoji->isEnabled() && m_chkKeepEmoji->isChecked();
    rememberChoices();
    accept();
}

bool ExportMessagesDlg::execChoose(ExportChoice& choice)
{
    if (g_execDialog(*this) != QDialog::Accepted)
        return false;
    choice = m_choice;
    return true;
}
