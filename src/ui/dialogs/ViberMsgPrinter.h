#pragma once

#include "model/ViberRecords.h"

#include <QList>
#include <QObject>
#include <QString>

class QPrinter;

// Prints messages as a conversation of chat bubbles through the print
// preview dialog, oldest first, painted by the same routines as the PDF
// export.
class ViberMsgPrinter : public QObject
{
    Q_OBJECT
public:
    explicit ViberMsgPrinter(QWidget* parent = nullptr);

    // Shows the preview (from which the user prints) of msgs.
    void printMMS(const QList<_ViberMsg*>& msgs);

    // The pages of the last painting (0 before any).
    int pagesPainted() const { return m_pages; }
    // Why the last painting failed; empty when it did not.
    QString lastError() const { return m_error; }

public slots:
    void onPaintRequested(QPrinter* printer);

private:
    QWidget* m_parent;
    QList<_ViberMsg*> m_msgs;
    int m_pages = 0;
    QString m_error;
};
