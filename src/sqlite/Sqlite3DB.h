#pragma once

#include "sqlite/Sqlite3Cursor.h"
#include "sqlite/Sqlite3Sql.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <memory>

struct sqlite3;
class Sqlite3Conn;

// One column of a table as PRAGMA table_info describes it.
struct _SqliteCol
{
    QString name;
    QString type;
    bool notNull = false;
    QVariant defaultValue;
    int pk = 0; // position in the primary key, 0 when not part of it
};

// The version of this access layer; start-up requires 6.
int sqlite_qt_version();

// Largest string or blob a connection reads or writes. Stores are hostile
// input: a crafted row must fail with a clear error instead of exhausting
// memory.
constexpr int kSqliteMaxValueBytes = 64 * 1024 * 1024;

// How long a connection waits for another process's lock (two backups into
// one database) before it gives up with "database is locked".
constexpr int kSqliteBusyTimeoutMs = 30 * 1000;

// A connection to one SQLite file; the handle is null while closed. Operations
// ending in Throw raise std::runtime_error with SQLite's error text.
class Sqlite3DB
{
public:
    Sqlite3DB();
    virtual ~Sqlite3DB();
    Sqlite3DB(const Sqlite3DB&) = delete;
    Sqlite3DB& operator=(const Sqlite3DB&) = delete;

    // flags are SQLite open flags: 2 read-write (the file must exist), 6 also
    // creates it (SQLITE_OPEN_NOFOLLOW may be added). An open connection is
    // closed first.
    void openThrow(const QString& path, int flags);
    void close();
    sqlite3* handle() const;
    bool isOpen() const { return handle() != nullptr; }

    Sqlite3Cursor queryThrow(const Sqlite3Sql& sql);
    void executeThrow(const Sqlite3Sql& sql);
    // Runs a script of several statements; 0 on success, else SQLite's result
    // code with err set. Never throws.
    int exec(const QString& sql, QString& err);

    qint64 lastInsertId() const;
    int changes() const;

    [[nodiscard]] bool beginTran();
    [[nodiscard]] bool commitTran();
    bool rollbackTran();

    QList<_SqliteCol> tbCols(const QString& table);

private:
    std::shared_ptr<Sqlite3Conn> m_conn;
};
