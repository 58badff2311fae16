#include "SourceLoader.h"
#include "shell/Failure.h"

#include "CommandOptions.h"
#include "DeviceAccess.h"
#include "TerminalProgress.h"
#include "itunes/BackupManifest.h"
#include "jobs/IOSLoadViberFromiTunesThread.h"
#include "shell/DataFolders.h"
#include "shell/FileRoutines.h"
#include "shell/LocalDbNames.h"
#include "shell/UserTexts.h"
#include "stores/DemoHistory.h"
#include "stores/IOSViberDb.h"
#include "stores/PCViberDb.h"
#include "stores/StorePaths.h"
#include "stores/ViberContainers.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>

#include <stdexcept>
#include <csignal>
#include <iterator>
#include <termios.h>
#include <unistd.h>

namespace {
// Runs a step of a load, naming the user's path in any failure: SQLite's own
// text ("file is not a database") does not say which file it meant, nor do
// the backup layer's.
template<typename Load>
auto loadNaming(const QString& what, Load load) -> decltype(load())
{
    try {
        return load();
    } catch (const std::runtime_error& e) {
        g_raise(QStringLiteral("%1: %2").arg(what, QString::fromUtf8(e.what())));
    }
}
} // namespace

SourceLoader::SourceLoader(SourceChoice choice, const DataFolders& folders)
    : m_choice(std::move(choice)), m_folders(folders)
{
}

SourceLoader::~SourceLoader() = default;

ViberData SourceLoader::loadThrow()
{
    ViberData data;
    switch (m_choice.kind) {
    case SourceChoice::Container:
        data = loadContainerThrow(m_choice.value, m_choice.value, m_choice.appContainer);
        break;
    case SourceChoice::Demo:
        data = loadContainerThrow(g_demoContainerThrow(m_folders), QStringLiteral("--demo"));
        break;
    case SourceChoice::LocalDb:
        data = loadLocalDbThrow(m_choice.value);
        break;
    case SourceChoice::Desktop:
        data = loadDesktopThrow(m_choice.value);
        break;
    case SourceChoice::ITunes:
        data = loadITunesThrow(m_choice.value);
        break;
    case SourceChoice::Device:
        data = loadDeviceThrow(m_choice.value);
        break;
    case SourceChoice::None:
        g_raise(QStringLiteral("no source given"));
    }
    restrictToChatsThrow(data);
    return data;
}

void SourceLoader::setTerminal(QTextStream* err, bool interactive)
{
    m_err = err;
    m_interactive = interactive;
}

bool SourceLoader::loadFor(const CliContext& ctx, ViberData& data)
{
    setTerminal(&ctx.err, ctx.interactive);
    try {
        data = loadThrow();
        if (ctx.keepLoadedData) {
            // One more handle that is never released: freeing millions of
            // records one by one costs more than the command that used them.
            static auto* kept = new QList<ViberData>;
            kept->append(data);
        }
        return true;
    } catch (const SourceInterrupted& e) {
        ctx.fail(QString::fromUtf8(e.what()));
        m_failureExit = CLI_EXIT_INTERRUPTED;
    } catch (const std::exception& e) {
        ctx.fail(QString::fromUtf8(e.what()));
        m_failureExit = CLI_EXIT_FAILURE;
    }
    return false;
}

bool SourceLoader::loadSource(const CliContext& ctx, ViberData& data, int& exitCode, Previews previews)
{
    SourceLoader loader(ctx.source, ctx.folders);
    loader.setMakePreviews(previews == MakePreviews);
    if (loader.loadFor(ctx, data))
        return true;
    exitCode = loader.failureExit();
    return false;
}

namespace {
// Copies left behind by a process that was killed (a listing piped into
// head) would otherwise pile up: those no running process claims go (the
// start of every run sweeps them too).
void removeStaleCopies(const QDir& cache)
{
    for (const QFileInfo& fi : cache.entryInfoList({QStringLiteral("source-*")}, QDir::Dirs | QDir::NoDotAndDotDot))
        g_removeIfUnclaimed(fi.absoluteFilePath(), 10 * 60);
}
} // namespace

