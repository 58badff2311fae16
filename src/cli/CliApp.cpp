#include "CliApp.h"

#include "CommandRegistry.h"
#include "commands/ListingFormat.h"
#include "shell/DataFolders.h"
#include "shell/LogSaver.h"
#include "shell/ScratchFolders.h"

#include "BuildSettings.h"

#include <QSet>

namespace {
const QString kProgram = QStringLiteral("ferrowick-cli");

int CliContextFail(QTextStream& err, const QString& text, int code)
{
    // Failures quote names from stores and backups.
    err << kProgram << ": " << g_terminalText(text) << Qt::endl;
    return code;
}

int usageError(QTextStream& err, const QString& text, const QString& command = QString())
{
    return g_cliUsage(err, text, command);
}

void printGlobalHelp(QTextStream& out, const std::vector<std::unique_ptr<CliCommand>>& commands)
{
    out << "Usage: " << kProgram << " [--data-dir DIR] COMMAND [SOURCE] [OPTIONS]\n\n";
    out << "Reads the Viber history of an iPhone, an iTunes backup or Viber Desktop and exports it.\n\n";
    out << "Commands:\n";
    for (const auto& c : commands)
        out << "  " << c->name().leftJustified(15) << ' ' << c->description() << '\n';
    out << "\nSources (for commands that read messages):\n";
    for (const QCommandLineOption& o : SourceChoice::options()) {
        QString left = QStringLiteral("--") + o.names().constFirst();
        if (!o.valueName().isEmpty())
            left += QStringLiteral(" ") + o.valueName();
        out << "  " << left.leftJustified(22) << ' ' << o.description() << '\n';
    }
    out << "\nGlobal options:\n";
    out << "  " << QStringLiteral("--data-dir DIR").leftJustified(22) << " Keep the program's data in DIR.\n";
    out << "  " << QStringLiteral("-h, --help").leftJustified(22) << " Show help; COMMAND --help shows a command's.\n";
    out << "  " << QStringLiteral("--version").leftJustified(22) << " Show the version.\n";
    out << "\nExit status: 0 success, 1 failure, 2 usage error, 130 interrupted.\n";
    out.flush();
}

bool isGlobalDataDir(const QString& arg)
{
    return arg == QLatin1String("--data-dir") || arg.startsWith(QLatin1String("--data-dir="));
}
} // namespace

int CliContext::fail(const QString& text) const
{
    return CliContextFail(err, text, CLI_EXIT_FAILURE);
}

int CliContext::usage(const QString& text) const
{
    return g_cliUsage(err, text, parser.positionalArguments().value(0));
}

int g_cliUsage(QTextStream& err, const QString& text, const QString& command)
{
    err << kProgram << ": " << text << '\n';
    err << "Try '" << kProgram << (command.isEmpty() ? QString() : QStringLiteral(" ") + command) << " --help'."
        << Qt::endl;
    return CLI_EXIT_USAGE;
}

