#include "fixtures/ViberBackupFixture.h"
#include "support/CliProcess.h"
#include "support/TestEnv.h"

#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <QElapsedTimer>
#include <QThread>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {
// Contents of every file below dir, sorted.
QList<QByteArray> contentsBelow(const QString& dir)
{
    QList<QByteArray> contents;
    QDirIterator it(dir, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        contents << g_readFile(it.next());
    std::sort(contents.begin(), contents.end());
    return contents;
}

const QByteArray kPassword = QByteArray("p\xc3\xa4ss word 1");
// The file a run locks (shared) in each working folder it uses.
const QString kClaimFile = QStringLiteral(".ferrowick-in-use");
} // namespace

class TestCliITunes : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    QString m_container;
    QString m_plain;
    QString m_encrypted;
    QString m_current;
    QString m_currentEncrypted;
    ViberBackupSample m_sample;
    int m_outs = 0;

    CliResult run(const QStringList& args, const QString& envPassword = QString())
    {
        QProcessEnvironment env = g_cliEnvironment(m_tmp.filePath(QStringLiteral("data")));
        env.remove(QStringLiteral("FERROWICK_BACKUP_PASSWORD"));
        if (!envPassword.isEmpty())
            env.insert(QStringLiteral("FERROWICK_BACKUP_PASSWORD"), envPassword);
        return g_runCliProcess(QStringLiteral(FERROWICK_CLI_PATH), args, env);
    }

    QString freshOut()
    {
        const QString dir = m_tmp.filePath(QStringLiteral("out%1").arg(++m_outs));
        QDir().mkpath(dir);
        return dir;
    }

    QString writePasswordFile(const QByteArray& content)
    {
        const QString path = m_tmp.filePath(QStringLiteral("pw%1.txt").arg(++m_outs));
        g_writeFile(path, content);
        return path;
    }

    // The CSV export of a source, or empty when the command failed.
    QList<QByteArray> csvOf(const QStringList& source, const QString& envPassword = QString())
    {
        const QString dir = freshOut();
        const CliResult r = run(QStringList{QStringLiteral("export"), QStringLiteral("--format"), QStringLiteral("csv"),
                                            QStringLiteral("--out"), dir + QStringLiteral("/chats")} +
                                    source,
                                envPassword);
        if (r.code != 0)
            qWarning("%s", qPrintable(r.err));
        // Sorted lines: the export leaves same-second messages in load order,
        // which differs from run to run even for one source.
        QList<QByteArray> lines = r.code == 0 ? g_readFile(dir + QStringLiteral("/chats.csv")).split('\n') : QList<QByteArray>();
        std::sort(lines.begin(), lines.end());
        return lines;
    }

