#pragma once

#include "model/ViberData.h"

#include <QHash>
#include <QSet>
#include <QString>

class IOSViberDb;
class Sqlite3Cursor;

// Reads a store of the current layout (names in CurrentStoreLayout.h) into
// the same records the old layout fills. Every column may be missing (it
// reads as 0 or empty), a missing table turns its feature off, and every link
// may dangle: the link is dropped and the row kept. Rows the app marks as
// being deleted are left out. Used through IOSViberDb, on its connection.
class CurrentStoreReader
{
public:
    explicit CurrentStoreReader(IOSViberDb& db);

    ViberData loadThrow();
    // Persons, chats and their members.
    void chatsThrow(ViberData& data);

private:
    bool hasTable(const char* table) const;
    bool hasCol(const char* table, const char* col) const;
    Sqlite3Cursor selectAllThrow(const char* table);
    QString storeDir() const;

    QHash<QString, QString> addressBookThrow();
    void personsThrow(__ViberData* d);
    void chatRowsThrow(__ViberData* d);
    void membersThrow(__ViberData* d);
    void locationsThrow();
    void messagesThrow(__ViberData* d);
    void attachmentsThrow(__ViberData* d);
    void callsThrow(__ViberData* d);
    _ViberChat* chatForCallPerson(__ViberData* d, _ViberPerson* person);
    _ViberPerson* personForNumber(__ViberData* d, const QString& number);
    void ownerThrow(__ViberData* d);

    struct Place
    {
        double latitude = 0;
        double longitude = 0;
        QString address;
    };

    IOSViberDb& m_db;
    QHash<qint64, qint64> m_interlocutor;  // chat → member
    QHash<qint64, qint64> m_chatOfMessage; // call messages → their chat, loaded or not
    QHash<qint64, qint64> m_attaOfMessage; // loaded message → attachment row
    QHash<qint64, Place> m_locations;   // location row → location
    QHash<qint64, qint64> m_locationOfMessage;
    QHash<qint64, qint64> m_chatOfPerson;  // for calls without a call message
    bool m_chatOfPersonReady = false;
    QHash<QString, _ViberPerson*> m_personOfNumber;
};
