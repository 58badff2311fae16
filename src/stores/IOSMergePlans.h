#pragma once

#include "model/DbSchema.h"
#include "model/Sqlite3Sql.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

// The INSERT of one table over a fixed list of wanted columns. Columns the
// store lacks are dropped once; values a row leaves unset are left out of its
// statement. Texts are kept per set of columns, so rows of the same shape
// give the same text and the connection reuses its prepared statement.
class RowPlan
{
public:
    RowPlan() = default;
    RowPlan(const DbSchema& schema, const QString& table, const QStringList& cols);

    bool has(int col) const { return col >= 0 && col < 64 && ((m_present >> col) & 1U); }
    int size() const { return int(m_cols.size()); }
    const QString& table() const { return m_table; }
    // The text inserting exactly the columns of mask (bit i = column i).
    const QString& text(quint64 mask) const;

private:
    QString m_table;
    QStringList m_cols;
    quint64 m_present = 0;
    mutable QHash<quint64, QString> m_texts;
};

// The values of one row of a RowPlan.
class RowValues
{
public:
    explicit RowValues(const RowPlan& plan) : m_plan(plan), m_vals(plan.size()) {}

    bool has(int col) const { return m_plan.has(col); }
    // Ignored when the store lacks the column.
    void set(int col, const QVariant& v)
    {
        if (!m_plan.has(col))
            return;
        m_vals[col] = v;
        m_mask |= quint64(1) << col;
    }
    Sqlite3Sql sql() const;

private:
    const RowPlan& m_plan;
    QList<QVariant> m_vals;
    quint64 m_mask = 0;
};

// Everything one merge batch prepares once: the row plans of the tables it
// inserts into and the person keys it has resolved.
struct IOSMergePlans
{
    RowPlan person, chat, recentsLine, recent, msg, location, atta;
    QHash<QString, qint64> personKeys; // viberPlainNumber -> Z_PK
};
