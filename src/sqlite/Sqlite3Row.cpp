#include "sqlite/Sqlite3Row.h"

#include <QStringList>

QString g_sqlQuoteIdent(const QString& name)
{
    QString q = name;
    q.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

Sqlite3Sql Sqlite3Row::insertSql(const QString& table, const QSet<QString>& exclude) const
{
    QStringList cols;
    QStringList marks;
    QList<QVariant> vals;
    for (auto it = m_vals.cbegin(); it != m_vals.cend(); ++it) {
        if (exclude.contains(it.key()))
            continue;
        cols << g_sqlQuoteIdent(it.key());
        marks << QStringLiteral("?");
        vals << it.value();
    }
    const QString text = cols.isEmpty()
                             ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(g_sqlQuoteIdent(table))
                             : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                   .arg(g_sqlQuoteIdent(table), cols.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
    Sqlite3Sql sql(text);
    for (const QVariant& v : vals)
        sql.addParam(v);
    return sql;
}
