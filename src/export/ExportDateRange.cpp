#include "export/ExportDateRange.h"

#include "model/ViberTime.h"

#include <QDateTime>
#include <QRegularExpression>

QList<_ViberMsg*> ExportDateRange::filter(const QList<_ViberMsg*>& msgs) const
{
    if (isOpen())
        return msgs;
    QList<_ViberMsg*> kept;
    for (_ViberMsg* m : msgs) {
        if (contains(m->date))
            kept << m;
    }
    return kept;
}

bool ExportDateRange::parseLocal(const QString& text, double& recordTime, QString& error)
{
    static const QRegularExpression shape(
        QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})(?:[T ](\\d{2}):(\\d{2})(?::(\\d{2}))?)?$"));
    const QRegularExpressionMatch m = shape.match(text.trimmed());
    const QDate date = m.hasMatch()
                           ? QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt())
                           : QDate();
    const QTime time = m.hasMatch() && m.hasCaptured(4)
                           ? QTime(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt())
                           : QTime(0, 0);
    if (!date.isValid() || !time.isValid()) {
        // The caller names the text; the error says only what is wrong.
        error = QStringLiteral("write it as yyyy-MM-dd, yyyy-MM-ddThh:mm or yyyy-MM-dd hh:mm:ss");
        return false;
    }
    QDateTime local(date, time, Qt::LocalTime);
    // Inside a spring-forward gap: the first minute that exists after it.
    for (int minutes = 1; !local.isValid() && minutes <= 3 * 60; ++minutes) {
        const QDateTime naive = QDateTime(date, time, Qt::UTC).addSecs(qint64(minutes) * 60);
        local = QDateTime(naive.date(), QTime(naive.time().hour(), naive.time().minute()), Qt::LocalTime);
    }
    if (!local.isValid()) {
        error = QStringLiteral("that time does not exist in the local time zone");
        return false;
    }
    recordTime = double(local.toSecsSinceEpoch() - kCoreDataEpochUnix);
    return true;
}