QString SourceLoader::privateCopyThrow(const QString& file)
{
    if (!m_copy) {
        const QDir cache = m_folders.cacheDir();
        cache.mkpath(QStringLiteral("."));
        removeStaleCopies(cache);
        m_copy = std::make_unique<QTemporaryDir>(cache.filePath(QStringLiteral("source-XXXXXX")));
        if (!m_copy->isValid())
            g_raise(QStringLiteral("cannot create a working folder in %1").arg(cache.path()));
        // Copies of a decrypted store land here: a killed run's folder is
        // swept by the next start, this one only once it is no longer claimed.
        m_claim = std::make_unique<ScratchClaim>(m_copy->path());
        if (!m_claim->isValid())
            g_raise(QStringLiteral("cannot claim the working folder %1").arg(m_copy->path()));
    }
    const QString target = m_copy->filePath(QStringLiteral("store/") + QFileInfo(file).fileName());
    QDir().mkpath(QFileInfo(target).absolutePath());
    // The copy is ours to change (the reader removes orphaned rows).
    g_copySqliteFilesThrow(file, target);
    return target;
}

ViberData SourceLoader::loadContainerThrow(const QString& dir, const QString& what, const QString& appDir)
{
    if (!appDir.isEmpty()) {
        const QString wrong = g_pathKindError(QStringLiteral("app-container"), appDir, true);
        if (!wrong.isEmpty())
            g_raise(wrong);
    }
    if (QFileInfo::exists(dir) && !QFileInfo(dir).isDir())
        g_raise(g_pathKindError(QStringLiteral("container"), dir, true));
    const ViberContainers found = g_findViberContainers(dir, appDir);
    if (!found.found())
        g_raise(QStringLiteral("%1: no Viber store at %2 or %3").arg(what,
                                                                  QDir(dir).absoluteFilePath(QStringLiteral("Documents/Contacts.data")),
                                                                  QDir(dir).absoluteFilePath(QStringLiteral("com.viber/database/Contacts.data"))));
    if (!appDir.isEmpty() && !found.isGroup())
        g_raise(QStringLiteral("--app-container applies only to an app-group container (com.viber/database/Contacts.data)"));
    return loadFoundThrow(found, what);
}

ViberData SourceLoader::loadFoundThrow(const ViberContainers& found, const QString& what)
{
    const QString copy = privateCopyThrow(found.storeFile);
    // The settings name the owner; they are opened like the store, so they
    // are read from a copy too.
    QString settings;
    if (found.isGroup() && QFileInfo(found.settingsFile()).isFile())
        settings = privateCopyThrow(found.settingsFile());
    return loadNaming(what, [&] {
        IOSViberDb db(found.appRoot, copy, false);
        db.setPreviewRoot(QDir(m_copy->filePath(QStringLiteral("previews"))));
        db.setMakePreviews(m_makePreviews);
        if (found.isGroup()) {
            db.setSettingsFile(settings.isEmpty() ? m_copy->filePath(QStringLiteral("no-settings")) : settings);
            db.setIconsDir(found.iconsDir());
        }
        return db.loadDataThrow();
    });
}

ViberData SourceLoader::loadLocalDbThrow(const QString& name)
{
    if (!g_isPlainFileName(name))
        g_raise(QStringLiteral("--localdb: '%1' is not a database name").arg(name));
    // The same folder a backup into this name writes to (names match without
    // regard to case).
    const QString folder = g_localDbFolder(m_folders, name);
    if (folder.isEmpty())
        g_raise(QStringLiteral("--localdb: '%1' is not a database name").arg(name));
    const QDir root(folder);
    const QString dbFile = QString::fromLatin1(kLocalDbStoreFile);
    if (!QFileInfo(root.filePath(dbFile)).isFile())
        g_raise(QStringLiteral("--localdb: no local database named '%1'").arg(name));
    return loadNaming(QStringLiteral("--localdb %1").arg(name), [&] {
        IOSViberDb db(root, dbFile, true);
        db.setMakePreviews(m_makePreviews);
        return db.loadDataThrow();
    });
}

