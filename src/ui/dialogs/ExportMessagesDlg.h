#pragma once

#include "export/ExportDateRange.h"
#include "export/ExportPaths.h"

#include <QDialog>
#include <QString>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

// What the export dialog settled on.
struct ExportChoice
{
    ExportTarget target;   // the file or folder written, and its format
    ExportOptions options; // range, page size, since-last, emoji (the source is the caller's)
};

// Where and how messages are exported: the file name (typed, or chosen in the
// save dialog through Browse), the format by the save dialog's filters, an
// optional date range in local time, for HTML the page size, and for text,
// CSV and JSON whether only messages newer than the last export are added,
// for text and CSV whether emoji are written as they are. Bad input
// is refused with a warning and the dialog stays open.
class ExportMessagesDlg : public QDialog
{
    Q_OBJECT
public:
    ExportMessagesDlg(const QString& proposedPath, QWidget* parent = nullptr);

    // The save dialog's filters, in the order of ExportFilter.
    static QStringList filters();

    // Runs the dialog; false when cancelled.
    bool execChoose(ExportChoice& choice);
    ExportChoice choice() const { return m_choice; }

public slots:
    void onBtnBrowse();
    void onBtnOkPress();

private:
    void onFormatChanged(int index);
    void restoreChoices();
    void rememberChoices();

    QLineEdit* m_txtPath;
    QComboBox* m_cbFormat;
    QLineEdit* m_txtSince;
    QLineEdit* m_txtUntil;
    QSpinBox* m_spinPageSize;
    QCheckBox* m_chkSinceLast;
    QCheckBox* m_chkKeepEmoji;
    ExportChoice m_choice;
};
