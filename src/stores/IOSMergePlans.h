#pragma once

#include "sqlite/DbSchema.h"
#include "sqlite/Sqlite3Statement.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVarLengthArray>
#include <QVariant>

#include <array>
#include <map>
#include <unordered_map>

// The INSERT of one table over a fixed list of wanted columns. Columns the
// store lacks are dropped once; values a row leaves unset are left out of its
// statement. Each set of columns is prepared once and reused, so rows of the
// same shape cost a bind and a step, not a statement.
class RowPlan
{
public:
    RowPlan() = default;
    RowPlan(const DbSchema& schema, const QString& table, const QStringList& cols);
    // Rows of table's columns written into another table (a scratch table
    // of the same columns); into is used in the SQL as it stands.
    RowPlan(const DbSchema& schema, const QString& table, const QStringList& cols, const QString& into);

    bool has(int col) const { return col >= 0 && col < 64 && ((m_present >> col) & 1U); }
    int size() const { return int(m_cols.size()); }
    const QString& table() const { return m_table; }
    // The text inserting exactly the columns of mask (bit i = column i).
    QString text(quint64 mask) const;
    // That insert prepared on db's connection.
    Sqlite3Statement& statementThrow(Sqlite3DB& db, quint64 mask);

private:
    QString m_table;
    QString m_into; // the quoted target, when not table itself
    QStringList m_cols;
    quint64 m_present = 0;
    std::unordered_map<quint64, Sqlite3Statement> m_statements;
};

// The values of one row of a RowPlan.
class RowValues
{
public:
    explicit RowValues(RowPlan& plan) : m_plan(plan), m_vals(plan.size()) {}

    bool has(int col) const { return m_plan.has(col); }
    // Ignored when the store lacks the column.
    void set(int col, const QVariant& v)
    {
        if (!m_plan.has(col))
            return;
        m_vals[col] = v;
        m_mask |= quint64(1) << col;
    }
    // Inserts the row; the new row's key is the connection's last insert id.
    void insertThrow(Sqlite3DB& db);

private:
    RowPlan& m_plan;
    // Inline for the tables merged here (at most a few dozen columns): a
    // row is made per message, and a heap block for each showed in profiles.
    QVarLengthArray<QVariant, 32> m_vals;
    quint64 m_mask = 0;
};

// The look-ups and updates a merge runs for every message or call, each
// prepared the first time it is needed on the current connection.
class Sqlite3Row;
class MergeStatements
{
public:
    enum Which { MsgByToken, MsgByContent, MsgByVoiceContent, AttaOfMsg, LineOfNumber, CallByToken, CallByTime, VoiceName,
                 LinkLocation, LinkAttachment, LinkBoth, MoveAtta, MoveLocation, DropAtta, DropLocation, PutBack, Count };
    // sql is only read when the statement has to be prepared.
    Sqlite3Statement& get(Sqlite3DB& db, Which which, const QString& sql);
    // Inserts row into table as Sqlite3Row::insertSql would. Rows read by
    // one query share their columns, so the insert is prepared once per
    // table and column list, not once per row.
    void insertRowThrow(Sqlite3DB& db, const QString& table, const Sqlite3Row& row, const QSet<QString>& exclude);

private:
    struct RowInsert
    {
        QStringList cols;
        Sqlite3Statement statement;
    };
    std::array<Sqlite3Statement, Count> m_statements;
    std::map<QString, RowInsert> m_rowInserts; // by table
};

// Everything one merge batch prepares once: the row plans of the tables it
// inserts into and the person keys it has resolved.
struct _ViberMsg;
// Binds what both layouts match a message without a token by, as the first
// six parameters of a look-up: chat key, the minute around its time (two
// bounds), text, and place (0, 0 when it has none).
void g_bindMessageContent(Sqlite3Statement& q, qint64 chatKey, qint64 seconds, const _ViberMsg& m);

struct IOSMergePlans
{
    RowPlan person, chat, recentsLine, recent, msg, location, atta;
    RowPlan contact; // ZABCONTACT: the name a phone's store shows for a number
    // Entity numbers and optional links, looked up once instead of per row.
    int msgEnt = 0, locationEnt = 0, attaEnt = 0, recentEnt = 0, lineEnt = 0, contactEnt = 0;
    bool msgLinksLocation = false, msgLinksAtta = false;
    QHash<QString, qint64> personKeys; // viberPlainNumber -> Z_PK
    // viberPlainNumber -> ZRECENTSLINE.Z_PK: the line a number's calls go
    // to. Line dates change only at the end of a batch, so the line found
    // or made for a number stays the one its next call would find.
    QHash<QString, qint64> lineKeys;
};