ViberData SourceLoader::loadDesktopThrow(const QString& file)
{
    const QString wrong = g_pathKindError(QStringLiteral("desktop"), file, false);
    if (!wrong.isEmpty())
        g_raise(wrong);
    const QString copy = privateCopyThrow(file);
    return loadNaming(file, [&] { return PCViberDb(copy).loadDataThrow(); });
}

namespace {
// A password is a line; anything this long is not one.
constexpr qint64 kMaxPasswordBytes = 64 * 1024;

QByteArray withoutLineEnd(QByteArray bytes)
{
    if (bytes.endsWith("\r\n"))
        bytes.chop(2);
    else if (bytes.endsWith('\n'))
        bytes.chop(1);
    return bytes;
}

// The terminal as it was before the prompt turned echo off, for the signal
// handler that puts it back.
termios g_promptTerminal = {};

const int kPromptSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// Ctrl-C (or a kill) at the prompt: echo back on, then the signal's own
// default, so the process still ends as interrupted.
extern "C" void restoreTerminalAndReraise(int sig)
{
    tcsetattr(STDIN_FILENO, TCSANOW, &g_promptTerminal);
    signal(sig, SIG_DFL);
    raise(sig);
}

// Reads one line from the terminal with echo off; the echo is restored
// whatever happens, a signal that ends the process included.
QByteArray readHiddenLine()
{
    termios old = {};
    const bool tty = tcgetattr(STDIN_FILENO, &old) == 0;
    struct sigaction previous[std::size(kPromptSignals)] = {};
    if (tty) {
        g_promptTerminal = old;
        struct sigaction sa = {};
        sa.sa_handler = restoreTerminalAndReraise;
        sigemptyset(&sa.sa_mask);
        for (size_t i = 0; i < std::size(kPromptSignals); ++i)
            sigaction(kPromptSignals[i], &sa, &previous[i]);
        termios quiet = old;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    QByteArray line;
    char c = 0;
    while (line.size() <= kMaxPasswordBytes && ::read(STDIN_FILENO, &c, 1) == 1 && c != '\n')
        line.append(c);
    if (tty) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &old);
        for (size_t i = 0; i < std::size(kPromptSignals); ++i)
            sigaction(kPromptSignals[i], &previous[i], nullptr);
    }
    return withoutLineEnd(line);
}
} // namespace

QByteArray SourceLoader::backupPasswordThrow(const BackupManifest& manifest) const
{
    if (!m_choice.passwordFile.isEmpty()) {
        QFile f(m_choice.passwordFile);
        if (!f.open(QIODevice::ReadOnly))
            g_raise(QStringLiteral("--password-file: cannot read %1: %2").arg(m_choice.passwordFile, f.errorString()));
        const QByteArray bytes = f.read(kMaxPasswordBytes + 1);
        if (bytes.size() > kMaxPasswordBytes)
            g_raise(QStringLiteral("--password-file: %1 is too large to hold a password").arg(m_choice.passwordFile));
        const QByteArray password = withoutLineEnd(bytes);
        if (password.isEmpty())
            g_raise(QStringLiteral("--password-file: %1 is empty").arg(m_choice.passwordFile));
        return password;
    }
    const QByteArray fromEnv = qgetenv("FERROWICK_BACKUP_PASSWORD");
    if (!fromEnv.isEmpty())
        return fromEnv;
    if (m_err && isatty(STDIN_FILENO)) {
        *m_err << QStringLiteral("Password of the iTunes backup %1: ").arg(manifest.displayName());
        m_err->flush();
        const QByteArray typed = readHiddenLine();
        *m_err << Qt::endl;
        if (typed.isEmpty())
            g_raise(ids("IDS_PWD_IS_NULL"));
        return typed;
    }
    g_raise(QStringLiteral("%1: the backup %2 is encrypted; give its password with --password-file FILE or "
                           "FERROWICK_BACKUP_PASSWORD")
                .arg(SourceChoice::kindOption(m_choice.kind), manifest.root().absolutePath()));
}

