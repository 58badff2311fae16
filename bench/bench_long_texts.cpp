// Exports of hostile sizes: a contact name of 150 000 characters (HTML and
// PDF) and one message of up to 1 000 000 characters (PDF). Run with several
// sizes, the times show whether the work grows in step with the text or with
// its square.
#include "render/BubblePainter.h"
#include "export/ExportMessagesThread.h"
#include "model/ViberData.h"
#include "BenchSupport.h"

#include <QGuiApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {
// One chat with one person and a few messages; the name or the first
// message's text has the given length.
ViberData makeChat(qsizetype nameLength, qsizetype textLength, bool oneWord = false)
{
    ViberData data;
    auto* d = data.p();
    auto* p = new _ViberPerson;
    p->id = 1;
    p->number = QStringLiteral("+491700000001");
    // Words with a non-ASCII letter, as a crafted store might hold.
    const QString word = QStringLiteral("Gr\u00fcnwald ");
    p->name = word.repeated(nameLength / word.size() + 1).left(nameLength);
    d->persons.insert(p->id, p);
    auto* chat = new _ViberChat;
    chat->id = 1;
    chat->members.insert(p->id, p);
    d->chats.insert(chat->id, chat);
    const QString sentence = oneWord ? QStringLiteral("x") : QStringLiteral("the quick brown fox jumps over the lazy dog ");
    for (int i = 0; i < 5; ++i) {
        auto* m = new _ViberMsg;
        m->id = i + 1;
        m->chat = chat;
        m->date = 400000000.0 + i * 60;
        m->type = MSG_TYPE_TEXT;
        m->state = i % 2 ? MSG_STATE_RECEIVED : MSG_STATE_SENT;
        m->text = i == 0 && textLength > 0 ? sentence.repeated(textLength / sentence.size() + 1).left(textLength)
                                           : QStringLiteral("short one");
        chat->msgs << m;
        d->msgs.insert(m->id, m);
    }
    return data;
}

void runExport(benchmark::State& state, ExportFormat type, qsizetype nameLength,
               qsizetype textLength, bool oneWord = false)
{
    const ViberData data = makeChat(nameLength, textLength, oneWord);
    const QList<_ViberMsg*> msgs = data.messages();
    QTemporaryDir dir;
    int run = 0;
    for (auto _ : state) {
        SilentProgress progress;
        ExportMessagesThread job(msgs, dir.filePath(QStringLiteral("out%1").arg(++run)), type, progress);
        job.run();
        if (!progress.result.startsWith(QStringLiteral("Successfully")))
            state.SkipWithError(qPrintable(progress.result));
    }
    state.counters["chars"] = double(qMax(nameLength, textLength));
}

void BM_HtmlLongName(benchmark::State& s) { runExport(s, ExportFormat::Html, s.range(0), 0); }
void BM_PdfLongName(benchmark::State& s) { runExport(s, ExportFormat::Pdf, s.range(0), 0); }
// range 1: words (0) or one endless word (1)
void BM_PdfLongMessage(benchmark::State& s)
{
    runExport(s, ExportFormat::Pdf, 20, s.range(0), s.range(1) != 0);
}

// The text layout alone: a long message cut into page-sized bubbles, of
// words (range 1 = 0) or of one endless word (range 1 = 1).
void BM_SplitLongText(benchmark::State& state)
{
    const QString sentence = state.range(1) ? QStringLiteral("x") : QStringLiteral("the quick brown fox jumps over the lazy dog ");
    const QString text = sentence.repeated(state.range(0) / sentence.size() + 1).left(state.range(0));
    for (auto _ : state) {
        const QStringList pieces = split_text_bubble(text, 400, BUBBLE_OWN, QStringLiteral("10:00"), QString(), 1000);
        benchmark::DoNotOptimize(pieces.size());
    }
    state.counters["chars"] = double(state.range(0));
}
} // namespace

BENCHMARK(BM_SplitLongText)->ArgsProduct({{62500, 125000, 250000, 500000, 1000000}, {0, 1}})->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_HtmlLongName)->Arg(37500)->Arg(75000)->Arg(150000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_PdfLongName)->Arg(37500)->Arg(75000)->Arg(150000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_PdfLongMessage)->ArgsProduct({{250000, 500000, 1000000}, {0, 1}})->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return g_runBenchmarks<QGuiApplication>(argc, argv);
}
