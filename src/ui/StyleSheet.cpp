#include "ui/StyleSheet.h"

#include <QFile>

QString getStyleSheet()
{
    static const QString text = [] {
        QFile file(QStringLiteral(":/res/style.css"));
        if (!file.open(QIODevice::ReadOnly))
            return QString();
        QByteArray bytes = file.readAll();
        const qsizetype nul = bytes.indexOf('\0');
        if (nul >= 0)
            bytes.truncate(nul);
        return QString::fromUtf8(bytes);
    }();
    return text;
}
