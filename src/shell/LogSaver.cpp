#include "shell/LogSaver.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QList>
#include <QPair>
#include <QTime>

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace {
struct LogState
{
    std::mutex lock;
    QString rootPath;
    QFile file;
    bool openTried = false;
    bool echoDebug = true;
};

LogState& state()
{
    static LogState s;
    return s;
}

std::mutex g_earlyLock;
QList<QPair<QtMsgType, QString>> g_early;

void bufferMessage(QtMsgType type, const QMessageLogContext&, const QString& msg)
{
    std::lock_guard<std::mutex> guard(g_earlyLock);
    if (g_early.size() < 1000)
        g_early.append({type, msg});
    if (type == QtFatalMsg)
        std::abort();
}

// Set while this thread is inside log_output: a warning raised by the file
// routines below must not re-enter and wait on the lock this thread holds.
thread_local bool t_inside = false;

QByteArray formatLine(QtMsgType type, const QString& msg)
{
    const QString time = QTime::currentTime().toString(QStringLiteral("hh:mm:ss"));
    QString line;
    switch (type) {
    case QtDebugMsg:
        line = QStringLiteral("(D %1) %2\n");
        break;
    case QtWarningMsg:
        line = QStringLiteral("(W %1) %2\n");
        break;
    case QtCriticalMsg:
        line = QStringLiteral("(C %1) %2\n");
        break;
    case QtFatalMsg:
        line = QStringLiteral("(F %1) %2\n");
        break;
    default:
        line = QStringLiteral("(%1) %2\n");
        break;
    }
    return line.arg(time, msg).toUtf8();
}
} // namespace

void logsaver_install_msghandler(const QString& rootPath, int keepCount, bool echoDebug)
{
    {
        LogState& s = state();
        std::lock_guard<std::mutex> guard(s.lock);
        if (s.rootPath != rootPath) {
            // Installing again with another folder starts a log there.
            s.file.close();
            s.openTried = false;
        }
        s.rootPath = rootPath;
        s.echoDebug = echoDebug;
    }
    QDir dir(rootPath);
    const QStringList files = dir.entryList(QDir::Files, QDir::Name);
    const qsizetype excess = files.size() - qMax(keepCount, 0);
    for (qsizetype i = 0; i < excess; ++i)
        dir.remove(files.at(i));
    qInstallMessageHandler(log_message_handler);
    QList<QPair<QtMsgType, QString>> early;
    {
        std::lock_guard<std::mutex> guard(g_earlyLock);
        early.swap(g_early);
    }
    for (const auto& m : early)
        log_output(m.first, m.second);
}

void logsaver_buffer_early_messages()
{
    qInstallMessageHandler(bufferMessage);
}

void log_output(QtMsgType type, const QString& msg)
{
    if (t_inside)
        return;
    t_inside = true;
    const QByteArray line = formatLine(type, msg);
    LogState& s = state();
    {
        std::lock_guard<std::mutex> guard(s.lock);
        if (type == QtDebugMsg && s.echoDebug) {
            std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
            std::fflush(stdout);
        }
        if (!s.openTried) {
            s.openTried = true;
            if (!s.rootPath.isEmpty() && QDir().mkpath(s.rootPath)) {
                const QString name =
                    QStringLiteral("log-%1.txt").arg(QDate::currentDate().toString(QStringLiteral("yyyyMMdd")));
                s.file.setFileName(QDir(s.rootPath).filePath(name));
                if (!s.file.open(QIODevice::ReadWrite | QIODevice::Append))
                    s.file.setFileName(QString());
            }
        }
        if (s.file.isOpen()) {
            s.file.write(line);
            s.file.flush();
        }
    }
    t_inside = false;
    if (type == QtFatalMsg)
        std::abort();
}

void log_message_handler(QtMsgType type, const QMessageLogContext&, const QString& msg)
{
    log_output(type, msg);
}
