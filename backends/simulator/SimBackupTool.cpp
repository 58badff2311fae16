// The backup program of the simulated iPhones: idevicebackup2's arguments and
// kind of output, working on the device folders of FERROWICK_SIM_DEVICES.
//
//   ferrowick-simbackup -u UDID backup [--full] ROOT
//   ferrowick-simbackup -u UDID [-s SOURCE] restore [--system] [--settings] [--password PWD] ROOT
//
// A backup of the device lands in ROOT/UDID: the app container
// (AppDomain-com.viber), the app-group container when the phone has one
// (AppDomainGroup-group.viber.share.container) and the media folder
// (MediaDomain, below "Media"), as a Manifest.db backup, encrypted when the
// phone's com.apple.mobile.backup domain says WillEncrypt. A restore puts the
// two containers of ROOT/SOURCE back onto the phone.
//
// Switches, in the "Backup" dictionary of device.plist:
//   Password        the phone's backup password (encrypted backups)
//   Legacy          true: a Manifest.mbdb backup, as iOS 9 and older write
//   DelayMs         how long the program works before it ends (progress lines meanwhile)
//   Failure         a backup fails with this text, leaving a partial folder
//   RestoreFailure  a restore fails with this text, changing nothing
//   SnapshotState   the backup's Status.plist says this instead of "finished"

#include "fixtures/BackupFixture.h"
#include "itunes/BackupManifest.h"
#include "plist/CFType.h"
#include "shell/DataFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cstdio>
#include <exception>
#include <functional>

namespace {
const QString kAppDomain = QStringLiteral("AppDomain-com.viber");
const QString kGroupDomain = QStringLiteral("AppDomainGroup-group.viber.share.container");
const QString kAppFolder = QStringLiteral("Containers/com.viber");
const QString kGroupFolder = QStringLiteral("Containers/group.viber.share.container");

void say(const QString& text)
{
    std::fprintf(stdout, "%s\n", qUtf8Printable(text));
    std::fflush(stdout);
}

int fail(const QString& text, const char* what)
{
    std::fprintf(stderr, "%s\n", qUtf8Printable(text));
    say(QString::fromLatin1(what));
    return 1;
}

CFType readPlist(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return CFType();
    return CFType::createCFPropertyList(f.read(16 * 1024 * 1024));
}

// The folder of the attached simulated phone with this identifier.
QString findDevice(const QString& udid)
{
    const QDir root(qEnvironmentVariable("FERROWICK_SIM_DEVICES"));
    QStringList attached;
    QFile control(root.filePath(QStringLiteral("attached")));
    const bool controlled = control.open(QIODevice::ReadOnly);
    if (controlled)
        attached = QString::fromUtf8(control.readAll()).split(u'\n', Qt::SkipEmptyParts);
    for (QString& a : attached)
        a = a.trimmed();
    for (const QString& name : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        if (controlled && !attached.contains(name))
            continue;
        const CFType config = readPlist(root.filePath(name + QStringLiteral("/device.plist")));
        if (config.get(QStringLiteral("Values")).get(QStringLiteral("UniqueDeviceID")).CFStringQString() == udid)
            return root.filePath(name);
    }
    return QString();
}

// Pretends to work for the configured time, showing progress as the real
// program does.
void work(const CFType& sw)
{
    const qint64 delay = sw.get(QStringLiteral("DelayMs")).CFNumberInt64(0);
    for (qint64 done = 0; done < delay; done += 100) {
        say(QStringLiteral("[%1%] Receiving files").arg(done * 100 / delay));
        QThread::msleep(100);
    }
}

int backup(const QString& folder, const CFType& config, const QString& udid, const QString& root)
{
    const CFType sw = config.get(QStringLiteral("Backup"));
    const CFType values = config.get(QStringLiteral("Values"));
    say(QStringLiteral("Backup directory is \"%1\"").arg(root));
    say(QStringLiteral("Starting backup..."));
    work(sw);

    BackupFixture b;
    b.udid = udid;
    b.deviceName = values.get(QStringLiteral("DeviceName")).CFStringQString();
    b.productVersion = values.get(QStringLiteral("ProductVersion")).CFStringQString();
    b.generation = sw.get(QStringLiteral("Legacy")).CFNumberBool(false) ? BackupFixture::Mbdb : BackupFixture::ManifestDb;
    const CFType settings = config.get(QStringLiteral("Domains")).get(QStringLiteral("com.apple.mobile.backup"));
    b.encrypted = settings.get(QStringLiteral("WillEncrypt")).CFNumberBool(false);
    b.password = sw.get(QStringLiteral("Password")).CFStringQString().toUtf8();
    const QDir dev(folder);
    if (dev.exists(kAppFolder))
        b.addContainer(dev.filePath(kAppFolder), kAppDomain);
    if (dev.exists(kGroupFolder))
        b.addContainer(dev.filePath(kGroupFolder), kGroupDomain);
    if (dev.exists(QStringLiteral("Media")))
        b.addContainer(dev.filePath(QStringLiteral("Media")), QStringLiteral("MediaDomain"), QStringLiteral("Media"));

    const QString target = QDir(root).filePath(udid);
    QDir(target).removeRecursively();
    const QString failure = sw.get(QStringLiteral("Failure")).CFStringQString();
    if (!failure.isEmpty()) {
        // What a backup broken off midway leaves: a folder without its index.
        QDir().mkpath(target);
        QFile info(target + QStringLiteral("/Info.plist"));
        if (info.open(QIODevice::WriteOnly))
            info.write(CFType::createCFDictionary().CFPropertyListToBytes(100));
        return fail(failure, "Backup Failed (Error Code -4).");
    }
    b.write(root, udid);
    const QString state = sw.get(QStringLiteral("SnapshotState")).CFStringQString();
    if (!state.isEmpty()) {
        CFType status = CFType::createCFDictionary();
        status.put(QStringLiteral("SnapshotState"), CFType::createCFString(state));
        QFile f(target + QStringLiteral("/Status.plist"));
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(status.CFPropertyListToBytes(100));
    }
    say(QStringLiteral("Backup Successful."));
    return 0;
}

bool isSafeRelative(const QString& path)
{
    if (path.isEmpty() || path.startsWith(u'/'))
        return false;
    for (const QString& part : path.split(u'/'))
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String(".."))
            return false;
    return true;
}

