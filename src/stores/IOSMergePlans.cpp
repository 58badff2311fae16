#include "stores/IOSMergePlans.h"

#include "model/Sqlite3Row.h"

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

const QString& RowPlan::text(quint64 mask) const
{
    auto it = m_texts.find(mask);
    if (it != m_texts.end())
        return *it;
    QStringList names, marks;
    for (int i = 0; i < m_cols.size(); ++i) {
        if ((mask >> i) & 1U) {
            names << g_sqlQuoteIdent(m_cols.at(i));
            marks << QStringLiteral("?");
        }
    }
    const QString sql = names.isEmpty()
                            ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(g_sqlQuoteIdent(m_table))
                            : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                  .arg(g_sqlQuoteIdent(m_table), names.join(QLatin1Char(',')),
                                       marks.join(QLatin1Char(',')));
    return *m_texts.insert(mask, sql);
}

Sqlite3Sql RowValues::sql() const
{
    Sqlite3Sql sql(m_plan.text(m_mask));
    for (int i = 0; i < m_vals.size(); ++i) {
        if ((m_mask >> i) & 1U)
            sql.addParam(m_vals.at(i));
    }
    return sql;
}
