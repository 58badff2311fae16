// A whole encrypted backup opened as `ferrowick-cli --itunes B` opens it: an
// iOS 10.2+ backup (Manifest.db encrypted under its ManifestKey, the passcode
// key derived in two stages, DPIC rounds of PBKDF2-SHA256 then ITER rounds of
// PBKDF2-SHA1) holding a current-layout store and the attachment files of a
// generated container. Timed in parts: unlock, index decryption, file copies
// and decryption, store load; beside the bare work in the same run: the two
// PBKDF2 stages in Python's hashlib, `openssl enc -d` over the same encrypted
// bytes, and `sqlite3` reading every table of the copied store. Then the same
// backup opened again with the copies of the first open kept.
//
//   bench_open_backup CONTAINER
//
// CONTAINER is a generated container with its media files
// (`bench_make_store N --media` prints it). The backup is written once beside
// it and kept. FERROWICK_BENCH_DPIC sets the first-stage rounds (default
// 10 000 000, as current iPhones write them).
#include "BenchCurrentStore.h"
#include "BenchSupport.h"
#include "fixtures/BackupFixture.h"
#include "itunes/BackupManifest.h"
#include "jobs/IOSLoadViberFromiTunesThread.h"
#include "shell/DataFolders.h"
#include "stores/IOSViberDb.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

namespace {
const QByteArray kPassword = "bench";
const quint32 kSecondStageRounds = 10000;
const QString kAppDomain = QStringLiteral("AppDomain-com.viber");
const QString kGroupDomain = QStringLiteral("AppDomainGroup-group.viber.share.container");

// Peak resident memory of this process so far, in MB.
double peakMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

// The backup of container, written once into a folder beside it.
QString backupOf(const QDir& container, quint32 dpic)
{
    const QString folder = container.absolutePath() + QStringLiteral("-backup-dpic%1").arg(dpic);
    const QString done = QDir(folder).filePath(QStringLiteral(".complete"));
    if (QFileInfo::exists(done))
        return QDir(folder).filePath(QStringLiteral("bench"));
    QDir(folder).removeRecursively();
    const QString store = bench_store::convertToCurrent(
        container.filePath(QStringLiteral("Documents/Contacts.data")),
        QDir(folder).filePath(QStringLiteral("group/com.viber/database/Contacts.data")));
    BackupFixture fx;
    fx.encrypted = true;
    fx.password = kPassword;
    fx.generation = BackupFixture::ManifestDb;
    fx.firstStageIterations = dpic;
    fx.iterations = kSecondStageRounds;
    fx.productVersion = QStringLiteral("17.1");
    fx.addFolders(kGroupDomain, QStringLiteral("com.viber/database"));
    BackupFixtureRecord r;
    r.domain = kGroupDomain;
    r.path = QStringLiteral("com.viber/database/Contacts.data");
    r.sourceFile = store;
    fx.addRecord(r);
    fx.addFolders(kAppDomain, QStringLiteral("Documents"));
    for (const char* media : {"Documents/Attachments", "Documents/VoiceMessages"}) {
        const QString rel = QString::fromLatin1(media);
        if (QFileInfo(container.filePath(rel)).isDir())
            fx.addContainer(container.filePath(rel), kAppDomain, rel);
    }
    fx.write(folder, QStringLiteral("bench"));
    QFile(done).open(QIODevice::WriteOnly);
    return QDir(folder).filePath(QStringLiteral("bench"));
}

struct Open
{
    double info = 0, unlock = 0, index = 0, copies = 0, load = 0;
    qsizetype messages = 0;
    QString store; // the copied store
    double total() const { return info + unlock + index + copies + load; }
};

// One open as SourceLoader::loadITunesThrow does it, timed in parts.
Open openOnce(const QString& backup, const DataFolders& folders)
{
    Open o;
    QElapsedTimer t;
    t.start();
    BackupManifest manifest(backup, folders);
    manifest.readManifestInfo();
    o.info = t.nsecsElapsed() / 1e9;
    t.start();
    if (!manifest.setPasscode(kPassword))
        throw std::runtime_error("the password was refused");
    o.unlock = t.nsecsElapsed() / 1e9;
    t.start();
    manifest.parseInfo();
    o.index = t.nsecsElapsed() / 1e9;
    t.start();
    SilentProgress progress;
    IOSLoadViberFromiTunesThread job(&manifest, progress, folders);
    job.run();
    if (progress.result.startsWith(QLatin1String("error")) || !job.hasData())
        throw std::runtime_error(("the load failed: " + progress.result).toStdString());
    o.copies = t.nsecsElapsed() / 1e9;
    t.start();
    const ViberContainers found = job.containers();
    IOSViberDb db(found.appRoot, found.storeFile, false);
    db.setMakePreviews(false);
    if (found.isGroup()) {
        // As the command line does: a missing settings file names no owner.
        const QString settings = found.settingsFile();
        db.setSettingsFile(QFileInfo(settings).isFile() ? settings : found.storeFile + QStringLiteral(".no-settings"));
        db.setIconsDir(found.iconsDir());
    }
    o.messages = db.loadDataThrow().messages().size();
    o.load = t.nsecsElapsed() / 1e9;
    o.store = found.storeFile;
    return o;
}

// Wall seconds of a shell command, or -1 when it failed.
double run(const QString& command)
{
    QProcess p;
    QElapsedTimer t;
    t.start();
    p.start(QStringLiteral("bash"), {QStringLiteral("-c"), command});
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::fprintf(stderr, "bench_open_backup: failed: %s\n%s", qPrintable(command),
                     p.readAllStandardError().constData());
        return -1;
    }
    return t.nsecsElapsed() / 1e9;
}

