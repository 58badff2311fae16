#include "TerminalProgress.h"

#include "CliCommand.h"

#include <atomic>
#include <csignal>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

TerminalProgress::TerminalProgress(QTextStream& err, bool drawProgress) : m_err(err), m_draw(drawProgress) {}

void TerminalProgress::clearLine()
{
    if (m_lineShown) {
        m_err << "\r\033[K";
        m_err.flush();
        m_lineShown = false;
    }
}

void TerminalProgress::invokeUpdateProgress(const QString& status, int curProgress, const QString& progressText)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (!status.isEmpty())
        m_status = status;
    if (curProgress >= 0)
        m_percent = curProgress;
    if (!m_draw)
        return;
    // Redraw at most ten times a second; a job may report every message.
    if (m_sinceDraw.isValid() && m_sinceDraw.elapsed() < 100 && curProgress < 100)
        return;
    m_sinceDraw.start();
    const QString detail =
        progressText.isEmpty() ? QStringLiteral("Progress:%1%").arg(m_percent) : progressText;
    QString line = m_status.isEmpty() ? detail : m_status + QStringLiteral("  ") + detail;
    line.replace(u'\n', u' ');
    m_err << "\r\033[K" << line.left(200);
    m_err.flush();
    m_lineShown = true;
}

void TerminalProgress::invokeSucceed(const QString& tipsStr)
{
    std::lock_guard<std::mutex> guard(m_lock);
    clearLine();
    m_outcome = Succeeded;
    m_text = tipsStr;
}

void TerminalProgress::invokeErrorOccurred(const QString& err)
{
    std::lock_guard<std::mutex> guard(m_lock);
    clearLine();
    m_outcome = Failed;
    m_text = err;
}

void TerminalProgress::invokeTipsWait(const QString& info)
{
    std::lock_guard<std::mutex> guard(m_lock);
    clearLine();
    m_err << info << Qt::endl;
    // Nobody can press a button on a terminal line: the text is acknowledged
    // as soon as it is shown.
    setWaiting(false);
}

TerminalProgress::Outcome TerminalProgress::outcome() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_outcome;
}

QString TerminalProgress::resultText() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_text;
}

int TerminalProgress::finish(QTextStream& out)
{
    std::lock_guard<std::mutex> guard(m_lock);
    clearLine();
    if (m_outcome == Failed) {
        m_err << "ferrowick-cli: " << m_text << Qt::endl;
        return CLI_EXIT_FAILURE;
    }
    if (closed() || m_outcome != Succeeded) {
        m_err << "ferrowick-cli: interrupted" << Qt::endl;
        return CLI_EXIT_INTERRUPTED;
    }
    if (!m_text.isEmpty())
        out << m_text << Qt::endl;
    return CLI_EXIT_OK;
}

namespace {
int g_pipe[2] = {-1, -1};
std::atomic_int g_interrupts{0};
struct sigaction g_previous;

void onSigint(int)
{
    if (++g_interrupts >= 2)
        _exit(130);
    const char byte = 'i';
    const int saved = errno;
    [[maybe_unused]] ssize_t n = write(g_pipe[1], &byte, 1);
    errno = saved;
}

std::thread g_watcher;
} // namespace

InterruptGuard::InterruptGuard(JobProgress& progress)
{
    if (pipe(g_pipe) != 0)
        return;
    fcntl(g_pipe[1], F_SETFL, O_NONBLOCK);
    g_interrupts = 0;
    g_watcher = std::thread([&progress] {
        char byte = 0;
        while (read(g_pipe[0], &byte, 1) == 1) {
            if (byte == 'q')
                return;
            progress.setClosed(true);
        }
    });
    struct sigaction sa = {};
    sa.sa_handler = onSigint;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, &g_previous);
}

InterruptGuard::~InterruptGuard()
{
    if (g_pipe[0] < 0)
        return;
    sigaction(SIGINT, &g_previous, nullptr);
    const char byte = 'q';
    [[maybe_unused]] ssize_t n = write(g_pipe[1], &byte, 1);
    if (g_watcher.joinable())
        g_watcher.join();
    close(g_pipe[0]);
    close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

int g_runTerminalJob(CliContext& ctx, const std::function<void(JobProgress&)>& job)
{
    TerminalProgress progress(ctx.err, ctx.interactive);
    {
        InterruptGuard guard(progress);
        job(progress);
    }
    return progress.finish(ctx.out);
}
