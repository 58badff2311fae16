#include "support/CliProcess.h"

#include <QProcess>

QProcessEnvironment g_cliEnvironment(const QString& dataDir)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("FERROWICK_DATA_DIR"), dataDir);
    return env;
}

CliResult g_runCliProcess(const QString& program, const QStringList& args, const QProcessEnvironment& env,
                          int timeoutMs)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    p.closeWriteChannel();
    if (!p.waitForFinished(timeoutMs))
        return {-1, QString(), QStringLiteral("timed out")};
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}
