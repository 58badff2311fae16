#pragma once

#include "stores/AbsViberDb.h"
#include "sqlite/DbSchema.h"

#include <QDir>
#include <QHash>
#include <QString>

#include <memory>

struct IOSMergePlans;
class MergeStatements;

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

    // Merging records of any data set into this store (the backup and
    // transfer jobs). Keys are Z_PK values, 0 for none.
    struct _InsertContext
    {
        qint64 zuid = -1; // the last ZUID handed out; -1 until it is known
        std::shared_ptr<IOSMergePlans> plans; // statements and look-ups of this batch
    };
    qint64 zuidThrow(_InsertContext& ctx, bool next);
    qint64 findPersonThrow(const _ViberPerson* p);
    qint64 insertPersonThrow(_InsertContext& ctx, const _ViberPerson* p);
    qint64 findChatSlowThrow(const _ViberChat* c);
    qint64 insertChatThrow(_InsertContext& ctx, const _ViberChat* c);
    void saveChatMembersThrow(_InsertContext& ctx, const long long& chatKey, const QList<_ViberPerson*>& members);
    qint64 saveCallThrow(_InsertContext& ctx, const _ViberCall* call);
    qint64 findMsgThrow(const long long& token, double date, long long& attaKey);
    // The message already in chatKey that m is: by token, or for a message
    // without one by time and content (text, place, attachment name).
    qint64 findMsgThrow(const _ViberMsg& m, qint64 chatKey, long long& attaKey);
    qint64 insertMsgThrow(_InsertContext& ctx, const long long& chatKey, const _ViberMsg* m, long long& attaKey,
                          long long& locKey);
    void setAttaAssetUrlNullThrow(const long long& attaKey);
    void updateChatStatThrow();
    void updateCallRecentLinesStatThrow();
    void updatePrimaryKeyStatThrow();

    static ViberMsgState IOSGetViberState(const QString& state);
    static QString IOSToViberStateString(ViberMsgState state);

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
    // The merge functions above write the old layout; they call this before
    // they change anything. Opens the store if needed; raises
    // std::logic_error on a store of today's layout (CurrentStoreMerger
    // writes that one).
    void checkWritableThrow();
    // The indexes every look-up of a merge needs, made once per open store
    // when missing. Only indexes: no row of the store changes.
    void ensureLookupIndexesThrow();
    // Settings.data and the contact pictures of a current-layout store; by
    // default found beside the store's own folder (com.viber/...).
    void setSettingsFile(const QString& path) { m_settingsFile = path; }
    // A local database is opened only when its file exists (reading never
    // makes one: a database deleted meanwhile fails with a clear message);
    // writers that make a new one turn this on.
    void setCreateIfMissing(bool on) { m_createIfMissing = on; }
    void setIconsDir(const QString& path) { m_iconsDir = path; }

    QDir root;
    QString dbFile;
    bool localDb;
    DbSchema schema;
    QHash<QString, int> entities;
    int convEnt = 0;
    int pniEnt = 0;
    QString joinTable;
    QString joinChatCol;
    QString joinPersonCol;

private:
    friend class CurrentStoreReader;

    // IOSGetViberState of a UTF-8 column value, without making a QString.
    static ViberMsgState stateFromUtf8(QByteArrayView state);
    void createFromScriptThrow(const QString& path);
    void removeOrphansThrow();
    bool hasIndexLeadingThrow(const QString& table, const QStringList& cols);
    QString personSelect(const QString& head) const;
    void loadMessagesThrow(__ViberData* d);
    void loadAttachmentsThrow(__ViberData* d);
    void setAttachmentPaths(_ViberAtta* a, _ViberMsg* m, QByteArrayView type);
    QString previewTarget(const QString& rel) const;
    // The thumbnail of a picture or video: the preferred preview file, else
    // the other one, else a preview made at the preferred place.
    void setPreview(_ViberAtta* a, const QString& preferred, const QString& other);
    void loadCallsThrow(__ViberData* d);
    _ViberChat* callChatThrow(__ViberData* d, qint64 pni, QHash<qint64, qint64>& chatOfPerson);

    IOSMergePlans& plansThrow(_InsertContext& ctx);
    // The per-row look-ups of merges into this store, prepared once.
    MergeStatements& statements();
    // findPersonThrow, else insertPersonThrow, remembered for the batch.
    qint64 personKeyThrow(_InsertContext& ctx, const _ViberPerson* p);
    qint64 insertAttachmentThrow(_InsertContext& ctx, const _ViberMsg* m, qint64 msgKey);

    bool m_currentLayout = false;
    bool m_lookupIndexed = false;
    std::shared_ptr<MergeStatements> m_statements;
    QString m_settingsFile;
    QString m_iconsDir;
    bool m_makePreviews = true;
    bool m_createIfMissing = false;
    bool m_hasPreviewRoot = false;
    QDir m_previewRoot;
};
