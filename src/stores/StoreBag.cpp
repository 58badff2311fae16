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
            m_cols << Found{name, name.toUtf8(), index, c.kind};
    }
}

bool StoreBag::onlyFirstInt(const Sqlite3Cursor& row) const
{
    if (m_cols.isEmpty() || m_cols.constFirst().kind != Int)
        return false;
    for (qsizetype i = 1; i < m_cols.size(); ++i) {
        const Found& c = m_cols.at(i);
        if (c.kind == IntUnlessNull && row.isNull(c.index))
            continue;
        if (c.kind == BytesUnlessEmpty && row.byteCount(c.index) == 0)
            continue;
        return false;
    }
    return true;
}

QByteArray StoreBag::bag(const Sqlite3Cursor& row)
{
    if (m_other >= 0)
        return row.getBlob(m_other);
    if (onlyFirstInt(row)) {
        const Found& first = m_cols.constFirst();
        const int v = row.getInt(first.index);
        auto it = m_singleInt.constFind(v);
        if (it != m_singleInt.cend())
            return *it;
        const QByteArray bag = TinyKVSerializer::ser({{first.name, v}});
        if (m_singleInt.size() < 1024)
            m_singleInt.insert(v, bag);
        return bag;
    }
    TinyKVWriter out;
    for (const Found& c : std::as_const(m_cols)) {
        switch (c.kind) {
        case Int:
            out.addInt(c.key, row.getInt(c.index));
            break;
        case Int64:
            out.addInt64(c.key, row.getInt64(c.index));
            break;
        case IntUnlessNull:
            if (!row.isNull(c.index))
                out.addInt(c.key, row.getInt(c.index));
            break;
        case Text: {
            // The bytes as QString would give them back: a byte order mark
            // at the start goes, malformed bytes become replacement marks.
            const QByteArrayView utf8 = row.getUtf8(c.index);
            if (utf8.isValidUtf8() && !utf8.startsWith("\xEF\xBB\xBF"))
                out.addString(c.key, utf8);
            else
                out.addString(c.key, row.getText(c.index).toUtf8());
            break;
        }
        case BytesUnlessEmpty: {
            const QByteArray b = row.getBlob(c.index);
            if (!b.isEmpty())
                out.addBinary(c.key, b);
            break;
        }
        }
    }
    return out.take();
}
