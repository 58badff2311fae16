#include "ui/ItemModelSms.h"

#include "model/ViberTime.h"
#include "shell/UserTexts.h"
#include "ui/UiIcons.h"

#include <QBrush>
#include <QHash>
#include <QIcon>
#include <QImageReader>
#include <QPixmap>
#include <QLocale>
#include <QSize>

ItemModelSms::ItemModelSms(QObject* parent) : QAbstractItemModel(parent) {}

void ItemModelSms::loadSMS(const QList<_ViberMsg*>& list, bool mixedChats)
{
    beginResetModel();
    m_msgs = list;
    m_mixed = mixedChats;
    endResetModel();
}

QModelIndex ItemModelSms::indexOfPos(int row) const
{
    return index(row, 0);
}

_ViberMsg* ItemModelSms::messageOf(const QModelIndex& index)
{
    return index.isValid() && index.column() == 0 ? static_cast<_ViberMsg*>(index.internalPointer())
                                                  : nullptr;
}

QModelIndex ItemModelSms::index(int row, int column, const QModelIndex& parent) const
{
    if (parent.isValid() || row < 0 || row >= m_msgs.size() || column < 0 || column >= COLUMN_COUNT)
        return QModelIndex();
    return createIndex(row, column, column == 0 ? m_msgs.at(row) : nullptr);
}

QModelIndex ItemModelSms::parent(const QModelIndex&) const
{
    return QModelIndex();
}

int ItemModelSms::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_msgs.size());
}

int ItemModelSms::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : COLUMN_COUNT;
}

namespace {
bool isCallEntry(const _ViberMsg* m)
{
    return m->type == MSG_TYPE_CALL;
}

bool isSystemMessage(const _ViberMsg* m)
{
    return m->type == MSG_TYPE_SYSTEM;
}

// A sticker's own picture, small enough for a list row; null when it was
// never fetched. Kept per file (in known), as a list scrolls past the same
// stickers often.
QIcon stickerIcon(const _ViberMsg* m, QHash<QString, QIcon>& known)
{
    if (m->type != MSG_TYPE_STICKER || !m->atta || m->atta->thumbPath.isEmpty())
        return QIcon();
    const QString& path = m->atta->thumbPath;
    const auto it = known.constFind(path);
    if (it != known.cend())
        return it.value();
    QIcon icon;
    QImageReader reader(path);
    const QSize size = reader.size();
    // Pictures far beyond a sticker's size are not decoded for a row.
    if (size.isValid() && qint64(size.width()) * size.height() <= 4096LL * 4096) {
        reader.setScaledSize(size.scaled(QSize(36, 36), Qt::KeepAspectRatio));
        const QImage img = reader.read();
        if (!img.isNull())
            icon = QIcon(QPixmap::fromImage(img));
    }
    if (known.size() > 512)
        known.clear();
    known.insert(path, icon);
    return icon;
}
} // namespace

QString ItemModelSms::cellText(const _ViberMsg* m, int column, bool mixedChats)
{
    // Looked up once: the list asks for every row it paints.
    static const QString to = ids("IDS_FLAG_TO"), from = ids("IDS_FLAG_FROM"), call = ids("IDS_CONTACT_CALL"),
                         system = ids("IDS_CONTACT_SYSTEM");
    switch (column) {
    case COL_DATE:
        return QLocale::system().toString(dtFromTimestamp(m->date), QLocale::ShortFormat);
    case COL_FLAG:
        if (isCallEntry(m) || isSystemMessage(m))
            return QString();
        return m->isFromMe() ? to : from;
    case COL_CONTACT:
        if (isCallEntry(m))
            return call;
        if (isSystemMessage(m))
            return system;
        if (!m->chat)
            return QString();
        if (mixedChats && !m->chat->groupId.isEmpty()) {
            // Among the messages of every chat a sender alone does not say
            // which group the message went to.
            const QString group = m->chat->display();
            return m->person ? group + QStringLiteral(": ") + m->person->fullDisplay() : group;
        }
        if (!m->chat->groupId.isEmpty())
            // One's own message went to the group, not to its first members.
            return m->person ? m->person->fullDisplay() : m->chat->display();
        return m->chat->fullDisplay();
    case COL_CONTENT:
        return m->summary(_ViberMsg::SUMMARY_READABLE);
    default:
        return QString();
    }
}

QVariant ItemModelSms::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_msgs.size())
        return QVariant();
    const _ViberMsg* m = m_msgs.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return cellText(m, index.column(), m_mixed);
    case Qt::DecorationRole:
        if (index.column() == COL_CONTENT) {
            const QIcon sticker = stickerIcon(m, m_stickerIcons);
            return sticker.isNull() ? QVariant() : QVariant(sticker);
        }
        if (index.column() != COL_DATE)
            return QVariant();
        return g_uiIcon(m->isFromMe() ? QStringLiteral("icon_sms-sent") : QStringLiteral("icon_sms-receive"));
    case Qt::BackgroundRole: {
        static const QBrush mine(QColor(245, 255, 226));
        static const QBrush theirs(QColor(255, 255, 255));
        return m->isFromMe() ? mine : theirs;
    }
    case Qt::ForegroundRole: {
        // The rows paint their own light backgrounds, so their text stays dark
        // whatever the desktop theme's text colour is.
        static const QBrush text(QColor(34, 34, 34));
        return text;
    }
    case Qt::SizeHintRole:
        return QSize(0, 23);
    default:
        return QVariant();
    }
}

QVariant ItemModelSms::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case COL_DATE:
        return ids("IDS_COL_DATE");
    case COL_FLAG:
        return ids("IDS_COL_FLAG");
    case COL_CONTACT:
        return ids("IDS_COL_CONTACT");
    case COL_CONTENT:
        return ids("IDS_COL_CONTENT");
    default:
        return QVariant();
    }
}
