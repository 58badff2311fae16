// Indexes for the look-ups of a merge. Stores from the phone and local
// databases made by older versions lack some of them; without them each
// call, chat or message look-up scans its whole table.
#include "stores/IOSViberDb.h"

#include "sqlite/Sqlite3Row.h"

namespace {
struct LookupIndex
{
    const char* name;
    const char* table;
    std::initializer_list<const char*> cols;
};

// An index whose leading columns are these serves the look-up; the join
// table's is added separately, its names depend on the entity numbers.
const LookupIndex kIndexes[] = {
    {"FW_ZVIBERMESSAGE_ZTOKEN", "ZVIBERMESSAGE", {"ZTOKEN"}},
    {"FW_ZATTACHMENT_ZMESSAGE", "ZATTACHMENT", {"ZMESSAGE"}},
    {"FW_ZRECENT_ZCALLTOKEN_ZCALLTYPE", "ZRECENT", {"ZCALLTOKEN", "ZCALLTYPE"}},
    {"FW_ZRECENT_ZRECENTSLINE", "ZRECENT", {"ZRECENTSLINE"}},
    {"FW_ZRECENTSLINE_ZPHONENUMINDEX", "ZRECENTSLINE", {"ZPHONENUMINDEX"}},
    {"FW_ZPHONENUMBERINDEX_ZCANONIZEDPHONENUM", "ZPHONENUMBERINDEX", {"ZCANONIZEDPHONENUM"}},
    {"FW_ZCONVERSATION_ZGROUPID", "ZCONVERSATION", {"ZGROUPID"}},
    {"FW_ZVIBERMESSAGE_ZCONVERSATION", "ZVIBERMESSAGE", {"ZCONVERSATION"}},
};
} // namespace

bool IOSViberDb::hasIndexLeadingThrow(const QString& table, const QStringList& cols)
{
    // Any index counts, also the one behind a primary key or unique
    // constraint.
    QStringList names;
    {
        Sqlite3Cursor l = queryThrow(QStringLiteral("PRAGMA index_list(%1)").arg(g_sqlQuoteIdent(table)));
        const int nameCol = l.colIndex(QStringLiteral("name"));
        while (l.moveNext())
            names << l.getText(nameCol);
    }
    for (const QString& name : std::as_const(names)) {
        Sqlite3Cursor i = queryThrow(QStringLiteral("PRAGMA index_info(%1)").arg(g_sqlQuoteIdent(name)));
        const int seqCol = i.colIndex(QStringLiteral("seqno"));
        const int colCol = i.colIndex(QStringLiteral("name"));
        QStringList leading(cols.size());
        while (i.moveNext()) {
            const int seq = i.getInt(seqCol);
            if (seq >= 0 && seq < cols.size())
                leading[seq] = i.getText(colCol);
        }
        bool covers = true;
        for (int k = 0; k < cols.size() && covers; ++k)
            covers = leading.at(k).compare(cols.at(k), Qt::CaseInsensitive) == 0;
        if (covers)
            return true;
    }
    return false;
}

void IOSViberDb::ensureLookupIndexesThrow()
{
    openCheckThrow();
    if (m_lookupIndexed || m_currentLayout)
        return;
    auto create = [this](const QString& name, const QString& table, const QStringList& cols) {
        for (const QString& c : cols) {
            if (!m_schema.containsCol(table, c))
                return;
        }
        if (hasIndexLeadingThrow(table, cols))
            return;
        QStringList quoted;
        for (const QString& c : cols)
            quoted << g_sqlQuoteIdent(c);
        executeThrow(QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2 (%3)")
                         .arg(g_sqlQuoteIdent(name), g_sqlQuoteIdent(table), quoted.join(QLatin1Char(','))));
        m_madeIndexes << name;
    };
    for (const LookupIndex& i : kIndexes) {
        QStringList cols;
        for (const char* c : i.cols)
            cols << QString::fromLatin1(c);
        create(QString::fromLatin1(i.name), QString::fromLatin1(i.table), cols);
    }
    // Chats of one person are found from the person's side of the join.
    create(QStringLiteral("FW_%1_%2").arg(m_joinTable, m_joinPersonCol), m_joinTable, {m_joinPersonCol});
    m_lookupIndexed = true;
}

void IOSViberDb::dropMadeLookupIndexesThrow()
{
    for (const QString& name : std::as_const(m_madeIndexes))
        executeThrow(QStringLiteral("DROP INDEX IF EXISTS %1").arg(g_sqlQuoteIdent(name)));
    m_madeIndexes.clear();
    m_lookupIndexed = false;
}
