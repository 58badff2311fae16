#pragma once

#include "sqlite/Sqlite3Row.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>

#include <memory>

struct Sqlite3Stmt;

// The rows of one query, before the first row until moveNext(). Columns are
// found by their result name (after aliasing) without regard to case, as
// SQLite itself treats identifiers. A column the result lacks reads as 0 or
// empty, and so does NULL. Copies share the same position.
class Sqlite3Cursor
{
public:
    Sqlite3Cursor() = default;
    explicit Sqlite3Cursor(std::shared_ptr<Sqlite3Stmt> stmt);

    // Steps to the next row; false after the last. Raises on SQLite errors.
    bool moveNext();

    int colCount() const { return int(m_names.size()); }
    QString colName(int index) const { return m_names.value(index); }
    // Index of the first result column of that name, -1 when there is none.
    // Loops over many rows look the index up once and read by index.
    int colIndex(const QString& name) const;
    bool containsCol(const QString& name) const { return colIndex(name) >= 0; }

    bool isNull(int index) const;
    int getInt(int index) const;
    qint64 getInt64(int index) const;
    double getDouble(int index) const;
    QString getText(int index) const;
    QByteArray getBlob(int index) const;
    // Size in bytes of a text or blob value (0 for NULL).
    int byteCount(int index) const;
    // The UTF-8 bytes of a text value, valid until the cursor moves.
    QByteArrayView getUtf8(int index) const;

    bool isNull(const QString& name) const { return isNull(colIndex(name)); }
    int getInt(const QString& name) const { return getInt(colIndex(name)); }
    qint64 getInt64(const QString& name) const { return getInt64(colIndex(name)); }
    double getDouble(const QString& name) const { return getDouble(colIndex(name)); }
    QString getText(const QString& name) const { return getText(colIndex(name)); }
    QByteArray getBlob(const QString& name) const { return getBlob(colIndex(name)); }

    // One column as getRow() has it: integer, double, text, blob or null.
    QVariant getValue(int index) const;
    // The current row, every column by its result name.
    Sqlite3Row getRow() const;

private:
    bool onRow(int index) const;

    std::shared_ptr<Sqlite3Stmt> m_stmt;
    QList<QString> m_names;
    QHash<QString, int> m_exact;
    QHash<QString, int> m_lower;
    bool m_onRow = false;
};
