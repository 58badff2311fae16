#pragma once

#include "sqlite/Sqlite3Sql.h"

#include <QHash>
#include <QString>

#include <memory>

struct sqlite3;
struct sqlite3_stmt;

// The open connection shared by a Sqlite3DB and the cursors it handed out, so
// that a cursor outliving close() stays valid. Idle prepared statements are
// kept by their text and reused: the loaders run the same statements many
// times (person look-ups, inserts of a merge).
class Sqlite3Conn
{
public:
    explicit Sqlite3Conn(sqlite3* db) : m_db(db) {}
    ~Sqlite3Conn();
    Sqlite3Conn(const Sqlite3Conn&) = delete;
    Sqlite3Conn& operator=(const Sqlite3Conn&) = delete;

    sqlite3* handle() const { return m_db; }
    // A statement for sql with the parameters bound; from the cache when an
    // idle one is there. Raises std::runtime_error with SQLite's text.
    sqlite3_stmt* prepareThrow(const Sqlite3Sql& sql);
    // Resets the statement and keeps it for the next use of the same text.
    void release(const QString& sql, sqlite3_stmt* stmt);
    // Raises std::runtime_error with the connection's last error text.
    [[noreturn]] void throwError() const;

private:
    static constexpr int kMaxIdle = 64;
    sqlite3* m_db;
    QHash<QString, sqlite3_stmt*> m_idle;
};

// One running statement: returns itself to the connection's cache when the
// last cursor using it goes.
struct Sqlite3Stmt
{
    std::shared_ptr<Sqlite3Conn> conn;
    QString sql;
    sqlite3_stmt* stmt = nullptr;
    bool done = false;

    Sqlite3Stmt(std::shared_ptr<Sqlite3Conn> c, QString s, sqlite3_stmt* st)
        : conn(std::move(c)), sql(std::move(s)), stmt(st) {}
    ~Sqlite3Stmt() { conn->release(sql, stmt); }
    Sqlite3Stmt(const Sqlite3Stmt&) = delete;
    Sqlite3Stmt& operator=(const Sqlite3Stmt&) = delete;
};
