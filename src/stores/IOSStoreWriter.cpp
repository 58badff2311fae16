#include "stores/IOSStoreWriter.h"

#include "stores/IOSViberDb.h"

#include <QDir>
#include <QFileInfo>

#include <sqlite3.h>

#include <stdexcept>

namespace {
// The tables of the iPhone app's store that the readers touch, with the
// columns Core Data gives every entity (Z_PK, Z_ENT, Z_OPT).
const char* const kIPhoneSchema = R"(
CREATE TABLE Z_PRIMARYKEY (Z_ENT INTEGER PRIMARY KEY, Z_NAME VARCHAR, Z_SUPER INTEGER, Z_MAX INTEGER);
CREATE TABLE Z_METADATA (Z_VERSION INTEGER PRIMARY KEY, Z_UUID VARCHAR(255), Z_PLIST BLOB);
CREATE TABLE ZABCONTACT (Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, ZRECORDID INTEGER, ZMAINNAME VARCHAR, ZSUFFIXNAME VARCHAR, ZSORTINGNAME VARCHAR);
CREATE TABLE ZPHONENUMBERINDEX (Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, ZISVIBER INTEGER, ZCONTACT INTEGER, ZCANONIZEDPHONENUM VARCHAR, ZICONID VARCHAR, ZNAME VARCHAR, ZPHONENUM VARCHAR);
CREATE TABLE ZCONVERSATION (Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, ZCONTEXT INTEGER, ZSMARTNOTIFICATIONSHOWN INTEGER, ZSMARTSTATE INTEGER, ZUNREADCOUNT INTEGER, ZDATE TIMESTAMP, ZGROUPID VARCHAR, ZICONID VARCHAR, ZNAME VARCHAR);
CREATE TABLE Z_4PHONENUMINDEXES (Z_4CONVERSATIONS INTEGER, Z_8PHONENUMINDEXES INTEGER, PRIMARY KEY (Z_4CONVERSATIONS, Z_8PHONENUMINDEXES));
CREATE TABLE ZVIBERMESSAGE (Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, ZSEQ INTEGER, ZTOKEN INTEGER, ZATTACHMENT INTEGER, ZCONVERSATION INTEGER, ZLOCATION INTEGER, ZPHONENUMINDEX INTEGER, ZDATE TIMESTAMP, ZSTATEDATE TIMESTAMP, ZSTATE VARCHAR, ZSYSTEMTYPE VARCHAR, ZTEXT VARCHAR, ZEMOTICONSRANGES BLOB, ZRANGES BLOB);
CREATE TABLE ZVIBERLOCATION (Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, ZMESSAGE INTEGER, ZVIBE INTEGER, ZDATE TIMESTAMP, ZHORIZONTALACCURACY FLOAT, ZLATITUDE FLOAT, ZLONGITUDE FLOAT, ZADDRESS VARCHAR);
CREATE TABLE ZATTACHMENT (Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, ZFILESIZE INTEGER, ZSEQ INTEGER, ZMESSAGE INTEGER, ZRANGE INTEGER, ZDURATION FLOAT, ZID VARCHAR, ZBUCKET VARCHAR, ZNAME VARCHAR, ZTYPE VARCHAR, ZSTATE VARCHAR, ZURL VARCHAR);
CREATE TABLE ZRECENTSLINE (Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, ZCOUNT INTEGER, ZPHONENUMINDEX INTEGER, ZDATE TIMESTAMP, ZCALLTYPE VARCHAR);
CREATE TABLE ZRECENT (Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER, ZCALLTOKEN INTEGER, ZDURATION INTEGER, ZREAD INTEGER, ZRECENTSLINE INTEGER, ZDATE TIMESTAMP, ZCALLTYPE VARCHAR);
CREATE INDEX ZPHONENUMBERINDEX_ZCONTACT_INDEX ON ZPHONENUMBERINDEX (ZCONTACT);
CREATE INDEX ZPHONENUMBERINDEX_ZCANONIZEDPHONENUM_INDEX ON ZPHONENUMBERINDEX (ZCANONIZEDPHONENUM);
CREATE INDEX Z_4PHONENUMINDEXES_Z_8PHONENUMINDEXES_INDEX ON Z_4PHONENUMINDEXES (Z_8PHONENUMINDEXES, Z_4CONVERSATIONS);
CREATE INDEX ZCONVERSATION_ZDATE_INDEX ON ZCONVERSATION (ZDATE);
CREATE INDEX ZVIBERMESSAGE_ZCONVERSATION_INDEX ON ZVIBERMESSAGE (ZCONVERSATION);
CREATE INDEX ZVIBERMESSAGE_ZPHONENUMINDEX_INDEX ON ZVIBERMESSAGE (ZPHONENUMINDEX);
CREATE INDEX ZVIBERMESSAGE_ZDATE_INDEX ON ZVIBERMESSAGE (ZDATE);
CREATE INDEX ZVIBERMESSAGE_ZTOKEN_INDEX ON ZVIBERMESSAGE (ZTOKEN);
CREATE INDEX ZVIBERLOCATION_ZMESSAGE_INDEX ON ZVIBERLOCATION (ZMESSAGE);
CREATE INDEX ZATTACHMENT_ZMESSAGE_INDEX ON ZATTACHMENT (ZMESSAGE);
CREATE INDEX ZRECENT_ZRECENTSLINE_INDEX ON ZRECENT (ZRECENTSLINE);
CREATE INDEX ZRECENTSLINE_ZPHONENUMINDEX_INDEX ON ZRECENTSLINE (ZPHONENUMINDEX);
INSERT INTO Z_PRIMARYKEY (Z_ENT, Z_NAME, Z_SUPER, Z_MAX) VALUES
  (1, 'ABContact', 0, 0), (2, 'ABContactSource', 0, 0), (3, 'Attachment', 0, 0), (4, 'Conversation', 0, 0),
  (5, 'FavIndex', 0, 0), (6, 'GroupMember', 0, 0), (7, 'MessageReaction', 0, 0), (8, 'PhoneNumberIndex', 0, 0),
  (9, 'Recent', 0, 0), (10, 'RecentsLine', 0, 0), (11, 'Sticker', 0, 0), (12, 'StickersPackage', 0, 0),
  (13, 'TransferTask', 0, 0), (14, 'Vibe', 0, 0), (15, 'ViberLocation', 0, 0), (16, 'ViberMessage', 0, 0);
)";

