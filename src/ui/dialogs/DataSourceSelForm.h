#pragma once

#include <QDialog>
#include <QList>
#include <QPair>
#include <QString>

class QLabel;
class QTreeWidget;

// Lets the user pick one of several sources (accounts, devices): a prompt and
// a list of entries of up to two labels each. The first entry is chosen
// until the user picks another.
class DataSourceSelForm : public QDialog
{
    Q_OBJECT
public:
    using Entry = QPair<QString, QString>;

    explicit DataSourceSelForm(QWidget* parent = nullptr);

    // Runs the dialog; the index of the chosen entry, or -1 when cancelled.
    int execSel(const QString& prompt, const QList<Entry>& entries);

    // The entry chosen now (-1: none).
    int currentEntry() const;
    void setCurrentEntry(int index);

public slots:
    void onBtnOkPress();

private:
    QLabel* m_lbPrompt;
    QTreeWidget* m_list;
    int m_chosen = -1;
};
