#include "sqlite/Sqlite3DB.h"

#include "sqlite/Sqlite3Conn.h"

#include <sqlite3.h>

#include <stdexcept>

int sqlite_qt_version()
{
    return 6;
}

Sqlite3DB::Sqlite3DB() = default;

Sqlite3DB::~Sqlite3DB()
{
    close();
}

namespace {
// SQLite's allocation statistics take a global mutex around every malloc
// and free, about 7 % of a bulk insert's time; nothing here reads them. The
// setting only takes before SQLite's first use (later it is refused, which
// is harmless).
const bool g_sqliteConfigured = [] {
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    return true;
}();
} // namespace

void Sqlite3DB::openThrow(const QString& path, int flags)
{
    close();
    (void)g_sqliteConfigured;
    sqlite3* db = nullptr;
    // A connection and its cursors stay on one thread, so SQLite's own
    // locking is only overhead.
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const std::string err = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close_v2(db);
        throw std::runtime_error(err);
    }
    sqlite3_extended_result_codes(db, 0);
    sqlite3_busy_timeout(db, kSqliteBusyTimeoutMs);
    sqlite3_limit(db, SQLITE_LIMIT_LENGTH, kSqliteMaxValueBytes);
    m_conn = std::make_shared<Sqlite3Conn>(db);
}

void Sqlite3DB::close()
{
    // Cursors still alive keep the connection until they go.
    m_conn.reset();
}

sqlite3* Sqlite3DB::handle() const
{
    return m_conn ? m_conn->handle() : nullptr;
}

namespace {
[[noreturn]] void throwClosed()
{
    throw std::runtime_error("the database is not open");
}
} // namespace

Sqlite3Cursor Sqlite3DB::queryThrow(const Sqlite3Sql& sql)
{
    if (!m_conn)
        throwClosed();
    sqlite3_stmt* st = m_conn->prepareThrow(sql);
    return Sqlite3Cursor(std::make_shared<Sqlite3Stmt>(m_conn, sql.sql(), st));
}

void Sqlite3DB::executeThrow(const Sqlite3Sql& sql)
{
    Sqlite3Cursor c = queryThrow(sql);
    while (c.moveNext()) {
    }
}

int Sqlite3DB::exec(const QString& sql, QString& err)
{
    if (!m_conn) {
        err = QStringLiteral("the database is not open");
        return SQLITE_MISUSE;
    }
    char* msg = nullptr;
    const int rc = sqlite3_exec(m_conn->handle(), sql.toUtf8().constData(), nullptr, nullptr, &msg);
    if (rc != SQLITE_OK)
        err = msg ? QString::fromUtf8(msg) : QString::fromUtf8(sqlite3_errstr(rc));
    sqlite3_free(msg);
    return rc;
}

qint64 Sqlite3DB::lastInsertId() const
{
    return m_conn ? sqlite3_last_insert_rowid(m_conn->handle()) : 0;
}

int Sqlite3DB::changes() const
{
    return m_conn ? sqlite3_changes(m_conn->handle()) : 0;
}

bool Sqlite3DB::beginTran()
{
    QString err;
    return exec(QStringLiteral("BEGIN"), err) == SQLITE_OK;
}

bool Sqlite3DB::commitTran()
{
    QString err;
    return exec(QStringLiteral("COMMIT"), err) == SQLITE_OK;
}

bool Sqlite3DB::rollbackTran()
{
    QString err;
    return exec(QStringLiteral("ROLLBACK"), err) == SQLITE_OK;
}

QList<_SqliteCol> Sqlite3DB::tbCols(const QString& table)
{
    QList<_SqliteCol> cols;
    Sqlite3Cursor c = queryThrow(Sqlite3Sql("select name, type, \"notnull\", dflt_value, pk from pragma_table_info(?)")
                                     .addTextParam(table));
    while (c.moveNext()) {
        _SqliteCol col;
        col.name = c.getText(0);
        col.type = c.getText(1);
        col.notNull = c.getInt(2) != 0;
        col.defaultValue = c.isNull(3) ? QVariant() : QVariant(c.getText(3));
        col.pk = c.getInt(4);
        cols << col;
    }
    return cols;
}