QString quoted(const QString& s)
{
    QString q = s;
    q.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // The loader notes every file it finds already copied: not for a table.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type != QtDebugMsg && type != QtInfoMsg)
            std::fprintf(stderr, "%s\n", qPrintable(text));
    });
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_open_backup CONTAINER\n");
        return 2;
    }
    const QDir container(QString::fromLocal8Bit(argv[1]));
    const quint32 dpic = qEnvironmentVariableIntValue("FERROWICK_BENCH_DPIC") > 0
                             ? quint32(qEnvironmentVariableIntValue("FERROWICK_BENCH_DPIC"))
                             : 10000000;
    try {
        QElapsedTimer made;
        made.start();
        const QString backup = backupOf(container, dpic);
        std::fprintf(stderr, "backup %s (%.1f s to make or find)\n", qPrintable(backup), made.nsecsElapsed() / 1e9);

        // The encrypted bytes a whole open decrypts: every stored file.
        QStringList files;
        qint64 bytes = 0;
        for (QDirIterator it(backup, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
            const QString f = it.next();
            if (QFileInfo(f).dir() != QDir(backup) || f.endsWith(QLatin1String("/Manifest.db"))) {
                files << f;
                bytes += QFileInfo(f).size();
            }
        }

        QTemporaryDir work;
        const DataFolders folders(work.filePath(QStringLiteral("data")));
        const Open first = openOnce(backup, folders);
        const double peak = peakMb();
        const Open second = openOnce(backup, folders);

        // The bare work of the same size.
        const double pbkdf2 = run(QStringLiteral("python3 -c \"import hashlib; k = hashlib.pbkdf2_hmac('sha256', b'bench', "
                                                 "b'0' * 20, %1); hashlib.pbkdf2_hmac('sha1', k, b'1' * 20, %2)\"")
                                      .arg(dpic)
                                      .arg(kSecondStageRounds));
        const QString list = work.filePath(QStringLiteral("files"));
        {
            QFile f(list);
            f.open(QIODevice::WriteOnly);
            f.write(files.join(QLatin1Char('\0')).toUtf8());
        }
        const double openssl =
            run(QStringLiteral("xargs -0 cat < %1 | openssl enc -d -aes-256-cbc -nopad -K %2 -iv %3 -out %4")
                    .arg(quoted(list), QString(64, QLatin1Char('1')), QString(32, QLatin1Char('0')),
                         quoted(work.filePath(QStringLiteral("bare.bin")))));
        const double scan = run(QStringLiteral("for t in $(sqlite3 %1 \"select name from sqlite_master where "
                                               "type='table'\"); do echo \"select * from $t;\"; done | sqlite3 %1 "
                                               ">/dev/null")
                                    .arg(quoted(first.store)));
        const double bare = pbkdf2 + openssl + scan;

        std::printf("%lld messages, %lld files, %.0f MB encrypted, DPIC %u\n", qint64(first.messages),
                    qint64(files.size()), double(bytes) / (1024.0 * 1024.0), dpic);
        std::printf("| part | first open | second open | bare | ratio (first) |\n| --- | --- | --- | --- | --- |\n");
        std::printf("| unlock | %.2f s | %.2f s | %.2f s (hashlib) | %.2f× |\n", first.unlock, second.unlock, pbkdf2,
                    first.unlock / pbkdf2);
        std::printf("| index decryption | %.2f s | %.2f s | | |\n", first.info + first.index,
                    second.info + second.index);
        std::printf("| file copies and decryption | %.2f s | %.2f s | %.2f s (openssl enc -d) | %.2f× |\n",
                    first.copies, second.copies, openssl, (first.info + first.index + first.copies) / openssl);
        std::printf("| store load | %.2f s | %.2f s | %.2f s (sqlite3) | %.2f× |\n", first.load, second.load, scan,
                    first.load / scan);
        std::printf("| whole open | %.2f s | %.2f s | %.2f s | %.2f× |\n", first.total(), second.total(), bare,
                    first.total() / bare);
        std::printf("peak memory after the first open: %.0f MB (attachment files: %.0f MB)\n", peak,
                    double(bytes) / (1024.0 * 1024.0));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_open_backup: %s\n", e.what());
        return 1;
    }
    return 0;
}
