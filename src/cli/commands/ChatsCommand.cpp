#include "ChatsCommand.h"

#include "ListingFormat.h"
#include "SourceLoader.h"

#include <algorithm>

QString ChatsCommand::description() const
{
    return QStringLiteral("One line per chat: key, message count, last activity, name.");
}

int ChatsCommand::run(CliContext& ctx)
{
    ViberData data;
    if (int loadExit = 0; !SourceLoader::loadSource(ctx, data, loadExit))
        return loadExit;
    QList<_ViberChat*> chats = data.chats();
    // Keys first, so that chats of equal date always come out alike.
    std::sort(chats.begin(), chats.end(), [](const _ViberChat* a, const _ViberChat* b) { return a->id < b->id; });
    std::stable_sort(chats.begin(), chats.end(), compareViberChatDesc);
    for (const _ViberChat* c : std::as_const(chats)) {
        ctx.out << c->id << '\t' << c->msgs.size() << '\t' << g_listingDate(c->date) << '\t'
                << g_listingField(c->display()) << '\n';
    }
    return CLI_EXIT_OK;
}
