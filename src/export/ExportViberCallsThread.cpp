#include "export/ExportViberCallsThread.h"

#include "export/TextFileWriter.h"
#include "model/ViberTime.h"
#include "shell/UserTexts.h"

#include <QFile>
#include <QLocale>

#include <algorithm>
#include <memory>

ExportViberCallsThread::ExportViberCallsThread(const QList<_ViberCall*>& calls, QString path, JobProgress& progress,
                                               QObject* parent)
    : QThread(parent), m_calls(calls), m_path(std::move(path)), m_progress(progress)
{
    m_calls.removeAll(nullptr);
    std::sort(m_calls.begin(), m_calls.end(), compareViberCallDesc);
}

ExportViberCallsThread::ExportViberCallsThread(const QList<_ViberCall*>& calls, QIODevice& device,
                                               JobProgress& progress, QObject* parent)
    : ExportViberCallsThread(calls, QStringLiteral("calls"), progress, parent)
{
    m_device = &device;
}

QList<_ViberCall*> ExportViberCallsThread::callsOf(const QList<_ViberMsg*>& msgs)
{
    QList<_ViberCall*> calls;
    for (const _ViberMsg* m : msgs) {
        if (m && m->call)
            calls << m->call;
    }
    return calls;
}

void ExportViberCallsThread::run()
{
    runJobProtocol(
        m_progress,
        // The file takes its name only when complete: a failure leaves
        // whatever was at the path before.
        [this] { return exportAll(); },
        QStringLiteral("Cannot export the calls: "));
}

QString ExportViberCallsThread::exportAll()
{
    m_progress.invokeUpdateProgress(ids("IDS_EXPORT_VIBER_CALLS"), 0, QString());
    std::unique_ptr<TextFileWriter> writer =
        m_device ? std::make_unique<TextFileWriter>(*m_device, m_path) : std::make_unique<TextFileWriter>(m_path);
    TextFileWriter& file = *writer;
    file.open();
    auto row = [&file](const QString& number, const QString& flag, const QString& date, const QString& duration) {
        file.write(number.leftJustified(40) + flag.leftJustified(15) + date.leftJustified(30) +
                   duration.leftJustified(15) + u'\n');
    };
    row(QStringLiteral("number"), QStringLiteral("Flag"), QStringLiteral("Date"), QStringLiteral("duration"));
    const QLocale locale = QLocale::system();
    const qint64 total = m_calls.size();
    qint64 count = 0;
    PercentReporter reporter(m_progress);
    for (const _ViberCall* c : std::as_const(m_calls)) {
        m_progress.throwIfClosed();
        ++count;
        reporter.report(count, total, QStringLiteral("Calls: %1/%2"));
        QString flag;
        switch (c->type) {
        case CALL_INCOMING: flag = QStringLiteral("Incoming"); break;
        case CALL_OUTGOING: flag = QStringLiteral("Outgoing"); break;
        case CALL_MISSED: flag = QStringLiteral("Missed"); break;
        default: break;
        }
        if (c->video && !flag.isEmpty())
            flag += QStringLiteral(" Video");
        row(c->person ? c->person->fullDisplay() : QStringLiteral("Unknown"), flag,
            locale.toString(dtFromTimestamp(c->date), QLocale::ShortFormat),
            c->lengthText());
    }
    file.close();
    return ids("IDS_SUC_EXPORT_%1_CALLS", count);
}
