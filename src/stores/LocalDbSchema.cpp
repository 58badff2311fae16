#include "stores/LocalDbSchema.h"
#include "shell/Failure.h"

#include "sqlite/Sqlite3DB.h"
#include "shell/FileRoutines.h"
#include "shell/LocalDbNames.h"
#include "shell/ScratchFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStringList>

#include <sqlite3.h>

#include <stdexcept>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {
const QByteArray& scriptText()
{
    static const QByteArray text = [] {
        QFile script(QStringLiteral(":res/ios_viber_db.sql"));
        if (!script.open(QIODevice::ReadOnly))
            g_raise(script.errorString());
        QByteArray t = script.readAll();
        const qsizetype nul = t.indexOf('\0');
        if (nul >= 0)
            t.truncate(nul);
        return t;
    }();
    return text;
}

// The statements of the script, each on its own; SQLite decides where one
// ends, so a semicolon inside a literal cannot mislead the split.
QList<QByteArray> scriptStatements()
{
    QList<QByteArray> out;
    QByteArray current;
    for (const char c : scriptText()) {
        current.append(c);
        if (c == ';' && sqlite3_complete(current.constData())) {
            out << current.trimmed();
            current.clear();
        }
    }
    if (!current.trimmed().isEmpty())
        out << current.trimmed();
    return out;
}

// Names of the tables the script creates, lower-cased. Indexes do not make a
// database whole or damaged: a missing one is simply made again (databases
// of older versions lack the newer ones).
QStringList expectedTables()
{
    static const QStringList names = [] {
        QStringList n;
        static const QRegularExpression create(QStringLiteral("CREATE\\s+TABLE\\s+([A-Za-z0-9_]+)"),
                                               QRegularExpression::CaseInsensitiveOption);
        auto it = create.globalMatch(QString::fromUtf8(scriptText()));
        while (it.hasNext())
            n << it.next().captured(1).toLower();
        return n;
    }();
    return names;
}

struct Found
{
    QStringList objects; // lower-cased names of tables and indexes
    QStringList tables;  // names as stored
    bool hasEntities = false;
};

Found inspectThrow(Sqlite3DB& db)
{
    Found f;
    Sqlite3Cursor c = db.queryThrow("select type, name from sqlite_master where type in ('table', 'index') and name "
                                    "not like 'sqlite_%'");
    while (c.moveNext()) {
        f.objects << c.getText(1).toLower();
        if (c.getText(0) == QLatin1String("table"))
            f.tables << c.getText(1);
    }
    if (f.objects.contains(QStringLiteral("z_primarykey"))) {
        Sqlite3Cursor n = db.queryThrow("select count(*) from Z_PRIMARYKEY");
        f.hasEntities = n.moveNext() && n.getInt64(0) > 0;
    }
    return f;
}

QString missingTable(const Found& f)
{
    for (const QString& name : expectedTables()) {
        if (!f.objects.contains(name))
            return name;
    }
    return QString();
}

QString quoted(const QString& name)
{
    return QLatin1Char('"') + QString(name).replace(u'"', QLatin1String("\"\"")) + QLatin1Char('"');
}

bool holdsRows(Sqlite3DB& db, const QStringList& tables)
{
    for (const QString& t : tables) {
        Sqlite3Cursor c = db.queryThrow(QStringLiteral("select 1 from %1 limit 1").arg(quoted(t)));
        if (c.moveNext())
            return true;
    }
    return false;
}

// Makes the script's indexes that the database lacks.
void addMissingIndexesThrow(Sqlite3DB& db, const Found& f)
{
    static const QRegularExpression index(QStringLiteral("^CREATE\\s+INDEX\\s+([A-Za-z0-9_]+)"),
                                          QRegularExpression::CaseInsensitiveOption);
    for (const QByteArray& statement : scriptStatements()) {
        const QString text = QString::fromUtf8(statement);
        const QRegularExpressionMatch m = index.match(text);
        if (!m.hasMatch() || f.objects.contains(m.captured(1).toLower()))
            continue;
        QString withGuard = text;
        withGuard.insert(m.capturedEnd(0) - m.capturedLength(1), QStringLiteral("IF NOT EXISTS "));
        db.executeThrow(withGuard);
    }
}
} // namespace

