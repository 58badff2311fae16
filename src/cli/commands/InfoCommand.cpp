#include "InfoCommand.h"

#include "SourceLoader.h"

QString InfoCommand::description() const
{
    return QStringLiteral("Counts of chats, people, messages, attachments and calls.");
}

QList<QCommandLineOption> InfoCommand::options() const
{
    return {QCommandLineOption(QStringLiteral("json"), QStringLiteral("Print one JSON object."))};
}

int InfoCommand::run(CliContext& ctx)
{
    ViberData data;
    SourceLoader loader(ctx.source);
    if (!loader.loadFor(ctx, data))
        return loader.failureExit();
    const __ViberData* d = data.p();
    const QList<QPair<const char*, qsizetype>> counts = {
        {"chats", d->chats.size()},       {"persons", d->persons.size()}, {"messages", d->msgs.size()},
        {"attachments", d->attas.size()}, {"calls", d->calls.size()},
    };
    if (ctx.parser.isSet(QStringLiteral("json"))) {
        // Written by hand to keep the keys in this order.
        QStringList parts;
        for (const auto& [key, n] : counts)
            parts << QStringLiteral("\"%1\":%2").arg(QLatin1String(key)).arg(n);
        ctx.out << '{' << parts.join(QLatin1Char(',')) << "}\n";
    } else {
        for (const auto& [key, n] : counts)
            ctx.out << key << ": " << n << '\n';
    }
    return CLI_EXIT_OK;
}
