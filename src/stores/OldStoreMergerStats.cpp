// The statistics a merge brings up to date at the end of its batch.
#include "stores/OldStoreMerger.h"

#include <QStringList>

void OldStoreMerger::updateChatStatThrow()
{
    checkWritableThrow();
    auto msgCol = [&](const char* col) {
        return m_db.schema().containsCol(QStringLiteral("ZVIBERMESSAGE"), QString::fromLatin1(col))
                   ? QStringLiteral("m.") + QString::fromLatin1(col)
                   : QStringLiteral("NULL as ") + QString::fromLatin1(col);
    };
    struct Pick
    {
        qint64 token = 0;
        qint64 sender = 0;
        double date = 0;
        QString text;
        QString type;
        QByteArray emoticons;
        QByteArray ranges;
    };
    // One pass in key order, no sort: of a chat's messages of the same
    // time the one with the lowest key wins, as it did in the order of the
    // chat's index.
    QHash<qint64, Pick> picks;
    {
        Sqlite3Cursor c = m_db.queryThrow(QStringLiteral("select m.Z_PK, m.ZCONVERSATION, m.ZTOKEN, m.ZPHONENUMINDEX, m.ZDATE, "
                                                    "m.ZTEXT, m.ZSYSTEMTYPE, %1, %2, a.ZTYPE from ZVIBERMESSAGE as m "
                                                    "left join ZATTACHMENT as a on m.Z_PK=a.ZMESSAGE")
                                         .arg(msgCol("ZEMOTICONSRANGES"), msgCol("ZRANGES")));
        while (c.moveNext()) {
            const qint64 conv = c.getInt64(1);
            if (conv < 1)
                continue; // a message of no conversation forms none of its own
            Pick& p = picks[conv];
            const double date = c.getDouble(4);
            if (!(date > p.date))
                continue;
            p.token = c.getInt64(2);
            p.sender = c.getInt64(3);
            p.date = date;
            p.text = c.getText(5);
            const QString sys = c.getText(6), attaType = c.getText(9);
            p.type = !sys.isEmpty() ? sys : !attaType.isEmpty() ? attaType : QStringLiteral("text");
            p.emoticons = c.getBlob(7);
            p.ranges = c.getBlob(8);
        }
    }
    // Only the columns this store has; ZDATE is always there.
    QStringList sets;
    for (const char* col : {"ZLASTMESSAGETOKEN", "ZLASTMESSAGESENDER", "ZDATE", "ZLASTMESSAGETEXT", "ZLASTMESSAGETYPE",
                            "ZLASTMESSAGEEMOTICONSRANGES", "ZLASTMESSAGERANGES"}) {
        const QString name = QString::fromLatin1(col);
        sets << (m_db.schema().containsCol(QStringLiteral("ZCONVERSATION"), name) ? name + QStringLiteral("=?")
                                                                           : QString());
    }
    QStringList present;
    for (const QString& s : sets) {
        if (!s.isEmpty())
            present << s;
    }
    const QString update = QStringLiteral("update ZCONVERSATION set %1 where Z_PK=?").arg(present.join(QStringLiteral(", ")));
    QList<qint64> convs;
    {
        Sqlite3Cursor c = m_db.queryThrow("select Z_PK from ZCONVERSATION");
        while (c.moveNext())
            convs << c.getInt64(0);
    }
    for (qint64 conv : std::as_const(convs)) {
        const Pick p = picks.value(conv);
        const QVariant values[] = {p.token,
                                   p.sender >= 1 ? QVariant(p.sender) : QVariant(),
                                   p.date,
                                   p.text,
                                   p.type,
                                   p.emoticons.isEmpty() ? QVariant() : QVariant(p.emoticons),
                                   p.ranges.isEmpty() ? QVariant() : QVariant(p.ranges)};
        Sqlite3Sql sql(update);
        for (int i = 0; i < sets.size(); ++i) {
            if (!sets.at(i).isEmpty())
                sql.addParam(values[i]);
        }
        m_db.executeThrow(sql.addInt64Param(conv));
    }
}

void OldStoreMerger::updateCallRecentLinesStatThrow()
{
    checkWritableThrow();
    struct Line
    {
        qint64 count = 0;
        double date = 0;
        QString type;
    };
    QList<QPair<qint64, Line>> lines;
    {
        Sqlite3Cursor c = m_db.queryThrow("select Z_PK,ZRECENTSLINE,ZDATE,ZCALLTYPE from ZRECENT order by ZRECENTSLINE asc");
        while (c.moveNext()) {
            const qint64 line = c.getInt64(1);
            if (line < 1)
                continue; // a call of no line forms none of its own
            if (lines.isEmpty() || lines.constLast().first != line)
                lines.append({line, Line()});
            Line& l = lines.last().second;
            ++l.count;
            const double date = c.getDouble(2);
            if (date > l.date) {
                l.date = date;
                l.type = c.getText(3);
            }
        }
    }
    for (const auto& [key, l] : std::as_const(lines)) {
        m_db.executeThrow(Sqlite3Sql("update ZRECENTSLINE set ZCOUNT=?, ZDATE=?, ZCALLTYPE=? where Z_PK=?")
                         .addInt64Param(l.count)
                         .addDoubleParam(l.date)
                         .addTextParam(l.type)
                         .addInt64Param(key));
    }
}

void OldStoreMerger::updatePrimaryKeyStatThrow()
{
    checkWritableThrow();
    const char* const pairs[][2] = {{"ZABCONTACT", "ABContact"},         {"ZATTACHMENT", "Attachment"},
                                    {"ZCONVERSATION", "Conversation"},
                                    {"ZPHONENUMBERINDEX", "PhoneNumberIndex"}, {"ZRECENT", "Recent"},
                                    {"ZRECENTSLINE", "RecentsLine"},     {"ZVIBERLOCATION", "ViberLocation"},
                                    {"ZVIBERMESSAGE", "ViberMessage"}};
    for (const auto& pair : pairs) {
        const QString table = QString::fromLatin1(pair[0]);
        if (!m_db.schema().containsTable(table))
            continue;
        // An empty table keeps its counter: Core Data reads no NULL there.
        m_db.executeThrow(Sqlite3Sql(QStringLiteral("update Z_PRIMARYKEY set Z_MAX=coalesce((select max(Z_PK) from %1), Z_MAX) "
                                               "where Z_NAME=?")
                                    .arg(table))
                         .addTextParam(QString::fromLatin1(pair[1])));
    }
}
