#include "shell/UserTexts.h"

#include <QCoreApplication>
#include <QTranslator>

namespace {
QTranslator* table()
{
    static QTranslator* t = [] {
        auto* tr = new QTranslator;
        if (!tr->load(QStringLiteral(":/en.qm")))
            qWarning("The embedded translation table could not be loaded.");
        return tr;
    }();
    return t;
}
} // namespace

QString ids(const char* key)
{
    const QString text = table()->translate("ferrowick", key);
    return text.isEmpty() ? QString::fromLatin1(key) : text;
}

bool g_installTranslation()
{
    return QCoreApplication::installTranslator(table());
}
