#pragma once

#include "stores/AbsViberDb.h"
#include "sqlite/DbSchema.h"

#include <QDir>
#include <QHash>
#include <QString>

#include <memory>

// Reads a store with the table layout of the Viber iPhone app's Core Data
// store: a copy of the app's Contacts.data, or one of our own local databases
// (the same tables, reduced, with an _other column holding what they do not
// name). Opening removes orphaned rows; reading may write previews of
// pictures and videos. Use one object on one thread.
class IOSViberDb : public AbsViberDb
{
public:
    IOSViberDb(const QDir& root, const QString& dbFile, bool localDb);
    ~IOSViberDb() override;

    void openCheckThrow() override;
    ViberData loadDataThrow() override;
    // Chats, their participants and every person.
    void chatsThrow(ViberData& data);
    void fillViberPerson(_ViberPerson* p, Sqlite3Cursor& row);

    static ViberMsgState IOSGetViberState(const QString& state);
    static QString IOSToViberStateString(ViberMsgState state);
    // IOSGetViberState of a UTF-8 column value, without making a QString.
    static ViberMsgState stateFromUtf8(QByteArrayView state);

    // Previews that have to be made go below dir instead of root, so that a
    // container given by the user is never written to.
    void setPreviewRoot(const QDir& dir);
    // Off: no preview images are made (thumbPath is still set).
    void setMakePreviews(bool on) { m_makePreviews = on; }

    // The store Viber for iPhone writes today (members and phone numbers, in
    // the shared app-group container). It is read into the same records;
    // root is then the app's own container, where the attachment files are.
    // Known once the store is open.
    bool isCurrentLayout() const { return m_currentLayout; }
    // Moves the write-ahead log's rows into the store file itself.
    void checkpointThrow();
    // New rows land all over the indexes (and the search index): with
    // SQLite's small default cache each insert would write pages out and read
    // them back, and statement journals would spill to files.
    void tuneForBulkWritesThrow();
    // The indexes every look-up of a merge needs, made once per open store
    // when missing. Only indexes: no row of the store changes.
    void ensureLookupIndexesThrow();
    // Drops the indexes ensureLookupIndexesThrow made: a phone's store goes
    // back with the schema it came with (the app, not we, reads it).
    void dropMadeLookupIndexesThrow();
    // Settings.data and the contact pictures of a current-layout store; by
    // default found beside the store's own folder (com.viber/...).
    void setSettingsFile(const QString& path) { m_settingsFile = path; }
    // A local database is opened only when its file exists (reading never
    // makes one: a database deleted meanwhile fails with a clear message);
    // writers that make a new one turn this on.
    void setCreateIfMissing(bool on) { m_createIfMissing = on; }
    void setIconsDir(const QString& path) { m_iconsDir = path; }

    const QDir& root() const { return m_root; }
    const QString& dbFile() const { return m_dbFile; }
    bool isLocalDb() const { return m_localDb; }
    // What the open store holds: its tables and columns, and the Core Data
    // entity numbers by name (Z_PRIMARYKEY).
    const DbSchema& schema() const { return m_schema; }
    const QHash<QString, int>& entities() const { return m_entities; }
    int convEnt() const { return m_convEnt; }
    int pniEnt() const { return m_pniEnt; }
    // The old layout's chat membership table and its two key columns.
    const QString& joinTable() const { return m_joinTable; }
    const QString& joinChatCol() const { return m_joinChatCol; }
    const QString& joinPersonCol() const { return m_joinPersonCol; }
    const QString& settingsFile() const { return m_settingsFile; }
    const QString& iconsDir() const { return m_iconsDir; }
    // Sets the file and preview paths of an attachment of m from its type
    // column (both layouts name files the same way).
    void setAttachmentPaths(_ViberAtta* a, _ViberMsg* m, QByteArrayView type);

private:
    void createFromScriptThrow(const QString& path);
    void removeOrphansThrow();
    bool hasIndexLeadingThrow(const QString& table, const QStringList& cols);
    QString personSelect(const QString& head) const;
    void loadMessagesThrow(__ViberData* d);
    void loadAttachmentsThrow(__ViberData* d);
    QString previewTarget(const QString& rel) const;
    // The thumbnail of a picture or video: the preferred preview file, else
    // the other one, else a preview made at the preferred place.
    void setPreview(_ViberAtta* a, const QString& preferred, const QString& other);
    void loadCallsThrow(__ViberData* d);
    _ViberChat* callChatThrow(__ViberData* d, qint64 pni, QHash<qint64, qint64>& chatOfPerson);

    QDir m_root;
    QString m_dbFile;
    bool m_localDb;
    DbSchema m_schema;
    QHash<QString, int> m_entities;
    int m_convEnt = 0;
    int m_pniEnt = 0;
    QString m_joinTable;
    QString m_joinChatCol;
    QString m_joinPersonCol;
    bool m_currentLayout = false;
    bool m_lookupIndexed = false;
    QStringList m_madeIndexes; // by ensureLookupIndexesThrow, since the last drop
    QString m_settingsFile;
    QString m_iconsDir;
    bool m_makePreviews = true;
    bool m_createIfMissing = false;
    bool m_hasPreviewRoot = false;
    QDir m_previewRoot;
};
