#include "ui/UiIcons.h"

#include <QHash>

QImage g_uiIcon(const QString& name)
{
    // Models ask for icons from data(), once per row shown: load and scale
    // each picture once.
    static QHash<QString, QImage> cache;
    auto it = cache.find(name);
    if (it == cache.end()) {
        QImage image(QStringLiteral(":/res/%1.png").arg(name));
        if (!image.isNull())
            image = image.scaledToWidth(kTreeIconWidth, Qt::SmoothTransformation);
        it = cache.insert(name, image);
    }
    return it.value();
}
