#include "stores/OldStoreMerger.h"

#include "stores/IOSMergePlans.h"
#include "stores/StorePaths.h"
#include "shell/Failure.h"

#include <stdexcept>

namespace {
// The phone's own messages between clearForRewriteThrow and their put-back,
// under their old key.
const QString kKept = QStringLiteral("ferrowick_kept_messages");
const QString kKeptKey = QStringLiteral("ferrowick_kept_key");

qint64 rowInt(const Sqlite3Row& row, const char* col)
{
    return row.val(QLatin1String(col)).toLongLong();
}
} // namespace

OldStoreMerger::OldStoreMerger(IOSViberDb& db) : m_db(db) {}

OldStoreMerger::~OldStoreMerger() = default;

void OldStoreMerger::checkWritableThrow()
{
    m_db.openCheckThrow();
    // Today's layout has its own merger (CurrentStoreMerger); these inserts
    // would name tables it does not have.
    if (m_db.isCurrentLayout())
        throw std::logic_error("OldStoreMerger: the old-layout merge was called on a store of today's layout.");
}

void OldStoreMerger::prepareThrow()
{
    checkWritableThrow();
}

qint64 OldStoreMerger::chatKeyThrow(const _ViberChat* chat)
{
    qint64 key = findChatSlowThrow(chat);
    if (key == 0)
        key = insertChatThrow(chat);
    saveChatMembersThrow(key, chat->members.values());
    return key;
}

qint64 OldStoreMerger::addMessageThrow(qint64 chatKey, const _ViberMsg& m, qint64& attaKey)
{
    qint64 atta = 0, loc = 0;
    attaKey = 0;
    // Without a token the content decides: time alone would fold different
    // messages of one minute into one.
    if (findMsgThrow(m, chatKey, atta) != 0)
        return 0;
    const qint64 key = insertMsgThrow(chatKey, &m, atta, loc);
    attaKey = key > 0 ? atta : 0;
    if (attaKey > 0 && m.atta && !m.atta->iosAssetUID().isEmpty())
        setAttaAssetUrlNullThrow(attaKey);
    return key;
}

bool OldStoreMerger::addCallThrow(qint64, const _ViberCall& call)
{
    // The transfer puts the device's own calls back on new lines: their
    // counts are due whether or not this call is new.
    m_callsSeen = true;
    if (hasCallThrow(m_db, call.token, call.type, QString(), call.date))
        return false;
    return saveCallThrow(&call) > 0;
}

void OldStoreMerger::finishThrow()
{
    // The scratch copy goes before the statistics and the integrity check.
    m_db.executeThrow(QStringLiteral("DROP TABLE IF EXISTS temp.") + g_sqlQuoteIdent(kKept));
    updateChatStatThrow();
    if (m_callsSeen)
        updateCallRecentLinesStatThrow();
    updatePrimaryKeyStatThrow();
    // Our own databases keep the look-up indexes; a phone's store gets back
    // the schema it had.
    if (!m_db.isLocalDb())
        m_db.dropMadeLookupIndexesThrow();
}

bool OldStoreMerger::hasCallThrow(IOSViberDb& db, qint64 token, int kind, const QString& typeText, double date)
{
    const QByteArray typeUtf8 = typeText.toUtf8();
    Sqlite3Cursor c =
        db.queryThrow(Sqlite3Sql("select ZCALLTYPE, ZDATE from ZRECENT where ZCALLTOKEN=?").addInt64Param(token));
    while (c.moveNext()) {
        const QByteArrayView other = c.getUtf8(0);
        const bool sameKind = kind != 0 ? g_callTypeOfText(other) == kind : other == QByteArrayView(typeUtf8);
        if (sameKind && (token != 0 || qAbs(c.getDouble(1) - date) < 1))
            return true;
    }
    return false;
}

OldStoreMerger::ExistingRows OldStoreMerger::existingRowsThrow(IOSViberDb& from, bool withCalls)
{
    ExistingRows rows;
    // Attachment and location rows are read apart: a join would repeat a
    // message once per attachment. The messages' values stay in the store
    // (see clearForRewriteThrow); only what orders them is read.
    {
        Sqlite3Cursor c = from.queryThrow(Sqlite3Sql("select * from ZVIBERMESSAGE"));
        const int key = c.colIndex(QStringLiteral("Z_PK"));
        const int token = c.colIndex(QStringLiteral("ZTOKEN"));
        const int date = c.colIndex(QStringLiteral("ZDATE"));
        while (c.moveNext())
            rows.messages.push_back({c.getValue(key).toLongLong(), c.getValue(token).toLongLong(), c.getValue(date).toDouble()});
    }
    {
        Sqlite3Cursor c = from.queryThrow(Sqlite3Sql("select ZMESSAGE, Z_PK from ZATTACHMENT where ZMESSAGE > 0"));
        while (c.moveNext())
            rows.attasOf.insert(c.getInt64(0), c.getInt64(1));
        Sqlite3Cursor l = from.queryThrow(Sqlite3Sql("select ZMESSAGE, Z_PK from ZVIBERLOCATION where ZMESSAGE > 0"));
        while (l.moveNext())
            rows.locsOf.insert(l.getInt64(0), l.getInt64(1));
    }
    if (withCalls) {
        Sqlite3Cursor c = from.queryThrow(Sqlite3Sql("select r.*, l.ZPHONENUMINDEX from ZRECENT as r inner join "
                                                     "ZRECENTSLINE as l on r.ZRECENTSLINE=l.Z_PK"));
        while (c.moveNext())
            rows.calls.push_back(c.getRow());
    }
    return rows;
}

