#pragma once

#include "device/IOSAfcFileUpload.h"
#include "device/IOSDevice.h"
#include "device/MobileDeviceAfc.h"
#include "jobs/IOSMergeWAFiles2iTunesBKThread.h"
#include "model/ViberData.h"
#include "shell/JobProgress.h"
#include "stores/ViberContainers.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QThread>

#include <memory>
#include <optional>
#include <variant>

class IOSViberDb;
struct KeptMessage;
class OldStoreMerger;
class Sqlite3Row;
class StoreMerger;

// Merges messages (with their attachments and calls) into a copy of a
// device's Viber store, all messages in date order, and brings the result
// to the device: directly through house arrest, or (setDirect(false)) as
// merge items for a backup of the device that is then restored. The
// device's store is replaced only after the merged copy has passed SQLite's
// integrity check and every file is on the device; it is uploaded under a
// temporary name and renamed into place, so a failure or a cancellation
// leaves the device with its old store.
class IOSRestoreViberMsgThread : public QThread
{
public:
    // One entry of the merge order: a row of the device's store, or a
    // record being transferred.
    struct _InsertData
    {
        qint64 token;
        double date;
        std::variant<const Sqlite3Row*, const KeptMessage*, const _ViberMsg*, const _ViberCall*> data;
        bool existing() const
        {
            return std::holds_alternative<const Sqlite3Row*>(data) || std::holds_alternative<const KeptMessage*>(data);
        }
    };

    // target: the local copy of the device's containers, with a store of
    // either layout.
    IOSRestoreViberMsgThread(const IOSDevice& device, const ViberContainers& target, const QList<_ViberMsg*>& msgs,
                             JobProgress& progress, QObject* parent = nullptr);
    ~IOSRestoreViberMsgThread() override;
    void run() override;

    void setDirect(bool direct) { m_direct = direct; }
    int msgCount() const { return m_msgCount; }
    int callCount() const { return m_callCount; }
    // What the merge added: records the store already held are not counted.
    int addedMsgCount() const { return m_addedMsgCount; }
    int addedCallCount() const { return m_addedCallCount; }
    // Backup route: the files to merge into the device's backup.
    const QList<IOSMergeWAFiles2iTunesBKThread::_Item>& items() const { return m_items; }

    static bool isLocalFileValid(const QString& path);

private:
    // The steps: working copy, merge (ordering, uploads, checks), swap on the
    // device, and the merged copy kept locally.
    QString restoreThrow();
    static QString freeStamp(const QString& store);
    static void makeWorkingCopyThrow(const QString& store, const QString& work);
    static void keepMergedCopyThrow(const QString& store, const QString& work, const QString& stamp);
    // Merges into work, a copy of the device's store (with its log), and
    // leaves it checked and in one file.
    void mergeIntoCopyThrow(const QString& work);
    // Uploads, summaries, commit and the checks the store must pass.
    void finishMergeThrow(IOSViberDb& dest, StoreMerger& merger,
                          const QList<QPair<qint64, const _ViberMsg*>>& newAttas);
    // The records to merge (those with a chat), counted.
    QList<_ViberMsg*> countedRecords();
    // Today's layout: new rows after the device's own, which stay as they are.
    void mergeNewRecordsThrow(StoreMerger& merger, QList<QPair<qint64, const _ViberMsg*>>& newAttas);
    // The old layout: the device's rows and the new ones written again in
    // date order. Opens the transaction.
    void mergeInDateOrderThrow(IOSViberDb& orig, OldStoreMerger& merger,
                               QList<QPair<qint64, const _ViberMsg*>>& newAttas);
    // Adds a transferred message; false when the store had it.
    bool addMessageThrow(StoreMerger& merger, QHash<const _ViberChat*, qint64>& chatKeys, const _ViberMsg* m,
                         QList<QPair<qint64, const _ViberMsg*>>& newAttas);
    void uploadAttachmentsThrow(const QList<QPair<qint64, const _ViberMsg*>>& newAttas);
    void uploadFileThrow(const QString& local, const QString& remote, bool overwrite, const QString& domain);
    void writeVoiceCounterThrow();
    void replaceDeviceStoreThrow(const QString& work);

    IOSDevice m_device;
    ViberContainers m_target;
    QList<_ViberMsg*> m_msgs;
    JobProgress& m_progress;
    bool m_direct = true;
    int m_msgCount = 0;
    int m_callCount = 0;
    int m_addedMsgCount = 0;
    int m_addedCallCount = 0;
    QList<IOSMergeWAFiles2iTunesBKThread::_Item> m_items;
    std::unique_ptr<IOSAfcFileUpload> m_uploader;
    std::unique_ptr<mobiledevice_afc> m_afc;
    std::optional<CancelSubscription> m_interrupt; // declared last: gone before m_afc
};

// Merge order: by date; on equal dates the device's own row first.
bool compareMsgInsertDataAsc(const IOSRestoreViberMsgThread::_InsertData& a,
                             const IOSRestoreViberMsgThread::_InsertData& b);
