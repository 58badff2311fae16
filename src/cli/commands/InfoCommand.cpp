#include "InfoCommand.h"

#include "ListingFormat.h"

#include "SourceLoader.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {
// The phone's owner as the source names them, or empty.
QString ownerText(const __ViberData* d)
{
    if (d->ownerNumber.isEmpty())
        return d->ownerName;
    if (d->ownerName.isEmpty())
        return d->ownerNumber;
    return QStringLiteral("%1 (%2)").arg(d->ownerName, d->ownerNumber);
}

QString jsonString(const QString& s)
{
    const QByteArray array = QJsonDocument(QJsonArray{s}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}
} // namespace

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
    if (int loadExit = 0; !SourceLoader::loadSource(ctx, data, loadExit))
        return loadExit;
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
        if (!ownerText(d).isEmpty())
            parts << QStringLiteral("\"owner\":") + jsonString(ownerText(d));
        ctx.out << '{' << parts.join(QLatin1Char(',')) << "}\n";
    } else {
        for (const auto& [key, n] : counts)
            ctx.out << key << ": " << n << '\n';
        if (!ownerText(d).isEmpty())
            ctx.out << "owner: " << g_listingField(ownerText(d)) << '\n';
    }
    return CLI_EXIT_OK;
}