void OldStoreMerger::clearForRewriteThrow(bool calls)
{
    checkWritableThrow();
    // The rows wait in SQLite itself, so their values go back exactly as
    // they were, with no round trip through our own types.
    const QString kept = QStringLiteral("temp.") + g_sqlQuoteIdent(kKept);
    m_db.executeThrow(QStringLiteral("DROP TABLE IF EXISTS ") + kept);
    m_db.executeThrow(QStringLiteral("CREATE TABLE %1 AS SELECT Z_PK AS %2, * FROM main.ZVIBERMESSAGE")
                          .arg(kept, g_sqlQuoteIdent(kKeptKey)));
    m_db.executeThrow(QStringLiteral("CREATE INDEX temp.%1 ON %2 (%3)")
                          .arg(g_sqlQuoteIdent(kKept + QStringLiteral("_key")), g_sqlQuoteIdent(kKept), g_sqlQuoteIdent(kKeptKey)));
    m_db.executeThrow(Sqlite3Sql("DELETE FROM [ZVIBERMESSAGE]"));
    if (calls) {
        m_db.executeThrow(Sqlite3Sql("DELETE FROM [ZRECENT]"));
        m_db.executeThrow(Sqlite3Sql("DELETE FROM [ZRECENTSLINE]"));
    }
    m_db.executeThrow(Sqlite3Sql("VACUUM"));
    m_db.executeThrow(Sqlite3Sql("BEGIN IMMEDIATE"));
}

void OldStoreMerger::putBackMessageThrow(const KeptMessage& kept, const ExistingRows& rows)
{
    MergeStatements& st = statements();
    // A row of the device is only a duplicate of a transferred message with
    // the same token; rows without a token are all kept.
    if (kept.token == 0 || findMsgKeyThrow(kept.token, kept.date) == 0) {
        if (m_putBackSql.isEmpty())
            m_putBackSql = putBackSql();
        Sqlite3Statement& put = st.get(m_db, MergeStatements::PutBack, m_putBackSql);
        put.bindInt64(1, kept.key).execute();
        // Keys are unique in a store the app made; a crafted one stops here.
        if (m_db.changes() != 1)
            g_raise(QStringLiteral("The store's message %1 cannot be written again: its key is missing or not unique.")
                        .arg(kept.key));
        const qint64 key = m_db.lastInsertId();
        for (const qint64 attaId : rows.attasOf.values(kept.key))
            st.get(m_db, MergeStatements::MoveAtta, QStringLiteral("update ZATTACHMENT set ZMESSAGE=? where Z_PK=?"))
                .bindInt64(1, key)
                .bindInt64(2, attaId)
                .execute();
        for (const qint64 locId : rows.locsOf.values(kept.key))
            st.get(m_db, MergeStatements::MoveLocation, QStringLiteral("update ZVIBERLOCATION set ZMESSAGE=? where Z_PK=?"))
                .bindInt64(1, key)
                .bindInt64(2, locId)
                .execute();
    } else {
        for (const qint64 attaId : rows.attasOf.values(kept.key))
            st.get(m_db, MergeStatements::DropAtta, QStringLiteral("delete from ZATTACHMENT where Z_PK=?"))
                .bindInt64(1, attaId)
                .execute();
        for (const qint64 locId : rows.locsOf.values(kept.key))
            st.get(m_db, MergeStatements::DropLocation, QStringLiteral("delete from ZVIBERLOCATION where Z_PK=?"))
                .bindInt64(1, locId)
                .execute();
    }
}

QString OldStoreMerger::putBackSql()
{
    // Every column but the key, which the store hands out anew.
    QStringList cols;
    for (const _SqliteCol& c : m_db.tbCols(QStringLiteral("ZVIBERMESSAGE"))) {
        if (c.name.compare(QLatin1String("Z_PK"), Qt::CaseInsensitive) != 0)
            cols << g_sqlQuoteIdent(c.name);
    }
    const QString list = cols.join(u',');
    return QStringLiteral("INSERT INTO main.ZVIBERMESSAGE (%1) SELECT %1 FROM temp.%2 WHERE %3=?")
        .arg(list, g_sqlQuoteIdent(kKept), g_sqlQuoteIdent(kKeptKey));
}

void OldStoreMerger::putBackCallThrow(Sqlite3Row row)
{
    m_callsSeen = true;
    const qint64 pni = rowInt(row, "ZPHONENUMINDEX");
    if (pni == 0)
        return;
    const QString typeText = row.val(QStringLiteral("ZCALLTYPE")).toString();
    if (hasCallThrow(m_db, rowInt(row, "ZCALLTOKEN"), g_callTypeOfText(typeText.toUtf8()), typeText,
                     row.val(QStringLiteral("ZDATE")).toDouble()))
        return;
    qint64 line = 0;
    {
        Sqlite3Cursor c = m_db.queryThrow(
            Sqlite3Sql("select Z_PK from ZRECENTSLINE where ZPHONENUMINDEX=? order by ZDATE desc limit 1").addInt64Param(pni));
        if (c.moveNext())
            line = c.getInt64(0);
    }
    if (line == 0) {
        m_db.executeThrow(Sqlite3Sql("insert into ZRECENTSLINE (Z_ENT, Z_OPT, ZPHONENUMINDEX) values (?, 1, ?)")
                              .addIntParam(m_db.entities().value(QStringLiteral("RecentsLine"), 0))
                              .addInt64Param(pni));
        line = m_db.lastInsertId();
    }
    row.setVal(QStringLiteral("ZRECENTSLINE"), line);
    static const QSet<QString> kNotOfRecent{QStringLiteral("Z_PK"), QStringLiteral("ZPHONENUMINDEX")};
    statements().insertRowThrow(m_db, QStringLiteral("ZRECENT"), row, kNotOfRecent);
}