private slots:
    void initTestCase()
    {
        g_requireTestEnvironment();
        m_container = m_tmp.filePath(QStringLiteral("container"));
        {
            ContainerFixture c(m_container);
            m_sample = g_fillBackupSample(c);
            c.finish();
        }
        const QString backups = m_tmp.filePath(QStringLiteral("backups"));
        m_plain = g_writeViberBackup(m_container, m_sample, backups, QStringLiteral("plain"));
        ViberBackupLayout encrypted;
        encrypted.password = kPassword;
        m_encrypted = g_writeViberBackup(m_container, m_sample, backups, QStringLiteral("encrypted"), encrypted);
        ViberBackupLayout current;
        current.generation = BackupFixture::ManifestDb;
        m_current = g_writeViberBackup(m_container, m_sample, backups, QStringLiteral("current"), current);
        current.password = kPassword;
        m_currentEncrypted =
            g_writeViberBackup(m_container, m_sample, backups, QStringLiteral("current-encrypted"), current);
    }

    // Both generations, plain and encrypted, read as the container itself.
    void currentBackupsMatchTheContainer()
    {
        const QString pwFile = writePasswordFile(kPassword);
        const QStringList container{QStringLiteral("--container"), m_container};
        const QList<QStringList> sources{
            {QStringLiteral("--itunes"), m_current},
            {QStringLiteral("--itunes"), m_currentEncrypted, QStringLiteral("--password-file"), pwFile}};
        const QList<QByteArray> csv = csvOf(container);
        const CliResult info = run(QStringList{QStringLiteral("info")} + container);
        QCOMPARE(info.code, 0);
        const QString media = freshOut();
        QCOMPARE(run(QStringList{QStringLiteral("extract-media"), QStringLiteral("--out"), media} + container).code, 0);
        const QList<QByteArray> expectedMedia = contentsBelow(media);
        for (const QStringList& source : sources) {
            QCOMPARE(csvOf(source), csv);
            const CliResult r = run(QStringList{QStringLiteral("info")} + source);
            QCOMPARE(r.code, 0);
            QCOMPARE(r.out, info.out);
            const QString dir = freshOut();
            QCOMPARE(run(QStringList{QStringLiteral("extract-media"), QStringLiteral("--out"), dir} + source).code, 0);
            // The picture that only the photo library holds comes on top.
            QList<QByteArray> got = contentsBelow(dir);
            QVERIFY(got.removeOne(m_sample.asset.content));
            QCOMPARE(got, expectedMedia);
        }
        // No decrypted index is left behind in the data folder.
        QDirIterator it(m_tmp.filePath(QStringLiteral("data/cache/index")), QDir::Files, QDirIterator::Subdirectories);
        QVERIFY(!it.hasNext());
    }

    void noDecryptedCopyOutlivesItsCommand()
    {
        const QString data = m_tmp.filePath(QStringLiteral("data-secrets"));
        const QString pwFile = writePasswordFile(kPassword);
        const auto runIn = [&](const QStringList& args) {
            return g_runCliProcess(QStringLiteral(FERROWICK_CLI_PATH), args, g_cliEnvironment(data));
        };
        const QString cache = data + QStringLiteral("/cache");
        const auto storesBelow = [&] {
            QStringList found;
            QDirIterator it(cache, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString f = it.next();
                if (f.contains(QLatin1String("Contacts")) || f.endsWith(QLatin1String("Manifest.db")))
                    found << f;
            }
            return found;
        };
        for (const QString& backup : {m_encrypted, m_currentEncrypted}) {
            const CliResult r = runIn({QStringLiteral("info"), QStringLiteral("--itunes"), backup,
                                       QStringLiteral("--password-file"), pwFile});
            QCOMPARE(r.code, 0);
            QCOMPARE(storesBelow(), QStringList());
        }
        // A plain backup's copy is a cache and stays.
        QCOMPARE(runIn({QStringLiteral("info"), QStringLiteral("--itunes"), m_plain}).code, 0);
        QVERIFY(!storesBelow().isEmpty());
        QDir(cache + QStringLiteral("/itunes")).removeRecursively();

        // A run killed while it holds decrypted copies leaves them; the next
        // start of any command sweeps them.
        QProcess killed;
        killed.setProcessEnvironment(g_cliEnvironment(data));
        const QString out = freshOut();
        killed.start(QStringLiteral(FERROWICK_CLI_PATH),
                     {QStringLiteral("export"), QStringLiteral("--format"), QStringLiteral("html"), QStringLiteral("--out"),
                      out + QStringLiteral("/chats"), QStringLiteral("--itunes"), m_currentEncrypted,
                      QStringLiteral("--password-file"), pwFile});
        QVERIFY(killed.waitForStarted());
        QElapsedTimer clock;
        clock.start();
        bool caught = false;
        while (!caught && killed.state() == QProcess::Running && clock.elapsed() < 120000) {
            caught = storesBelow().filter(QStringLiteral("/source-")).size() > 0;
            // Waiting on the process (not sleeping) lets it notice the export's
            // end: without an event loop its state would stay Running.
            if (!caught)
                killed.waitForFinished(2);
        }
        if (caught) {
            ::kill(pid_t(killed.processId()), SIGKILL);
            QVERIFY(killed.waitForFinished(30000));
            QVERIFY(!storesBelow().isEmpty());
        } else {
            killed.waitForFinished(30000);
            qWarning("the export ended before it could be killed: only the planted leftovers are checked");
        }
        // What other kills leave, planted: a copy of a store, a working index,
        // an encrypted backup's files, a half-deleted local database, an old
        // copy made before claims existed.
        const QList<QPair<QString, QString>> planted{
            {cache + QStringLiteral("/source-k1ll3d"), QStringLiteral("store/Contacts.data")},
            {cache + QStringLiteral("/index/0123456789abcdef"), QStringLiteral("Manifest.db")},
            {cache + QStringLiteral("/itunes/fedcba9876543210"), QStringLiteral("com.viber/Documents/Contacts.data")}};
        for (const auto& [folder, file] : planted) {
            QVERIFY(g_writeFile(folder + u'/' + file, "secret"));
            QVERIFY(g_writeFile(folder + u'/' + kClaimFile, QByteArray()));
        }
        QVERIFY(g_writeFile(cache + QStringLiteral("/source-0ld/store/Contacts.data"), "secret"));
        const timeval twoDaysAgo[2] = {{time(nullptr) - 2 * 86400, 0}, {time(nullptr) - 2 * 86400, 0}};
        QCOMPARE(::utimes(QFile::encodeName(cache + QStringLiteral("/source-0ld")).constData(), twoDaysAgo), 0);
        QVERIFY(g_writeFile(data + QStringLiteral("/local_databases/.deleting-Old-1/Documents/Contacts-tellurine.data"),
                            "secret"));
        // One still in use by a running process (a shared lock on its claim
        // file, as every run takes) stays.
        const QString live = cache + QStringLiteral("/source-l1ve");
        QVERIFY(g_writeFile(live + QStringLiteral("/store/Contacts.data"), "in use"));
        QVERIFY(g_writeFile(live + u'/' + kClaimFile, QByteArray()));
        const int claim = ::open(QFile::encodeName(live + u'/' + kClaimFile).constData(), O_RDWR | O_CLOEXEC);
        QVERIFY(claim >= 0);
        QCOMPARE(::flock(claim, LOCK_SH), 0);

        QCOMPARE(runIn({QStringLiteral("backups"), QStringLiteral("--dir"), m_tmp.filePath(QStringLiteral("backups"))})
                     .code,
                 0);
        QCOMPARE(storesBelow(), QStringList{live + QStringLiteral("/store/Contacts.data")});
        QVERIFY(!QFileInfo::exists(data + QStringLiteral("/local_databases/.deleting-Old-1")));
        ::close(claim);
    }

    void wrongPasswordOnACurrentBackup()
    {
        const QString cache = m_tmp.filePath(QStringLiteral("data/cache"));
        QDir(cache).removeRecursively();
        const CliResult wrong = run({QStringLiteral("info"), QStringLiteral("--itunes"), m_currentEncrypted,
                                     QStringLiteral("--password-file"), writePasswordFile("not it")});
        QCOMPARE(wrong.code, 1);
        QCOMPARE(wrong.err, QStringLiteral("ferrowick-cli: Invalid password.\n"));
        QVERIFY(!QFileInfo::exists(cache));
    }

    void backupsListsBothGenerations()
    {
        const CliResult r = run({QStringLiteral("backups"), QStringLiteral("--dir"), m_tmp.filePath(QStringLiteral("backups"))});
        QCOMPARE(r.code, 0);
        QStringList lines = r.out.split(u'\n', Qt::SkipEmptyParts);
        QStringList columns;
        for (const QString& line : std::as_const(lines)) {
            const QStringList f = line.split(u'\t');
            QCOMPARE(f.size(), 6);
            columns << f.at(2) + u' ' + f.at(4) + u' ' + QFileInfo(f.at(5)).fileName();
        }
        columns.sort();
        QCOMPARE(columns, (QStringList{QStringLiteral("no Manifest.db current"), QStringLiteral("no Manifest.mbdb plain"),
                                       QStringLiteral("yes Manifest.db current-encrypted"),
                                       QStringLiteral("yes Manifest.mbdb encrypted")}));
    }

    void csvIsTheContainersCsv()
    {
        const QList<QByteArray> expected = csvOf({QStringLiteral("--container"), m_container});
        QVERIFY(expected.size() > 10);
        QCOMPARE(csvOf({QStringLiteral("--itunes"), m_plain}), expected);
        // The password file may end with a line feed, as editors write it.
        const QString pwFile = writePasswordFile(kPassword + '\n');
        QCOMPARE(csvOf({QStringLiteral("--itunes"), m_encrypted, QStringLiteral("--password-file"), pwFile}), expected);
        QCOMPARE(csvOf({QStringLiteral("--itunes"), m_encrypted}, QString::fromUtf8(kPassword)), expected);
    }

    void listingsAndCallsMatchTheContainer()
    {
        const QString pwFile = writePasswordFile(kPassword);
        const QStringList itunes{QStringLiteral("--itunes"), m_encrypted, QStringLiteral("--password-file"), pwFile};
        const QStringList container{QStringLiteral("--container"), m_container};
        for (const char* command : {"info", "chats", "messages"}) {
            const CliResult a = run(QStringList{QLatin1String(command)} + itunes);
            const CliResult b = run(QStringList{QLatin1String(command)} + container);
            QCOMPARE(a.code, 0);
            QCOMPARE(a.out, b.out);
        }
        const QString callsA = freshOut() + QStringLiteral("/calls.txt");
        const QString callsB = freshOut() + QStringLiteral("/calls.txt");
        QCOMPARE(run(QStringList{QStringLiteral("calls"), QStringLiteral("--out"), callsA} + itunes).code, 0);
        QCOMPARE(run(QStringList{QStringLiteral("calls"), QStringLiteral("--out"), callsB} + container).code, 0);
        QCOMPARE(g_readFile(callsA), g_readFile(callsB));
    }

    void extractMediaFindsThePhotoLibraryPicture()
    {
        const QString fromBackup = freshOut();
        const QString fromContainer = freshOut();
        QCOMPARE(run({QStringLiteral("extract-media"), QStringLiteral("--out"), fromBackup, QStringLiteral("--itunes"),
                      m_plain})
                     .code,
                 0);
        QCOMPARE(run({QStringLiteral("extract-media"), QStringLiteral("--out"), fromContainer,
                      QStringLiteral("--container"), m_container})
                     .code,
                 0);
        // Everything the container gives, plus the picture that only the
        // photo library holds (the container has none for it).
        QList<QByteArray> expected = contentsBelow(fromContainer);
        QVERIFY(expected.size() >= 5);
        QList<QByteArray> got = contentsBelow(fromBackup);
        QVERIFY(got.contains(m_sample.asset.content));
        QVERIFY(!expected.contains(m_sample.asset.content));
        got.removeOne(m_sample.asset.content);
        QCOMPARE(got, expected);
    }

    void passwordBytesThatAreNotUtf8AreUsedAsGiven()
    {
        // Latin-1 text, as an older editor saves it: not valid UTF-8.
        const QByteArray latin1("gr\xfc\xdf dich \xff");
        ViberBackupLayout layout;
        layout.password = latin1;
        const QString backup = g_writeViberBackup(m_container, m_sample, m_tmp.filePath(QStringLiteral("backups")),
                                                  QStringLiteral("latin1"), layout);
        const QList<QByteArray> expected = csvOf({QStringLiteral("--container"), m_container});
        QCOMPARE(csvOf({QStringLiteral("--itunes"), backup, QStringLiteral("--password-file"),
                        writePasswordFile(latin1 + '\n')}),
                 expected);
    }

    void passwordFailures()
    {
        const CliResult wrong = run({QStringLiteral("info"), QStringLiteral("--itunes"), m_encrypted,
                                     QStringLiteral("--password-file"), writePasswordFile("not it")});
        QCOMPARE(wrong.code, 1);
        QCOMPARE(wrong.err, QStringLiteral("ferrowick-cli: Invalid password.\n"));

        // No file, no variable, and stdin is no terminal: nobody to ask.
        const CliResult none = run({QStringLiteral("info"), QStringLiteral("--itunes"), m_encrypted});
        QCOMPARE(none.code, 1);
        QVERIFY2(none.err.contains(QStringLiteral("--password-file")) &&
                     none.err.contains(QStringLiteral("FERROWICK_BACKUP_PASSWORD")),
                 qPrintable(none.err));

        const CliResult empty = run({QStringLiteral("info"), QStringLiteral("--itunes"), m_encrypted,
                                     QStringLiteral("--password-file"), writePasswordFile("\n")});
        QCOMPARE(empty.code, 1);
        QVERIFY(empty.err.contains(QStringLiteral("is empty")));
    }

    void backupsWithoutViberAndNonBackups()
    {
        BackupFixture other;
        other.addFolders(QStringLiteral("AppDomain-com.other.app"), QStringLiteral("Documents"));
        other.addFile(QStringLiteral("AppDomain-com.other.app"), QStringLiteral("Documents/a.txt"), "a");
        const QString noViber = other.write(m_tmp.filePath(QStringLiteral("backups")), QStringLiteral("no-viber"));
        const CliResult r = run({QStringLiteral("chats"), QStringLiteral("--itunes"), noViber});
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, QStringLiteral("ferrowick-cli: Found no Viber data in your iTunes Backup.\n"));

        const CliResult notBackup = run({QStringLiteral("chats"), QStringLiteral("--itunes"), m_container});
        QCOMPARE(notBackup.code, 1);
        QVERIFY2(notBackup.err.contains(QStringLiteral("Manifest.plist")), qPrintable(notBackup.err));
        QCOMPARE(notBackup.err.count(u'\n'), 1);
    }

    // Ctrl-C at the hidden password prompt ends the program as interrupted
    // and leaves the terminal echoing again.
    void ctrlCAtThePasswordPromptRestoresEcho()
    {
        int master = -1, slave = -1;
        QVERIFY(openpty(&master, &slave, nullptr, nullptr, nullptr) == 0);
        const QByteArray cli = FERROWICK_CLI_PATH;
        const QByteArray backup = QFile::encodeName(m_encrypted);
        const QByteArray data = QFile::encodeName(m_tmp.filePath(QStringLiteral("data")));
        const pid_t pid = fork();
        QVERIFY(pid >= 0);
        if (pid == 0) {
            // The terminal becomes the child's own, as in a shell.
            setsid();
            ioctl(slave, TIOCSCTTY, 0);
            dup2(slave, 0);
            dup2(slave, 1);
            dup2(slave, 2);
            close(master);
            unsetenv("FERROWICK_BACKUP_PASSWORD");
            setenv("FERROWICK_DATA_DIR", data.constData(), 1);
            execl(cli.constData(), cli.constData(), "info", "--itunes", backup.constData(), static_cast<char*>(nullptr));
            _exit(127);
        }
        QByteArray seen;
        QElapsedTimer clock;
        clock.start();
        while (!seen.contains("Password") && clock.elapsed() < 60000) {
            pollfd p{master, POLLIN, 0};
            if (poll(&p, 1, 200) > 0) {
                char buf[256];
                const ssize_t n = read(master, buf, sizeof buf);
                if (n > 0)
                    seen.append(buf, n);
            }
        }
        QVERIFY2(seen.contains("Password"), seen.constData());
        termios t{};
        for (int i = 0; i < 100; ++i) { // the prompt is shown just before echo goes off
            QVERIFY(tcgetattr(slave, &t) == 0);
            if (!(t.c_lflag & ECHO))
                break;
            QTest::qWait(20);
        }
        QVERIFY(!(t.c_lflag & ECHO));
        QVERIFY(write(master, "\x03", 1) == 1);
        int status = 0;
        QVERIFY(waitpid(pid, &status, 0) == pid);
        QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT);
        QVERIFY(tcgetattr(slave, &t) == 0);
        QVERIFY(t.c_lflag & ECHO);
        close(master);
        close(slave);
    }
};

QTEST_GUILESS_MAIN(TestCliITunes)
#include "test_cli_itunes.moc"
