#include "MessagesCommand.h"

#include "ListingFormat.h"
#include "SourceLoader.h"

#include <algorithm>

QString MessagesCommand::description() const
{
    return QStringLiteral("One line per message: key, chat, date, flag, contact, summary.");
}

int MessagesCommand::run(CliContext& ctx)
{
    ViberData data;
    if (int loadExit = 0; !SourceLoader::loadSource(ctx, data, loadExit))
        return loadExit;
    QList<_ViberMsg*> msgs = data.messages();
    std::sort(msgs.begin(), msgs.end(), [](const _ViberMsg* a, const _ViberMsg* b) { return a->id < b->id; });
    std::stable_sort(msgs.begin(), msgs.end(), compareViberMsgAsc);
    for (const _ViberMsg* m : std::as_const(msgs)) {
        ctx.out << m->id << '\t' << (m->chat ? QString::number(m->chat->id) : QString()) << '\t'
                << g_listingDate(m->date) << '\t' << g_messageFlag(*m) << '\t' << g_listingField(g_messageContact(*m))
                << '\t' << g_listingField(m->summary()) << '\n';
    }
    return CLI_EXIT_OK;
}
