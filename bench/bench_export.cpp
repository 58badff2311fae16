// Export throughput: CSV, TXT and JSON of a million messages, and HTML of one
// chat of 100 000 (one page) and 250 000 messages (paged) with the peak memory
// of the process (run the HTML ones alone for their own peak). The data set is
// built in memory (texts of realistic length, one-to-one and group chats), so
// the numbers are the writers' own.
#include "export/ExportMessagesThread.h"
#include "model/ViberData.h"
#include "BenchSupport.h"

#include <QDir>
#include <QGuiApplication>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sys/resource.h>

namespace {
ViberData makeHistory(int messages, int chats)
{
    ViberData data;
    auto* d = data.p();
    QRandomGenerator rng(42);
    QList<_ViberChat*> chatList;
    for (int c = 0; c < chats; ++c) {
        auto* chat = new _ViberChat;
        chat->id = c + 1;
        const int members = c % 5 == 0 ? 4 : 1;
        if (members > 1)
            chat->groupId = QString::number(1000 + c);
        for (int k = 0; k < members; ++k) {
            auto* p = new _ViberPerson;
            p->id = qint64(c) * 10 + k + 1;
            p->number = QStringLiteral("+4917%1").arg(p->id, 7, 10, QLatin1Char('0'));
            p->name = QStringLiteral("Person %1").arg(p->id);
            d->persons.insert(p->id, p);
            chat->members.insert(p->id, p);
        }
        d->chats.insert(chat->id, chat);
        chatList << chat;
    }
    static const QString words[] = {QStringLiteral("hello"), QStringLiteral("see"), QStringLiteral("you"),
                                    QStringLiteral("tomorrow,"), QStringLiteral("\"quoted\""), QStringLiteral("ok"),
                                    QStringLiteral("(smiley)"), QStringLiteral("dinner"), QStringLiteral("at"),
                                    QStringLiteral("eight")};
    for (int i = 0; i < messages; ++i) {
        auto* m = new _ViberMsg;
        m->id = i + 1;
        m->chat = chatList[i % chats];
        m->date = 400000000.0 + i * 30.0;
        m->type = MSG_TYPE_TEXT;
        m->state = (i % 3) ? MSG_STATE_RECEIVED : MSG_STATE_SENT;
        if (m->chat->members.size() > 1 && m->state == MSG_STATE_RECEIVED)
            m->person = m->chat->members.begin().value();
        const int n = 3 + int(rng.bounded(10));
        for (int w = 0; w < n; ++w)
            m->text += words[rng.bounded(10)] + u' ';
        m->chat->msgs << m;
        d->msgs.insert(m->id, m);
    }
    return data;
}

void runExport(benchmark::State& state, ExportFormat type, int messages, int chats)
{
    const ViberData data = makeHistory(messages, chats);
    const QList<_ViberMsg*> msgs = data.messages();
    QTemporaryDir dir;
    for (auto _ : state) {
        SilentProgress progress;
        const QString path = dir.filePath(type == ExportFormat::Html ? QStringLiteral("out-html")
                                                                                     : QStringLiteral("out.file"));
        ExportMessagesThread job(msgs, path, type, progress);
        job.run();
        if (!progress.result.startsWith(QStringLiteral("Successfully")))
            state.SkipWithError(qPrintable(progress.result));
    }
    state.counters["msgs_per_s"] = benchmark::Counter(double(messages), benchmark::Counter::kIsIterationInvariantRate);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MB"] = double(usage.ru_maxrss) / 1024.0;
}

void BM_ExportCsv(benchmark::State& s) { runExport(s, ExportFormat::Csv, 1000000, 200); }
void BM_ExportTxt(benchmark::State& s) { runExport(s, ExportFormat::Txt, 1000000, 200); }
void BM_ExportJson(benchmark::State& s) { runExport(s, ExportFormat::Json, 1000000, 200); }
// A chat too long for one browser page, split into pages of 5 000 messages.
void BM_ExportHtmlPagedChat(benchmark::State& s) { runExport(s, ExportFormat::Html, 250000, 1); }
void BM_ExportHtmlOneChat(benchmark::State& s) { runExport(s, ExportFormat::Html, 100000, 1); }

// PDF of 2 000 text messages in two chats: time and file size per 1 000 messages.
void BM_ExportPdf(benchmark::State& state)
{
    constexpr int kMessages = 2000;
    const ViberData data = makeHistory(kMessages, 2);
    const QList<_ViberMsg*> msgs = data.messages();
    QTemporaryDir dir;
    qint64 bytes = 0;
    for (auto _ : state) {
        SilentProgress progress;
        const QString path = dir.filePath(QStringLiteral("out-pdf"));
        ExportMessagesThread job(msgs, path, ExportFormat::Pdf, progress);
        job.run();
        if (!progress.result.startsWith(QStringLiteral("Successfully")))
            state.SkipWithError(qPrintable(progress.result));
        bytes = 0;
        for (const QFileInfo& f : QDir(path).entryInfoList(QDir::Files))
            bytes += f.size();
    }
    state.counters["msgs_per_s"] = benchmark::Counter(double(kMessages), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["MB_per_1000_msgs"] = double(bytes) / (1024.0 * 1024.0) * 1000.0 / kMessages;
}
} // namespace

BENCHMARK(BM_ExportHtmlOneChat)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ExportCsv)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ExportTxt)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ExportJson)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ExportPdf)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ExportHtmlPagedChat)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return g_runBenchmarks<QGuiApplication>(argc, argv);
}
