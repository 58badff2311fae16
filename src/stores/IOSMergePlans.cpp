#include "stores/IOSMergePlans.h"

#include "model/ViberRecords.h"

#include "sqlite/Sqlite3Row.h"

#include <stdexcept>

RowPlan::RowPlan(const DbSchema& schema, const QString& table, const QStringList& cols) : m_table(table), m_cols(cols)
{
    if (cols.size() > 64)
        throw std::logic_error("RowPlan: too many columns");
    const DbSchemaTable t = schema.table(table);
    for (int i = 0; i < cols.size(); ++i) {
        if (t.containsCol(cols.at(i)))
            m_present |= quint64(1) << i;
    }
}

RowPlan::RowPlan(const DbSchema& schema, const QString& table, const QStringList& cols, const QString& into)
    : RowPlan(schema, table, cols)
{
    m_into = into;
}

QString RowPlan::text(quint64 mask) const
{
    QStringList names, marks;
    for (int i = 0; i < m_cols.size(); ++i) {
        if ((mask >> i) & 1U) {
            names << g_sqlQuoteIdent(m_cols.at(i));
            marks << QStringLiteral("?");
        }
    }
    const QString target = m_into.isEmpty() ? g_sqlQuoteIdent(m_table) : m_into;
    return names.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(target)
                           : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                 .arg(target, names.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
}

Sqlite3Statement& RowPlan::statementThrow(Sqlite3DB& db, quint64 mask)
{
    Sqlite3Statement& st = m_statements[mask];
    if (!st.isValid() || st.connection() != db.handle())
        st = Sqlite3Statement(db, text(mask));
    return st;
}

void RowValues::insertThrow(Sqlite3DB& db)
{
    Sqlite3Statement& st = m_plan.statementThrow(db, m_mask);
    int param = 0;
    try {
        for (int i = 0; i < m_vals.size(); ++i) {
            if ((m_mask >> i) & 1U)
                st.bindVariant(++param, m_vals.at(i));
        }
        st.execute();
    } catch (...) {
        st.reset();
        throw;
    }
}

Sqlite3Statement& MergeStatements::get(Sqlite3DB& db, Which which, const QString& sql)
{
    Sqlite3Statement& st = m_statements[which];
    if (!st.isValid() || st.connection() != db.handle())
        st = Sqlite3Statement(db, sql);
    return st;
}

void MergeStatements::insertRowThrow(Sqlite3DB& db, const QString& table, const Sqlite3Row& row,
                                     const QSet<QString>& exclude)
{
    const QMap<QString, QVariant>& vals = row.values();
    QStringList cols;
    cols.reserve(vals.size());
    for (auto it = vals.cbegin(); it != vals.cend(); ++it) {
        if (!exclude.contains(it.key()))
            cols << it.key();
    }
    RowInsert& ins = m_rowInserts[table];
    if (ins.cols != cols || !ins.statement.isValid() || ins.statement.connection() != db.handle()) {
        ins.statement = Sqlite3Statement(db, row.insertSql(table, exclude).sql());
        ins.cols = cols;
    }
    Sqlite3Statement& st = ins.statement;
    int param = 0;
    try {
        for (auto it = vals.cbegin(); it != vals.cend(); ++it) {
            if (!exclude.contains(it.key()))
                st.bindVariant(++param, it.value());
        }
        st.execute();
    } catch (...) {
        st.reset();
        throw;
    }
}

void g_bindMessageContent(Sqlite3Statement& q, qint64 chatKey, qint64 seconds, const _ViberMsg& m)
{
    const bool located = m.latitude() != 0 && m.longitude() != 0;
    q.bindInt64(1, chatKey)
        .bindInt64(2, seconds - 60)
        .bindInt64(3, seconds + 60)
        .bindText(4, m.text)
        .bindDouble(5, located ? m.latitude() : 0.0)
        .bindDouble(6, located ? m.longitude() : 0.0);
}
