#include "ui/LocalDbLoader.h"

#include "model/ViberRecords.h"
#include "shell/LocalDbNames.h"
#include "stores/IOSViberDb.h"
#include "ui/commands/LocalDbCommands.h"

#include <QDir>
#include <QFileInfo>

#include <sqlite3.h>

#include <algorithm>
#include <exception>

namespace {
// About 15 000 messages: read in well under the 100 ms a window may stop
// answering without the user noticing.
qint64 s_inlineLimit = 4 * 1024 * 1024;

qint64 storeBytes(const DataFolders& folders, const QString& name)
{
    const QString folder = g_localDbFolder(folders, name);
    if (folder.isEmpty())
        return 0;
    const QString store = QDir(folder).filePath(QLatin1String(kLocalDbStoreFile));
    return QFileInfo(store).size() + QFileInfo(store + QLatin1String("-wal")).size();
}

LocalDbLoader::Result readStore(const DataFolders& folders, const QString& name, bool descending,
                                const std::function<void(IOSViberDb*)>& watch = {})
{
    LocalDbLoader::Result result;
    result.name = name;
    result.descending = descending;
    try {
        result.data = UiCommands::loadLocalDbThrow(folders, name, watch);
        result.byDate = result.data.messages();
        g_stableSortByDate(result.byDate, descending);
    } catch (const std::exception& e) {
        result = {name, {}, {}, descending, QString::fromUtf8(e.what())};
    }
    return result;
}
} // namespace

LocalDbLoader::LocalDbLoader(const DataFolders& folders, QObject* parent) : QObject(parent), m_folders(folders)
{
    // One read at a time: each takes as much memory as its store holds, and
    // two large ones side by side would only share the same cores.
    m_pool.setMaxThreadCount(1);
}

LocalDbLoader::~LocalDbLoader()
{
    m_pending.clear();
    m_pool.clear();
    {
        // A window closed during the read of a million messages closes now.
        QMutexLocker locked(&m_reading->lock);
        m_reading->stop = true;
        if (m_reading->store)
            sqlite3_interrupt(m_reading->store->handle());
    }
    m_pool.waitForDone();
}

void LocalDbLoader::setInlineLimit(qint64 bytes)
{
    s_inlineLimit = bytes;
}

void LocalDbLoader::load(const QString& name, bool descending)
{
    const quint64 serial = ++m_nextSerial;
    m_pending.insert(name, serial);
    if (storeBytes(m_folders, name) <= s_inlineLimit && s_inlineLimit > 0) {
        deliver(serial, readStore(m_folders, name, descending));
        return;
    }
    m_pool.start([this, folders = m_folders, name, descending, serial, reading = m_reading] {
        const Result result = readStore(folders, name, descending, [reading](IOSViberDb* store) {
            QMutexLocker locked(&reading->lock);
            reading->store = store;
            if (store && reading->stop)
                sqlite3_interrupt(store->handle());
        });
        // Posted to this object: dropped with it when the window goes first
        // (its destructor waits for this task, so the object is alive here).
        QMetaObject::invokeMethod(this, [this, serial, result] { deliver(serial, result); }, Qt::QueuedConnection);
    });
}

void LocalDbLoader::deliver(quint64 serial, const Result& result)
{
    // A newer read of the name, or its database going, made this one moot.
    const auto it = m_pending.constFind(result.name);
    if (it == m_pending.cend() || it.value() != serial)
        return;
    m_pending.erase(it);
    emit loaded(result);
}
