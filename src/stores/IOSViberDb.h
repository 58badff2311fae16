#pragma once

#include "model/AbsViberDb.h"
#include "model/DbSchema.h"

#include <QDir>
#include <QHash>
#include <QString>

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

    // Previews that have to be made go below dir instead of root, so that a
    // container given by the user is never written to.
    void setPreviewRoot(const QDir& dir);
    // Off: no preview images are made (thumbPath is still set).
    void setMakePreviews(bool on) { m_makePreviews = on; }

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
    // IOSGetViberState of a UTF-8 column value, without making a QString.
    static ViberMsgState stateFromUtf8(QByteArrayView state);
    void createFromScriptThrow(const QString& path);
    void removeOrphansThrow();
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

    bool m_makePreviews = true;
    bool m_hasPreviewRoot = false;
    QDir m_previewRoot;
};
