// Calls merged into today's store: a line per person, the call, and its
// entry in the chat.
#include "stores/CurrentStoreMergerImpl.h"

#include "shell/Failure.h"

using namespace CurrentStore;
using namespace CurrentMerge;

qint64 CurrentStoreMerger::Impl::lineKeyThrow(const _ViberPerson* person, double date, const QString& type)
{
    const qint64 member = memberKeyThrow(person);
    const QString digits = identityOf(person->number).digits;
    qint64 line = member > 0 ? lineOfMember.value(member) : 0;
    if (line == 0 && !digits.isEmpty())
        line = lineOfDigits.value(digits);
    if (line > 0)
        return line;
    line = takeKey(linePlan.table());
    RowValues row = newRow(linePlan, lineEnt, line);
    if (member > 0)
        row.set(I_MEMBER, member);
    if (!digits.isEmpty())
        row.set(I_NUMBER, u'+' + digits);
    row.set(I_COUNT, 0);
    row.set(I_DATE, date);
    row.set(I_TYPE, type);
    row.insertThrow(db);
    newLines.insert(line);
    if (member > 0)
        lineOfMember.insert(member, line);
    else if (!digits.isEmpty())
        lineOfDigits.insert(digits, line);
    return line;
}

bool CurrentStoreMerger::addCallThrow(qint64 chatKey, const _ViberCall& call)
{
    const QString type = g_iosCallTypeText(call.type, call.video);
    if (!call.person || type.isEmpty() || identityOf(call.person->number).isEmpty())
        return false;
    if (call.token != 0) {
        for (int kind : d->callKindsOfToken.value(call.token)) {
            if (kind == call.type)
                return false;
        }
    }
    const qint64 line = d->lineKeyThrow(call.person, call.date, type);
    if (call.token == 0) {
        // Without a token only the same call of the same line is the same:
        // its time (within a minute), kind and duration, whether the store's
        // copy has a token or not.
        const qint64 s = g_wholeSeconds(call.date);
        Sqlite3Statement& q = d->statement(
            Impl::LineCallByTime, QStringLiteral("select %1 from %2 where %3=? and %4=? and %5 between ? and ? and %6=?")
                                      .arg(L(kPk), L(Recent::kTable), L(Recent::kCallType), L(Recent::kLine),
                                           L(Recent::kDate), L(Recent::kDuration)));
        Resetting done{q};
        q.bindText(1, type).bindInt64(2, line).bindInt64(3, s - 60).bindInt64(4, s + 60).bindInt64(5, call.duration);
        if (q.step())
            return false;
    }

    // The call's entry in its chat, as the app writes one.
    qint64 msgKey = 0;
    if (chatKey > 0) {
        const qint64 token = call.token != 0 && !d->msgOfToken.contains(call.token)
                                 ? call.token
                                 : d->freeToken(call.date, type.toUtf8() + QByteArray::number(call.duration));
        msgKey = d->takeKey(d->msgPlan.table());
        const qint64 member = d->memberKeyThrow(call.person);
        RowValues row = d->newMessageRow(msgKey, chatKey);
        if (call.type != CALL_OUTGOING && member > 0)
            row.set(M_SENDER, member);
        row.set(M_DATE, call.date);
        row.set(M_STATEDATE, call.date);
        row.set(M_STATE, call.type == CALL_OUTGOING ? QStringLiteral("delivered") : QStringLiteral("received"));
        row.set(M_TEXT, QString());
        row.set(M_TOKEN, token);
        row.set(M_SEQ, 0);
        row.set(M_CALLTYPE, type);
        row.set(M_CALLDURATION, call.duration);
        for (int i = 0; i < d->msgFlags; ++i)
            row.set(M_ZERO + i, 0);
        row.insertThrow(d->db);
        d->messageBatchedThrow();
        d->msgOfToken.insert(token, msgKey);
        d->noteAdded(chatKey, {call.date, msgKey, token, call.type != CALL_OUTGOING ? member : 0, QString(), type, {}});
    }

    RowValues row = d->newRow(d->recentPlan, d->recentEnt, d->takeKey(d->recentPlan.table()));
    row.set(R_TOKEN, call.token);
    row.set(R_DURATION, call.duration);
    if (msgKey > 0)
        row.set(R_MSG, msgKey);
    row.set(R_LINE, line);
    row.set(R_DATE, call.date);
    row.set(R_TYPE, type);
    row.insertThrow(d->db);
    if (call.token != 0)
        d->callKindsOfToken[call.token] << call.type;
    d->touchedLines.insert(line);
    return true;
}

