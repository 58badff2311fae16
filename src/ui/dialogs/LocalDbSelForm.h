#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

class QComboBox;
class QLabel;
class QPushButton;

// Picks the local database a backup goes into: one of the existing ones
// (merged into) or a new name typed in the editable list. The name is kept
// as typed; names a folder cannot carry are refused with a warning and the
// dialog stays open.
class LocalDbSelForm : public QDialog
{
    Q_OBJECT
public:
    LocalDbSelForm(const QStringList& names, const QString& defaultName, QWidget* parent = nullptr);

    // The accepted name, or empty when cancelled.
    QString execGetDbName();
    QString dbName() const { return m_dbName; }

public slots:
    void onBtnOkPress();

private:
    QLabel* m_label;
    QComboBox* m_cbLocalDbNames;
    QPushButton* m_btnOK;
    QPushButton* m_btnClose;
    QString m_dbName;
    QStringList m_names;
};