const QHash<QString, int>& iPhoneEntities()
{
    static const QHash<QString, int> ents{
        {QStringLiteral("ZABCONTACT"), 1},  {QStringLiteral("ZATTACHMENT"), 3},    {QStringLiteral("ZCONVERSATION"), 4},
        {QStringLiteral("ZPHONENUMBERINDEX"), 8}, {QStringLiteral("ZRECENT"), 9}, {QStringLiteral("ZRECENTSLINE"), 10},
        {QStringLiteral("ZVIBERLOCATION"), 15}, {QStringLiteral("ZVIBERMESSAGE"), 16},
    };
    return ents;
}
} // namespace

IOSStoreWriter::IOSStoreWriter(const QString& path, Layout layout) : m_layout(layout)
{
    if (QFileInfo::exists(path))
        throw std::runtime_error("store already exists: " + path.toStdString());
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (layout == LocalDb) {
        // The reader creates a missing local database from its own script.
        IOSViberDb db(QDir(QFileInfo(path).absolutePath()), QFileInfo(path).fileName(), true);
        db.setCreateIfMissing(true);
        db.openCheckThrow();
        m_db.openThrow(path, 2);
    } else {
        m_db.openThrow(path, 6);
        QString err;
        if (m_db.exec(QString::fromUtf8(kIPhoneSchema), err) != SQLITE_OK)
            throw std::runtime_error(err.toStdString());
    }
    m_schema.loadDbThrow(m_db);
}

QString IOSStoreWriter::joinTable() const
{
    return QStringLiteral("Z_4PHONENUMINDEXES");
}

QString IOSStoreWriter::joinChatCol() const
{
    return QStringLiteral("Z_4CONVERSATIONS");
}

QString IOSStoreWriter::joinPersonCol() const
{
    return m_layout == LocalDb ? QStringLiteral("Z_7PHONENUMINDEXES") : QStringLiteral("Z_8PHONENUMINDEXES");
}

void IOSStoreWriter::setBulkMode()
{
    QString err;
    m_db.exec(QStringLiteral("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;"), err);
}

void IOSStoreWriter::beginThrow()
{
    if (!m_db.beginTran())
        throw std::runtime_error("cannot begin a transaction");
}

void IOSStoreWriter::commitThrow()
{
    if (!m_db.commitTran())
        throw std::runtime_error("cannot commit the transaction");
}

qint64 IOSStoreWriter::insertThrow(const QString& table, Sqlite3Row row)
{
    const DbSchemaTable t = m_schema.table(table);
    if (t.name.isEmpty())
        throw std::runtime_error("no such table: " + table.toStdString());
    if (m_layout == IPhone && iPhoneEntities().contains(table.toUpper())) {
        if (!row.contains(QStringLiteral("Z_ENT")))
            row.setVal(QStringLiteral("Z_ENT"), iPhoneEntities().value(table.toUpper()));
        if (!row.contains(QStringLiteral("Z_OPT")))
            row.setVal(QStringLiteral("Z_OPT"), 1);
    }
    QSet<QString> missing;
    for (auto it = row.values().cbegin(); it != row.values().cend(); ++it) {
        if (!t.containsCol(it.key()))
            missing.insert(it.key());
    }
    m_db.executeThrow(row.insertSql(t.name, missing));
    return m_db.lastInsertId();
}

