#pragma once

#include "model/ViberData.h"
#include "shell/DataFolders.h"

#include <QHash>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QThreadPool>

#include <memory>

class IOSViberDb;
struct _ViberMsg;

// Reads the window's local databases off its thread: a store of a million
// messages takes seconds to read and sort, and the window has to keep
// painting and answering meanwhile. A small store is read at once, in the
// call, where a "reading" state would only flicker.
class LocalDbLoader : public QObject
{
    Q_OBJECT
public:
    struct Result
    {
        QString name;
        ViberData data;
        // The data set's messages by date in the order the read was asked
        // for, sorted on the reading thread.
        QList<_ViberMsg*> byDate;
        bool descending = false;
        // Empty when the store was read.
        QString error;
    };

    explicit LocalDbLoader(const DataFolders& folders, QObject* parent = nullptr);
    // Stops the read under way (SQLite is interrupted) and drops its result
    // and those of the reads not begun.
    ~LocalDbLoader() override;

    // Reads the database name; loaded() follows once, from the window's
    // thread: within this call for a small store, later for a large one. A
    // second read of the same name replaces the first, whose result is
    // dropped.
    void load(const QString& name, bool descending);
    bool isLoading(const QString& name) const { return m_pending.contains(name); }
    // Drops the read of name under way (the database is going).
    void forget(const QString& name) { m_pending.remove(name); }

    // Stores (with their journal) up to this many bytes are read in the
    // call; tests set 0 to read every store in the background.
    static void setInlineLimit(qint64 bytes);

signals:
    void loaded(const LocalDbLoader::Result& result);

private:
    void deliver(quint64 serial, const Result& result);

    // The store a read has open, for the destructor to interrupt; shared
    // with the reading thread, which may outlive a queued call.
    struct Reading
    {
        QMutex lock;
        IOSViberDb* store = nullptr;
        bool stop = false;
    };

    DataFolders m_folders;
    std::shared_ptr<Reading> m_reading = std::make_shared<Reading>();
    QThreadPool m_pool;
    // The serial of the read each name waits for.
    QHash<QString, quint64> m_pending;
    quint64 m_nextSerial = 0;
};