void walk(const BackupManifest::_FileNode& node, const std::function<void(const BackupManifest::_FileNode&)>& fn)
{
    for (const auto& child : node.children) {
        fn(*child);
        walk(*child, fn);
    }
}

int restore(const QString& folder, const CFType& config, const QString& source, const QString& root,
            const QString& password)
{
    const CFType sw = config.get(QStringLiteral("Backup"));
    say(QStringLiteral("Backup directory is \"%1\"").arg(root));
    say(QStringLiteral("Starting Restore..."));
    work(sw);
    const QString failure = sw.get(QStringLiteral("RestoreFailure")).CFStringQString();
    if (!failure.isEmpty())
        return fail(failure, "Restore Failed (Error Code -205).");

    // A program of its own: its working copies go where the caller's
    // environment puts the data folder.
    BackupManifest manifest(QDir(root).filePath(source), g_resolveDataFolders());
    manifest.readManifestInfo();
    if (manifest.info().isEncrypted) {
        const QString pw = password.isEmpty() ? sw.get(QStringLiteral("Password")).CFStringQString() : password;
        if (!manifest.setPasscode(pw.toUtf8()))
            return fail(QStringLiteral("ErrorCode 207: wrong backup password"), "Restore Failed (Error Code -207).");
    }
    manifest.parseInfo();

    // The restored containers replace the phone's: a file absent from the
    // backup is gone afterwards.
    const QDir dev(folder);
    const QString staging = dev.filePath(QStringLiteral("Containers/.restoring"));
    QDir(staging).removeRecursively();
    walk(manifest.rootNode(), [&](const BackupManifest::_FileNode& node) {
        if (node.item.isFolder())
            return;
        const QString domain = node.item.domain.toString();
        const QString path = node.item.path.toString();
        QString under;
        if (domain == kAppDomain)
            under = QStringLiteral("com.viber");
        else if (domain == kGroupDomain)
            under = QStringLiteral("group.viber.share.container");
        if (under.isEmpty() || !isSafeRelative(path))
            return;
        const QString dest = staging + u'/' + under + u'/' + path;
        QDir().mkpath(QFileInfo(dest).absolutePath());
        manifest.copyFile(&node, dest, nullptr, nullptr);
    });
    for (const QString& under : {QStringLiteral("com.viber"), QStringLiteral("group.viber.share.container")}) {
        const QString from = staging + u'/' + under;
        if (!QFileInfo::exists(from))
            continue;
        const QString to = dev.filePath(QStringLiteral("Containers/") + under);
        QDir(to).removeRecursively();
        QDir().rename(from, to);
    }
    QDir(staging).removeRecursively();
    say(QStringLiteral("Restore Successful."));
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString udid, source, command, root, password;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if ((a == QLatin1String("-u") || a == QLatin1String("--udid")) && i + 1 < args.size())
            udid = args.at(++i);
        else if ((a == QLatin1String("-s") || a == QLatin1String("--source")) && i + 1 < args.size())
            source = args.at(++i);
        else if (a == QLatin1String("--password") && i + 1 < args.size())
            password = args.at(++i);
        else if (a == QLatin1String("backup") || a == QLatin1String("restore"))
            command = a;
        else if (a.startsWith(u'-'))
            continue; // --full, --system, --settings: what the simulated phone always does
        else
            root = a;
    }
    if (command.isEmpty() || root.isEmpty() || udid.isEmpty()) {
        std::fprintf(stderr, "Usage: ferrowick-simbackup -u UDID [-s SOURCE] backup|restore [OPTIONS] DIRECTORY\n");
        return 2;
    }
    if (!QFileInfo(root).isDir()) {
        std::fprintf(stderr, "ERROR: Backup directory \"%s\" does not exist!\n", qUtf8Printable(root));
        return 1;
    }
    const QString folder = findDevice(udid);
    if (folder.isEmpty()) {
        std::fprintf(stderr, "No device found with udid %s.\n", qUtf8Printable(udid));
        return 1;
    }
    const CFType config = readPlist(folder + QStringLiteral("/device.plist"));
    try {
        if (command == QLatin1String("backup"))
            return backup(folder, config, udid, root);
        return restore(folder, config, source.isEmpty() ? udid : source, root, password);
    } catch (const std::exception& e) {
        return fail(QStringLiteral("ErrorCode 1: %1").arg(QString::fromUtf8(e.what())),
                    command == QLatin1String("backup") ? "Backup Failed." : "Restore Failed.");
    }
}