ViberData SourceLoader::loadITunesThrow(const QString& dir)
{
    const QString what = QStringLiteral("--itunes %1").arg(dir);
    const QString wrong = g_pathKindError(QStringLiteral("itunes"), dir, true);
    if (!wrong.isEmpty())
        g_raise(wrong);
    BackupManifest manifest(QFileInfo(dir).absoluteFilePath(), m_folders);
    loadNaming(what, [&] { manifest.readManifestInfo(); });

    QString sink;
    QTextStream quiet(&sink);
    TerminalProgress progress(m_err ? *m_err : quiet, m_err && m_interactive);
    if (manifest.info().isEncrypted) {
        const QByteArray password = backupPasswordThrow(manifest);
        bool unlocked = false;
        {
            // Current backups take seconds to unlock: Ctrl-C stops that too.
            InterruptGuard guard(progress);
            try {
                unlocked = loadNaming(what, [&] { return manifest.setPasscode(password, &progress); });
            } catch (const JobCancelled&) {
                throw SourceInterrupted();
            }
        }
        if (!unlocked)
            g_raise(ids("IDS_INVALID_PASSWORD"));
    }
    loadNaming(what, [&] { manifest.parseInfo(); });

    ViberContainers found;
    bool hasData = false;
    {
        InterruptGuard guard(progress);
        IOSLoadViberFromiTunesThread job(&manifest, progress, m_folders);
        job.run();
        found = job.containers();
        hasData = job.hasData();
    }
    if (progress.outcome() == TerminalProgress::Failed)
        g_raise(progress.resultText());
    if (progress.closed() || progress.outcome() != TerminalProgress::Succeeded)
        throw SourceInterrupted();
    if (!hasData)
        g_raise(ids("IDS_NOT_CONTAIN_VIBER_DATA_IN_ITUNES_BACKUP"));
    return loadFoundThrow(found, what);
}

ViberData SourceLoader::loadDeviceThrow(const QString& udid)
{
    const QString what = QStringLiteral("--device %1").arg(udid);
    const IOSDevice device = g_cliDeviceThrow(QStringLiteral("--device"), udid);
    QString sink;
    QTextStream quiet(&sink);
    QTextStream& err = m_err ? *m_err : quiet;
    IOSDeviceLoadHooks hooks;
    hooks.runJob = g_cliJobRunner(err, m_err && m_interactive);
    hooks.unlockBackup = [this, &err](BackupManifest& manifest) {
        const QByteArray password = backupPasswordThrow(manifest);
        TerminalProgress progress(err, m_err && m_interactive);
        InterruptGuard guard(progress);
        try {
            if (!manifest.setPasscode(password, &progress))
                g_raise(ids("IDS_INVALID_PASSWORD"));
        } catch (const JobCancelled&) {
            throw SourceInterrupted();
        }
        return true;
    };
    IOSDeviceLoadResult result;
    if (!g_loadIOSViberMessagesThrow(device, m_folders, hooks, result))
        throw SourceInterrupted();
    if (result.skipped > 0 && m_err)
        *m_err << QStringLiteral("ferrowick-cli: %1 attachments could not be copied\n").arg(result.skipped);
    return loadFoundThrow(result.containers, what);
}

void SourceLoader::restrictToChatsThrow(ViberData& data) const
{
    if (m_choice.chats.isEmpty())
        return;
    __ViberData* d = data.p();
    QSet<qint64> keep;
    for (const QString& key : m_choice.chats) {
        bool ok = false;
        const qint64 id = key.trimmed().toLongLong(&ok);
        if (!ok)
            g_raise(QStringLiteral("--chat: '%1' is not a chat key").arg(key));
        if (!d->chats.contains(id))
            g_raise(QStringLiteral("--chat: no chat with key %1").arg(key));
        keep.insert(id);
    }
    data.keepOnlyChats(keep);
}
