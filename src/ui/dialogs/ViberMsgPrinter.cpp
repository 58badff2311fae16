#include "ui/dialogs/ViberMsgPrinter.h"

#include "render/ViberMsgPrinterPrivacy.h"
#include "shell/UserTexts.h"
#include "ui/ExecDialog.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QtDebug>

#include <algorithm>
#include <exception>

namespace {
constexpr qreal kMarginPoints = 20;
} // namespace

ViberMsgPrinter::ViberMsgPrinter(QWidget* parent) : QObject(parent), m_parent(parent) {}

void ViberMsgPrinter::printMMS(const QList<_ViberMsg*>& msgs)
{
    m_msgs = msgs;
    std::sort(m_msgs.begin(), m_msgs.end(), compareViberMsgAsc);

    // Bubbles are drawn in screen pixels, as in the PDF export.
    QPrinter printer(QPrinter::ScreenResolution);
    printer.setOutputFormat(QPrinter::NativeFormat);
    if (!printer.isValid())
        printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      QMarginsF(kMarginPoints, kMarginPoints, kMarginPoints, kMarginPoints),
                                      QPageLayout::Point));

    QPrintPreviewDialog dlg(&printer, m_parent);
    dlg.setObjectName(QStringLiteral("PrintPreviewDialog"));
    dlg.setWindowTitle(ids("IDS_PRINT_MESSAGES"));
    dlg.resize(800, 900);
    connect(&dlg, &QPrintPreviewDialog::paintRequested, this, &ViberMsgPrinter::onPaintRequested);
    g_execDialog(dlg);
}

void ViberMsgPrinter::onPaintRequested(QPrinter* printer)
{
    m_pages = 0;
    m_error.clear();
    ViberMsgPrinterPrivacy painter;
    try {
        painter.reset(printer);
        for (const _ViberMsg* m : std::as_const(m_msgs))
            painter.print(*m);
        m_pages = painter.page();
        painter.end();
    } catch (const std::exception& e) {
        // A preview or printer that cannot be painted on shows what it has.
        m_error = QString::fromUtf8(e.what());
        qWarning().noquote() << "ViberMsgPrinter:" << m_error;
    }
}