int g_localDbSchemaSteps()
{
    return int(scriptStatements().size());
}

void g_ensureLocalDbSchemaThrow(Sqlite3DB& db, const QString& name, const std::function<void(int)>& afterStep)
{
    {
        const Found f = inspectThrow(db);
        if (missingTable(f).isEmpty() && f.hasEntities) {
            addMissingIndexesThrow(db, f);
            return;
        }
    }
    // Someone else may be creating it right now: the write lock makes us
    // wait for them, then look again.
    db.executeThrow("BEGIN IMMEDIATE");
    try {
        const Found f = inspectThrow(db);
        const QString missing = missingTable(f);
        if (missing.isEmpty() && f.hasEntities) {
            addMissingIndexesThrow(db, f);
            db.executeThrow("COMMIT");
            return;
        }
        if (!f.tables.isEmpty() && holdsRows(db, f.tables)) {
            const QString what = missing.isEmpty() ? QStringLiteral("its entity table is empty")
                                                   : QStringLiteral("%1 is missing").arg(missing);
            g_raise(QStringLiteral("The local database \"%1\" is damaged (%2). Back it up again into a new name or "
                                "delete it.")
                     .arg(name, what));
        }
        // Nothing in it worth keeping: what a cut-short creation left goes.
        for (const QString& t : f.tables)
            db.executeThrow(QStringLiteral("DROP TABLE %1").arg(quoted(t)));
        int step = 0;
        for (const QByteArray& statement : scriptStatements()) {
            QString err;
            if (db.exec(QString::fromUtf8(statement), err) != SQLITE_OK)
                g_raise(err);
            if (afterStep)
                afterStep(++step);
        }
        db.executeThrow("COMMIT");
    } catch (...) {
        db.rollbackTran();
        throw;
    }
}


void g_removeLocalDbThrow(const QString& folder, const std::function<bool(Sqlite3DB&)>& onlyIf)
{
    const QFileInfo top(folder);
    if (!top.exists() && !top.isSymLink())
        return;
    const QString store = QDir(folder).filePath(QLatin1String(kLocalDbStoreFile));
    Sqlite3DB db;
    if (!top.isSymLink() && QFileInfo(store).isFile() && !QFileInfo(store).isSymLink()) {
        try {
            db.openThrow(store, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW);
            db.executeThrow("BEGIN IMMEDIATE"); // the lock a backup into it holds
        } catch (const std::runtime_error& e) {
            const QString why = QString::fromUtf8(e.what());
            if (why.contains(QLatin1String("locked")) || why.contains(QLatin1String("busy")))
                g_raise(QStringLiteral("The local database \"%1\" is in use: %2").arg(top.fileName(), why));
            db.close(); // a damaged store is deleted all the same
        }
    }
    if (onlyIf && db.isOpen() && !onlyIf(db))
        return;
    const QDir parent = top.absoluteDir();
    QString hidden;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString candidate = parent.filePath(QLatin1String(kRemovedLocalDbPrefix) + top.fileName() + u'-'
                                                  + QString::number(QRandomGenerator::global()->generate(), 16));
        if (!QFileInfo::exists(candidate) && !QFileInfo(candidate).isSymLink()) {
            hidden = candidate;
            break;
        }
    }
    if (hidden.isEmpty() || ::rename(QFile::encodeName(top.absoluteFilePath()).constData(),
                                     QFile::encodeName(hidden).constData()) != 0)
        g_raise(QStringLiteral("Cannot remove %1: %2").arg(top.absoluteFilePath(),
                                                           QString::fromLocal8Bit(std::strerror(errno))));
    if (db.isOpen()) {
        db.rollbackTran();
        db.close();
    }
    if (QFileInfo(hidden).isSymLink())
        QFile::remove(hidden);
    else
        g_delDirCascade(hidden);
    if (QFileInfo::exists(hidden) || QFileInfo(hidden).isSymLink())
        g_raise(QStringLiteral("Cannot remove %1 completely (what is left: %2).").arg(top.absoluteFilePath(), hidden));
}
