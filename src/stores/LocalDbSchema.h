#pragma once

#include <QString>

#include <functional>

class Sqlite3DB;

// The tables and indexes of our own local databases come from one script.
// A store whose creation was cut short (a kill, a full disk) must neither
// pass for a usable one nor stay unusable for good, so creation is one
// transaction and an open checks what it finds.

// Makes sure db, the store of the local database called name and open for
// writing, holds the whole layout. An empty store, or one whose layout is
// incomplete but holds no rows, is (re)made in one transaction; an
// incomplete one with rows raises a "damaged" error naming the database.
// afterStep, when set, runs after each statement of a creation (a test
// stops the process there).
void g_ensureLocalDbSchemaThrow(Sqlite3DB& db, const QString& name,
                                const std::function<void(int step)>& afterStep = {});

// How many statements a creation runs (the steps afterStep sees, 1-based).
int g_localDbSchemaSteps();

// Deletes the local database in folder (a sub-folder of the databases'
// folder). It is taken out of use first: the writers' lock is taken (waiting
// for a backup into it to end), then the folder moves to a hidden name beside
// it, where no reader or writer looks (one that opens the database after
// that is told it is gone; one that had it open reads on), and only then is
// it removed. Raises when the database is busy, or the folder cannot be
// moved or removed completely.
// With onlyIf, the database is removed only when onlyIf, run under the
// writers' lock on the open store, returns true.
void g_removeLocalDbThrow(const QString& folder, const std::function<bool(Sqlite3DB&)>& onlyIf = {});
// (What a deletion killed halfway leaves is removed by g_sweepLeftovers.)
