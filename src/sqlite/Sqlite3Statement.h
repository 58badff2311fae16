#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

struct sqlite3;
struct sqlite3_stmt;
class Sqlite3DB;

// One statement prepared once and run many times, for loops that write or
// look up row after row: values are bound in place (no parameter list, no
// look-up of the statement by its text) and the statement is reset after
// each run. Parameters count from 1, result columns from 0. Bind again
// after reset(); values not bound again are NULL. Operations raise
// std::runtime_error with SQLite's text. Keep it shorter-lived than the
// connection's use: it belongs to the connection open when it was made.
class Sqlite3Statement
{
public:
    Sqlite3Statement() = default;
    Sqlite3Statement(Sqlite3DB& db, const QString& sql);
    ~Sqlite3Statement();
    Sqlite3Statement(Sqlite3Statement&& other) noexcept;
    Sqlite3Statement& operator=(Sqlite3Statement&& other) noexcept;
    Sqlite3Statement(const Sqlite3Statement&) = delete;
    Sqlite3Statement& operator=(const Sqlite3Statement&) = delete;

    bool isValid() const { return m_stmt != nullptr; }
    // The connection this statement was prepared on.
    sqlite3* connection() const { return m_db; }

    Sqlite3Statement& bindInt64(int index, qint64 v);
    Sqlite3Statement& bindDouble(int index, double v);
    // A null QString binds as an empty text, as Sqlite3Sql::addTextParam.
    Sqlite3Statement& bindText(int index, const QString& v);
    Sqlite3Statement& bindBlob(int index, const QByteArray& v);
    Sqlite3Statement& bindNull(int index);
    // By the value's type, as Sqlite3Sql::addParam binds it.
    Sqlite3Statement& bindVariant(int index, const QVariant& v);

    // Runs to the next row: true while there is one.
    bool step();
    // Runs a statement that returns no rows (or ignores them), then resets.
    void execute();
    // Ready for the next run with new values.
    void reset();

    bool isNull(int col) const;
    qint64 int64(int col) const;

private:
    void check(int rc) const;

    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_stmt = nullptr;
};