qint64 IOSStoreWriter::addContact(const QString& mainName, qint64 recordId)
{
    Sqlite3Row r;
    r["ZMAINNAME"] = mainName;
    r["ZSORTINGNAME"] = mainName;
    r["ZRECORDID"] = recordId;
    return insertThrow(QStringLiteral("ZABCONTACT"), r);
}

qint64 IOSStoreWriter::addPerson(const QString& number, const QString& iconId, qint64 contact, const QString& name)
{
    Sqlite3Row r;
    r["ZCANONIZEDPHONENUM"] = number;
    r["ZPHONENUM"] = number;
    r["ZICONID"] = iconId;
    r["ZNAME"] = name;
    r["ZISVIBER"] = 1;
    if (contact)
        r["ZCONTACT"] = contact;
    return insertThrow(QStringLiteral("ZPHONENUMBERINDEX"), r);
}

qint64 IOSStoreWriter::addChat(double date, const QList<qint64>& members, const QString& name, const QString& groupId)
{
    Sqlite3Row r;
    r["ZDATE"] = date;
    r["ZNAME"] = name.isNull() ? QVariant() : QVariant(name);
    r["ZGROUPID"] = groupId.isEmpty() ? QVariant() : QVariant(groupId);
    r["ZCONTEXT"] = qint64(0);
    r["ZSMARTSTATE"] = 0;
    const qint64 chat = insertThrow(QStringLiteral("ZCONVERSATION"), r);
    for (qint64 p : members)
        addMember(chat, p);
    return chat;
}

void IOSStoreWriter::addMember(qint64 chat, qint64 person)
{
    Sqlite3Row r;
    r[joinChatCol()] = chat;
    r[joinPersonCol()] = person;
    insertThrow(joinTable(), r);
}

qint64 IOSStoreWriter::addMessage(const Message& m)
{
    Sqlite3Row r;
    r["ZCONVERSATION"] = m.chat;
    r["ZDATE"] = m.date;
    r["ZSTATEDATE"] = m.date;
    r["ZSTATE"] = m.state;
    r["ZSYSTEMTYPE"] = m.systemType.isNull() ? QVariant() : QVariant(m.systemType);
    r["ZTEXT"] = m.text.isNull() ? QVariant() : QVariant(m.text);
    r["ZPHONENUMINDEX"] = m.person ? QVariant(m.person) : QVariant();
    r["ZSEQ"] = m.seq;
    r["ZTOKEN"] = m.token;
    if (!m.emoticonRanges.isEmpty())
        r["ZEMOTICONSRANGES"] = m.emoticonRanges;
    return insertThrow(QStringLiteral("ZVIBERMESSAGE"), r);
}

qint64 IOSStoreWriter::addLocation(qint64 msg, double latitude, double longitude, const QString& address)
{
    Sqlite3Row r;
    r["ZMESSAGE"] = msg;
    r["ZLATITUDE"] = latitude;
    r["ZLONGITUDE"] = longitude;
    r["ZADDRESS"] = address;
    const qint64 id = insertThrow(QStringLiteral("ZVIBERLOCATION"), r);
    m_db.executeThrow(Sqlite3Sql("update ZVIBERMESSAGE set ZLOCATION = ? where Z_PK = ?").addInt64Param(id).addInt64Param(msg));
    return id;
}

qint64 IOSStoreWriter::addAttachment(qint64 msg, const QString& type, const QString& name, const QString& mediaId,
                                     qint64 fileSize, double duration)
{
    Sqlite3Row r;
    r["ZMESSAGE"] = msg;
    r["ZTYPE"] = type;
    r["ZNAME"] = name;
    r["ZID"] = mediaId;
    r["ZFILESIZE"] = fileSize;
    r["ZDURATION"] = duration;
    r["ZBUCKET"] = QStringLiteral("share");
    r["ZSTATE"] = QStringLiteral("downloaded");
    const qint64 id = insertThrow(QStringLiteral("ZATTACHMENT"), r);
    m_db.executeThrow(Sqlite3Sql("update ZVIBERMESSAGE set ZATTACHMENT = ? where Z_PK = ?").addInt64Param(id).addInt64Param(msg));
    return id;
}

qint64 IOSStoreWriter::addCall(qint64 person, const QString& callType, int duration, double date, qint64 token)
{
    qint64 line = m_lineOfPerson.value(person);
    if (!line) {
        Sqlite3Row l;
        l["ZPHONENUMINDEX"] = person;
        l["ZDATE"] = date;
        l["ZCALLTYPE"] = callType;
        l["ZCOUNT"] = 1;
        line = insertThrow(QStringLiteral("ZRECENTSLINE"), l);
        m_lineOfPerson.insert(person, line);
    }
    Sqlite3Row r;
    r["ZRECENTSLINE"] = line;
    r["ZCALLTYPE"] = callType;
    r["ZDURATION"] = duration;
    r["ZDATE"] = date;
    r["ZCALLTOKEN"] = token;
    r["ZREAD"] = 1;
    return insertThrow(QStringLiteral("ZRECENT"), r);
}
