#include "stores/StoreBag.h"

#include "model/TinyKVSerializer.h"

StoreBag::StoreBag(const Sqlite3Cursor& query, std::initializer_list<Col> cols)
{
    m_other = query.colIndex(QStringLiteral("_other"));
    if (m_other >= 0)
        return;
    for (const Col& c : cols) {
        const QString name = QString::fromLatin1(c.name);
        const int index = query.colIndex(name);
        if (index >= 0)
            m_cols << Found{name, index, c.kind};
    }
}

QByteArray StoreBag::bag(const Sqlite3Cursor& row)
{
    if (m_other >= 0)
        return row.getBlob(m_other);
    QHash<QString, QVariant> values;
    for (const Found& c : std::as_const(m_cols)) {
        switch (c.kind) {
        case Int:
            values.insert(c.name, row.getInt(c.index));
            break;
        case Int64:
            values.insert(c.name, row.getInt64(c.index));
            break;
        case IntUnlessNull:
            if (!row.isNull(c.index))
                values.insert(c.name, row.getInt(c.index));
            break;
        case Text:
            values.insert(c.name, row.getText(c.index));
            break;
        case BytesUnlessEmpty: {
            const QByteArray b = row.getBlob(c.index);
            if (!b.isEmpty())
                values.insert(c.name, b);
            break;
        }
        }
    }
    if (values.size() == 1 && !m_cols.isEmpty() && m_cols.constFirst().kind == Int
        && values.contains(m_cols.constFirst().name)) {
        const qint64 v = values.constBegin()->toLongLong();
        auto it = m_singleInt.find(v);
        if (it == m_singleInt.end()) {
            if (m_singleInt.size() >= 1024)
                return TinyKVSerializer::ser(values);
            it = m_singleInt.insert(v, TinyKVSerializer::ser(values));
        }
        return *it;
    }
    return TinyKVSerializer::ser(values);
}
