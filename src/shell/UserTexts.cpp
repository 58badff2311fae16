#include "shell/UserTexts.h"

#include <QCoreApplication>
#include <QTranslator>

#include <algorithm>
#include <limits>

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

QString ids(const char* key, qint64 n)
{
    const int form = int(std::clamp<qint64>(n, -1, std::numeric_limits<int>::max()));
    QString text = table()->translate("ferrowick", key, nullptr, form);
    if (text.isEmpty())
        return QString::fromLatin1(key);
    return text.replace(QLatin1String("%n"), QString::number(n));
}

QString g_iPhoneTitle(const QString& name)
{
    const QString trimmed = name.trimmed();
    return trimmed.isEmpty() ? ids("IDS_THE_IPHONE") : ids("IDS_IPHONE_NAMED_%1").arg(trimmed);
}

bool g_installTranslation()
{
    return QCoreApplication::installTranslator(table());
}
