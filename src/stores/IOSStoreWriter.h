#pragma once

#include "sqlite/DbSchema.h"
#include "sqlite/Sqlite3DB.h"
#include "sqlite/Sqlite3Row.h"

#include <QHash>
#include <QList>
#include <QString>

// Writes new stores with the table layout of the Viber iPhone app (its Core
// Data store, Contacts.data) or of our local databases. The demo history, the
// test fixtures and the benchmark generator build their stores with it.
// Columns a layout lacks are left out of every insert.
class IOSStoreWriter
{
public:
    enum Layout { IPhone, LocalDb };

    // Entity numbers of the iPhone layout (its Z_PRIMARYKEY).
    static constexpr int kConversationEnt = 4;
    static constexpr int kPhoneNumberIndexEnt = 8;

    // Creates the store at path, which must not exist yet.
    IOSStoreWriter(const QString& path, Layout layout = IPhone);

    Sqlite3DB& db() { return m_db; }
    Layout layout() const { return m_layout; }
    QString joinTable() const;
    QString joinChatCol() const;
    QString joinPersonCol() const;

    // Faster writes for large generated stores (no journal, no syncing).
    void setBulkMode();
    void beginThrow();
    void commitThrow();

    // Inserts row into table, leaving out the columns the table lacks.
    // Returns the new row id.
    qint64 insertThrow(const QString& table, Sqlite3Row row);

    qint64 addContact(const QString& mainName, qint64 recordId);
    qint64 addPerson(const QString& number, const QString& iconId = {}, qint64 contact = 0,
                     const QString& name = {});
    qint64 addChat(double date, const QList<qint64>& members, const QString& name = {}, const QString& groupId = {});
    void addMember(qint64 chat, qint64 person);

    struct Message
    {
        qint64 chat = 0;
        double date = 0;
        QString state = QStringLiteral("delivered");
        QString systemType;
        QString text;
        qint64 person = 0; // ZPHONENUMINDEX; the sender of a received message
        qint64 seq = 0;
        qint64 token = 0;
        QByteArray emoticonRanges;
    };
    qint64 addMessage(const Message& m);
    qint64 addLocation(qint64 msg, double latitude, double longitude, const QString& address);
    qint64 addAttachment(qint64 msg, const QString& type, const QString& name, const QString& mediaId = {},
                         qint64 fileSize = 0, double duration = 0);
    // One call of the call history; calls of one person share a recents line.
    qint64 addCall(qint64 person, const QString& callType, int duration, double date, qint64 token = 0);

private:
    void createIPhoneThrow();

    Layout m_layout;
    Sqlite3DB m_db;
    DbSchema m_schema;
    QHash<qint64, qint64> m_lineOfPerson;
};
