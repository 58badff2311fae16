#include "SourceChoice.h"

#include "shell/LocalDbNames.h"

namespace {
struct SourceOption
{
    SourceChoice::Kind kind;
    const char* name;
    const char* valueName;
    const char* help;
};

const SourceOption kSourceOptions[] = {
    {SourceChoice::Container, "container", "DIR",
     "Read a folder laid out like Viber's application container or its app-group container."},
    {SourceChoice::LocalDb, "localdb", "NAME", "Read a local database of the data folder."},
    {SourceChoice::ITunes, "itunes", "DIR", "Read an iTunes backup folder."},
    {SourceChoice::Desktop, "desktop", "FILE", "Read a Viber Desktop viber.db."},
    {SourceChoice::Device, "device", "UDID", "Read an attached iPhone."},
    {SourceChoice::Demo, "demo", nullptr, "Read the built-in sample history."},
};
} // namespace

QList<QCommandLineOption> SourceChoice::options()
{
    QList<QCommandLineOption> list;
    for (const SourceOption& o : kSourceOptions) {
        if (o.valueName)
            list << QCommandLineOption(QString::fromLatin1(o.name), QString::fromLatin1(o.help),
                                       QString::fromLatin1(o.valueName));
        else
            list << QCommandLineOption(QString::fromLatin1(o.name), QString::fromLatin1(o.help));
    }
    list << QCommandLineOption(QStringLiteral("password-file"),
                               QStringLiteral("File holding the password of an encrypted iTunes backup (or of the backup an iPhone makes)."),
                               QStringLiteral("FILE"));
    list << QCommandLineOption(QStringLiteral("app-container"),
                               QStringLiteral("With --container naming an app-group container: the app's own "
                                              "container, which holds the attachment files."),
                               QStringLiteral("DIR"));
    list << QCommandLineOption(QStringLiteral("chat"), QStringLiteral("Only this chat (repeatable)."),
                               QStringLiteral("KEY"));
    return list;
}

QString SourceChoice::kindOption(Kind kind)
{
    for (const SourceOption& o : kSourceOptions) {
        if (o.kind == kind)
            return QStringLiteral("--") + QString::fromLatin1(o.name);
    }
    return QString();
}

bool SourceChoice::fromParser(const QCommandLineParser& parser, const QStringList& known,
                              const DataFolders& folders, SourceChoice& choice, QString& error)
{
    choice = SourceChoice();
    for (const SourceOption& o : kSourceOptions) {
        const QString name = QString::fromLatin1(o.name);
        if (!known.contains(name) || !parser.isSet(name))
            continue;
        if (choice.kind != None) {
            error = QStringLiteral("give only one source (%1 and %2)").arg(kindOption(choice.kind), kindOption(o.kind));
            return false;
        }
        choice.kind = o.kind;
        if (o.valueName) {
            const QStringList values = parser.values(name);
            if (values.size() > 1) {
                error = QStringLiteral("--%1 may be given once").arg(name);
                return false;
            }
            choice.value = values.value(0);
            if (choice.value.trimmed().isEmpty()) {
                error = QStringLiteral("--%1 needs a value").arg(name);
                return false;
            }
            const QStringList ambiguous = o.kind == LocalDb ? g_localDbCaseAmbiguity(folders, choice.value) : QStringList();
            if (!ambiguous.isEmpty()) {
                error = QStringLiteral("--%1: '%2' matches %3; give the exact name")
                            .arg(name, choice.value, ambiguous.join(QLatin1String(", ")));
                return false;
            }
        }
    }
    if (known.contains(QStringLiteral("password-file")))
        choice.passwordFile = parser.value(QStringLiteral("password-file"));
    if (!choice.passwordFile.isEmpty() && choice.kind != ITunes && choice.kind != Device) {
        error = QStringLiteral("--password-file applies only to --itunes and --device");
        return false;
    }
    if (known.contains(QStringLiteral("app-container")))
        choice.appContainer = parser.value(QStringLiteral("app-container"));
    if (!choice.appContainer.isEmpty() && choice.kind != Container) {
        error = QStringLiteral("--app-container applies only to --container");
        return false;
    }
    if (known.contains(QStringLiteral("chat")))
        choice.chats = parser.values(QStringLiteral("chat"));
    return true;
}
