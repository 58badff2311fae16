// After a merge into today's store: chat summaries, call lines, key
// counters, and the checks before the store goes back.
#include "stores/CurrentStoreMergerImpl.h"

#include "shell/Failure.h"

#include <limits>

using namespace CurrentStore;
using namespace CurrentMerge;

void CurrentStoreMerger::Impl::summarizeChatsThrow()
{
    if (newestAdded.isEmpty())
        return;
    // The store's own newest message and largest token of each chat, read in
    // one pass: the summary stays the app's while its own message is newer.
    const QString table = L(Message::kTable);
    const bool deletedCol = hasCol(table, L(kBeingDeleted));
    struct Own
    {
        double date = -std::numeric_limits<double>::infinity();
        qint64 maxToken = 0;
    };
    QHash<qint64, Own> own;
    {
        // A walk along the keys, folded here: grouping in SQL walks the chat
        // index and reads every row out of order.
        Sqlite3Cursor c = db.queryThrow(
            Sqlite3Sql(QStringLiteral("select %1, %2, %3%4 from %5 where %6<?")
                           .arg(L(Message::kChat), L(Message::kDate), L(Message::kToken),
                                deletedCol ? QStringLiteral(", ") + L(kBeingDeleted) : QString(), table, L(kPk)))
                .addInt64Param(firstKey.value(table, nextKey.value(table))));
        while (c.moveNext()) {
            const qint64 chat = c.getInt64(0);
            if (!newestAdded.contains(chat))
                continue;
            Own& o = own[chat];
            o.maxToken = std::max(o.maxToken, c.getInt64(2));
            const bool deleted = deletedCol && c.getInt64(3) != 0;
            if (!deleted && !c.isNull(1))
                o.date = std::max(o.date, c.getDouble(1));
        }
    }
    const QString chatTable = L(Chat::kTable);
    for (auto it = newestAdded.cbegin(); it != newestAdded.cend(); ++it) {
        const qint64 chat = it.key();
        const Newest& n = it.value();
        const Own mine = own.value(chat);
        // On equal times the added message is the newer: its key is larger.
        if (!newChats.contains(chat) && n.date < mine.date)
            continue;
        QStringList sets{QStringLiteral("%1=?").arg(L(Chat::kDate))};
        QVariantList values{n.date};
        auto add = [&](const char* name, const QVariant& v) {
            if (hasCol(chatTable, L(name))) {
                sets << QStringLiteral("%1=?").arg(L(name));
                values << v;
            }
        };
        add(Chat::kLastToken, n.token);
        add(Chat::kMaxToken, std::max(mine.maxToken, maxTokenAdded.value(chat)));
        add(Chat::kLastSender, n.sender > 0 ? QVariant(n.sender) : QVariant());
        add(Chat::kLastText, n.text);
        add(Chat::kLastType, n.type);
        add(Chat::kLastEmoticons, n.emoticons.isEmpty() ? QVariant() : QVariant(n.emoticons));
        if (!newChats.contains(chat))
            sets << QStringLiteral("%1=coalesce(%1,0)+1").arg(L(kOpt));
        Sqlite3Sql sql(QStringLiteral("update %1 set %2 where %3=?").arg(chatTable, sets.join(QStringLiteral(", ")), L(kPk)));
        for (const QVariant& v : std::as_const(values))
            sql.addParam(v);
        db.executeThrow(sql.addInt64Param(chat));
    }
}

void CurrentStoreMerger::Impl::summarizeLineThrow(qint64 line)
{
    Sqlite3Cursor c = db.queryThrow(
        Sqlite3Sql(QStringLiteral("select count(*), max(%1), (select r.%2 from %3 as r where r.%4=? order by r.%1 desc "
                                  "limit 1) from %3 where %4=?")
                       .arg(L(Recent::kDate), L(Recent::kCallType), L(Recent::kTable), L(Recent::kLine)))
            .addInt64Param(line)
            .addInt64Param(line));
    if (!c.moveNext())
        return;
    QStringList sets;
    QVariantList values;
    auto add = [&](const char* name, const QVariant& v) {
        if (hasCol(L(RecentsLine::kTable), L(name))) {
            sets << QStringLiteral("%1=?").arg(L(name));
            values << v;
        }
    };
    add(RecentsLine::kCount, c.getInt64(0));
    add(RecentsLine::kDate, c.getDouble(1));
    add(RecentsLine::kCallType, c.getText(2));
    if (!newLines.contains(line))
        sets << QStringLiteral("%1=coalesce(%1,0)+1").arg(L(kOpt));
    if (values.isEmpty())
        return;
    Sqlite3Sql sql(QStringLiteral("update %1 set %2 where %3=?").arg(L(RecentsLine::kTable), sets.join(QStringLiteral(", ")), L(kPk)));
    for (const QVariant& v : std::as_const(values))
        sql.addParam(v);
    db.executeThrow(sql.addInt64Param(line));
}

void CurrentStoreMerger::finishThrow()
{
    d->flushMessagesThrow();
    d->summarizeChatsThrow();
    for (qint64 line : std::as_const(d->touchedLines))
        d->summarizeLineThrow(line);
    // Core Data hands out keys above Z_MAX: it must know every key we used.
    for (const auto& [table, entity] : kEntityTables) {
        if (!d->firstKey.contains(L(table)))
            continue;
        d->db.executeThrow(Sqlite3Sql(QStringLiteral("update %1 set %2=max(coalesce(%2,0), ?) where %3=?")
                                          .arg(L(PrimaryKey::kTable), L(PrimaryKey::kMax), L(PrimaryKey::kName)))
                               .addInt64Param(d->nextKey.value(L(table)) - 1)
                               .addTextParam(L(entity)));
    }
}

void CurrentStoreMerger::verifyThrow()
{
    g_requireIntegrityThrow(d->db);
    for (const QString& t : std::as_const(d->ftsTables)) {
        try {
            d->db.executeThrow(QStringLiteral("insert into %1(%1) values('integrity-check')").arg(g_sqlQuoteIdent(t)));
        } catch (const std::exception& e) {
            g_raise(QStringLiteral("The merged store's search index %1 failed its check: %2")
                        .arg(t, QString::fromUtf8(e.what())));
        }
    }
    if (d->digestThrow(QStringLiteral("select type, name, tbl_name, sql from sqlite_master order by type, name")) !=
        d->schemaDigest)
        g_raise(QStringLiteral("The merged store's schema changed."));
    if (d->hasTable(QStringLiteral("Z_METADATA")) &&
        d->digestThrow(QStringLiteral("select * from Z_METADATA order by 1")) != d->metadataDigest)
        g_raise(QStringLiteral("The merged store's model identity changed."));
}

