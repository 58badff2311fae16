#include "stores/OldStoreMerger.h"

#include "stores/StorePaths.h"

void OldStoreMerger::prepareThrow()
{
    m_db.checkWritableThrow();
}

qint64 OldStoreMerger::chatKeyThrow(const _ViberChat* chat)
{
    qint64 key = m_db.findChatSlowThrow(chat);
    if (key == 0)
        key = m_db.insertChatThrow(m_ctx, chat);
    m_db.saveChatMembersThrow(m_ctx, key, chat->members.values());
    return key;
}

qint64 OldStoreMerger::addMessageThrow(qint64 chatKey, const _ViberMsg& m, qint64& attaKey)
{
    long long atta = 0, loc = 0;
    attaKey = 0;
    // Without a token the content decides: time alone would fold different
    // messages of one minute into one.
    if (m_db.findMsgThrow(m, chatKey, atta) != 0)
        return 0;
    const qint64 key = m_db.insertMsgThrow(m_ctx, chatKey, &m, atta, loc);
    attaKey = key > 0 ? atta : 0;
    if (attaKey > 0 && m.atta && !m.atta->iosAssetUID().isEmpty())
        m_db.setAttaAssetUrlNullThrow(attaKey);
    return key;
}

bool OldStoreMerger::addCallThrow(qint64, const _ViberCall& call)
{
    // The transfer puts the device's own calls back on new lines: their
    // counts are due whether or not this call is new.
    m_callsSeen = true;
    if (hasCallThrow(m_db, call.token, call.type, QString(), call.date))
        return false;
    return m_db.saveCallThrow(m_ctx, &call) > 0;
}

void OldStoreMerger::finishThrow()
{
    m_db.updateChatStatThrow();
    if (m_callsSeen)
        m_db.updateCallRecentLinesStatThrow();
    m_db.updatePrimaryKeyStatThrow();
}

bool OldStoreMerger::hasCallThrow(IOSViberDb& db, qint64 token, int kind, const QString& typeText, double date)
{
    const QByteArray typeUtf8 = typeText.toUtf8();
    Sqlite3Cursor c =
        db.queryThrow(Sqlite3Sql("select ZCALLTYPE, ZDATE from ZRECENT where ZCALLTOKEN=?").addInt64Param(token));
    while (c.moveNext()) {
        const QByteArrayView other = c.getUtf8(0);
        const bool sameKind = kind != 0 ? g_callTypeOfText(other) == kind : other == QByteArrayView(typeUtf8);
        if (sameKind && (token != 0 || qAbs(c.getDouble(1) - date) < 1))
            return true;
    }
    return false;
}