int runCli(const QStringList& args, const DataFolders& defaultFolders, QTextStream& out, QTextStream& err,
           const CliRunOptions& options)
{
    const auto commands = g_cliCommands();

    // The command is the first word that is neither an option nor the value of
    // --data-dir; everything after it belongs to the command's parser.
    QString commandName;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (a == QLatin1String("--data-dir")) {
            ++i;
            continue;
        }
        if (isGlobalDataDir(a))
            continue;
        if (a == QLatin1String("-h") || a == QLatin1String("--help") || a == QLatin1String("-?")) {
            printGlobalHelp(out, commands);
            return CLI_EXIT_OK;
        }
        if (a == QLatin1String("--version")) {
            out << kProgram << ' ' << FERROWICK_VERSION_TEXT << Qt::endl;
            return CLI_EXIT_OK;
        }
        if (a.startsWith(u'-'))
            return usageError(err, QStringLiteral("the command comes before '%1'").arg(a));
        commandName = a;
        break;
    }
    if (commandName.isEmpty()) {
        printGlobalHelp(err, commands);
        return CLI_EXIT_USAGE;
    }

    CliCommand* command = nullptr;
    for (const auto& c : commands) {
        if (c->name() == commandName)
            command = c.get();
    }
    if (!command)
        return usageError(err, QStringLiteral("unknown command '%1'").arg(commandName));

    QCommandLineParser parser;
    parser.setApplicationDescription(command->description());
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    // Our own help option: Qt's would also offer --help-all (Qt's own
    // options), which means nothing here.
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help"), QStringLiteral("?")},
                                        QStringLiteral("Show this help."));
    parser.addOption(helpOption);
    const QCommandLineOption dataDirOption(QStringLiteral("data-dir"), QStringLiteral("Keep the program's data in DIR."),
                                           QStringLiteral("DIR"));
    parser.addOption(dataDirOption);
    QSet<QString> taken{QStringLiteral("data-dir"), QStringLiteral("help"), QStringLiteral("h")};
    for (const QCommandLineOption& o : command->options()) {
        parser.addOption(o);
        taken.unite(QSet<QString>(o.names().cbegin(), o.names().cend()));
    }
    QStringList sourceNames;
    if (command->readsSource()) {
        // A command's own option of the same name (to-device's --device target)
        // takes precedence over the source option.
        for (const QCommandLineOption& o : SourceChoice::options()) {
            if (taken.contains(o.names().constFirst()))
                continue;
            parser.addOption(o);
            sourceNames << o.names().constFirst();
        }
    }
    parser.addPositionalArgument(commandName, QString());

    if (!parser.parse(args))
        return usageError(err, parser.errorText(), commandName);
    if (parser.isSet(helpOption)) {
        // The program's plain name, not the path it was started by; the
        // command is the only argument and needs no section of its own.
        QString help = parser.helpText();
        const qsizetype firstLineEnd = help.indexOf(u'\n');
        help = QStringLiteral("Usage: %1 %2 [options]").arg(kProgram, commandName) +
               (firstLineEnd >= 0 ? help.mid(firstLineEnd) : QString(u'\n'));
        const qsizetype arguments = help.indexOf(QStringLiteral("\nArguments:"));
        if (arguments >= 0)
            help.truncate(arguments + 1);
        out << help << command->helpNote();
        out.flush();
        return CLI_EXIT_OK;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1 || positional.constFirst() != commandName) {
        const QString extra = positional.size() > 1 ? positional.at(1) : positional.value(0);
        return usageError(err, QStringLiteral("unexpected argument '%1'").arg(extra), commandName);
    }
    DataFolders folders = defaultFolders;
    if (parser.isSet(dataDirOption)) {
        const QString dir = parser.value(dataDirOption);
        if (dir.trimmed().isEmpty())
            return usageError(err, QStringLiteral("--data-dir needs a folder"), commandName);
        folders = DataFolders(dir);
    }

    SourceChoice source;
    QString sourceError;
    if (!SourceChoice::fromParser(parser, sourceNames, folders, source, sourceError))
        return usageError(err, sourceError, commandName);
    if (command->requiresSource() && source.kind == SourceChoice::None)
        return usageError(err,
                          QStringLiteral("choose a source: --container DIR, --localdb NAME, --itunes DIR, "
                                         "--desktop FILE, --device UDID or --demo"),
                          commandName);

    if (options.installLogging) {
        logsaver_install_msghandler(folders.logDir().absolutePath(), 10, false);
        qInfo().noquote() << "ferrowick-cli" << args.mid(1).join(u' ');
    }

    // What a killed run left (decrypted copies among it) goes first.
    g_sweepLeftovers(folders);
    CliContext ctx{parser, source, out, err, folders, options.interactive, options.keepLoadedData};
    const int code = command->run(ctx);
    out.flush();
    err.flush();
    return code;
}
