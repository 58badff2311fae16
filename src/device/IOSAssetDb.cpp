#include "device/IOSAssetDb.h"

#include "model/ViberTime.h"

#include <QRegularExpression>

namespace {
constexpr int kAssetPicture = 0;
constexpr int kAssetVideo = 1;
constexpr int kOpenReadWrite = 2;
} // namespace

IOSAssetDb::IOSAssetDb(const QString& path) : m_path(path) {}

void IOSAssetDb::openCheckThrow()
{
    if (!isOpen())
        openThrow(m_path, kOpenReadWrite);
}

bool IOSAssetDb::isAssetExistsThrow(const QString& uid)
{
    openCheckThrow();
    Sqlite3Cursor c = queryThrow(
        Sqlite3Sql("select 1 from ZGENERICASSET where ZUUID=? limit 1").addTextParam(uid));
    return c.moveNext();
}

QString IOSAssetDb::assetPath(const QString& uid)
{
    openCheckThrow();
    Sqlite3Cursor c = queryThrow(
        Sqlite3Sql("select '/'||ZDIRECTORY||'/'||ZFILENAME as path from ZGENERICASSET where ZUUID=? limit 1")
            .addTextParam(uid));
    return c.moveNext() ? c.getText("path") : QString();
}

QString IOSAssetDb::assetThumbnailPath(const QString& uid)
{
    openCheckThrow();
    Sqlite3Cursor c =
        queryThrow(Sqlite3Sql("select * from ZGENERICASSET where ZUUID=? limit 1").addTextParam(uid));
    if (!c.moveNext())
        return QString();
    static const QRegularExpression appleFolder(QStringLiteral("(\\d+APPLE)$"),
                                                QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = appleFolder.match(c.getText("ZDIRECTORY"));
    if (!m.hasMatch())
        return QString();
    const QString folder = m.captured(1);
    const QString fileName = c.getText("ZFILENAME");
    switch (c.getInt("ZKIND")) {
    case kAssetVideo:
        return QStringLiteral("/PhotoData/Metadata/DCIM/%1/%2.THM").arg(folder, fileName.section(u'.', 0, 0));
    case kAssetPicture: {
        // The index keeps the time since 2001 as a real; the thumbnail name
        // carries it in Unix seconds, from its 32-bit integer part.
        const qint64 t = qint64(qint32(c.getInt("ZMODIFICATIONDATE"))) + kCoreDataEpochUnix;
        return QStringLiteral("/DCIM/.THMB/%1/%2___%3.%4")
            .arg(QString::number(((t % 100) + 100) % 100).rightJustified(2, u'0'), folder, fileName,
                 QString::number(t));
    }
    default:
        return QString();
    }
}
