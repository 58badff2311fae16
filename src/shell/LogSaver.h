#pragma once

#include <QString>
#include <QtGlobal>

// Installs the message handler that writes every Qt message as one line to
// "log-<yyyyMMdd>.txt" in rootPath. Before that the oldest log files are
// deleted so that at most keepCount remain. With echoDebug, debug messages are
// also printed to standard output (the command-line tool keeps its standard
// output for results and turns this off).
void logsaver_install_msghandler(const QString& rootPath, int keepCount, bool echoDebug = true);

// Writes one message to the log. Safe from any thread; writes are serialised by
// one lock. A log that cannot be opened makes this do nothing.
void log_output(QtMsgType type, const QString& msg);

// Until logsaver_install_msghandler runs, keeps Qt's messages in memory
// instead of printing them; the log then receives them. Used by the
// command-line tool, whose error stream carries only its own messages.
void logsaver_buffer_early_messages();

// The handler installed by logsaver_install_msghandler.
void log_message_handler(QtMsgType type, const QMessageLogContext& context, const QString& msg);
