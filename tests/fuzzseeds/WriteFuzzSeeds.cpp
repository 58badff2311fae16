// Writes small seed inputs for each fuzz target into <corpus>/<target>/, made
// by the same fixture writers the tests use (independent encoders of the
// formats), so that fuzzing starts from well-formed files.
//
//   write_fuzz_seeds <corpus folder>

#include "fixtures/BackupFixture.h"
#include "fixtures/CurrentStoreFixture.h"
#include "fixtures/DesktopFixture.h"
#include "fixtures/StoreFixture.h"
#include "itunes/MBDBItem.h"
#include "itunes/MBFileArchive.h"
#include "sqlite/Sqlite3DB.h"
#include "model/TinyKVSerializer.h"
#include "plist/CFType.h"
#include "support/FileBytes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <cstdio>
#include <exception>

namespace {
QDir g_corpus;

void seed(const char* target, const QString& name, const QByteArray& bytes)
{
    const QString path = g_corpus.filePath(QLatin1String(target) + u'/' + name);
    if (!g_writeFile(path, bytes))
        throw std::runtime_error("cannot write " + path.toStdString());
}

// A SQLite file as small as it gets: vacuumed, journal left out.
QByteArray compactDb(const QString& path)
{
    {
        Sqlite3DB db;
        db.openThrow(path, 2);
        db.executeThrow("VACUUM");
    }
    return g_readFile(path);
}

QByteArray framed(const QByteArray& body)
{
    QByteArray prefix(4, '\0');
    qToBigEndian<quint32>(quint32(body.size()), prefix.data());
    return prefix + body;
}

QByteArray afcPacket(quint64 op, const QByteArray& body)
{
    QByteArray h("CFA6LPAA", 8);
    for (quint64 v : {quint64(40 + body.size()), quint64(40 + body.size()), quint64(1), op}) {
        QByteArray le(8, '\0');
        qToLittleEndian(v, le.data());
        h += le;
    }
    return h + body;
}

BackupFixture backupFixture(BackupFixture::Generation generation, const QByteArray& password, bool binary)
{
    BackupFixture f;
    f.generation = generation;
    f.binaryPlists = binary;
    if (!password.isEmpty()) {
        f.encrypted = true;
        f.password = password;
        f.iterations = 1;
        f.firstStageIterations = 1;
    }
    f.addFolders(QStringLiteral("AppDomain-com.viber"), QStringLiteral("Documents"));
    f.addFile(QStringLiteral("AppDomain-com.viber"), QStringLiteral("Documents/Contacts.data"), "store");
    f.addFile(QStringLiteral("HomeDomain"), QStringLiteral("Library/x.plist"), "x", 4);
    BackupFixtureRecord link;
    link.domain = QStringLiteral("HomeDomain");
    link.path = QStringLiteral("Library/link");
    link.linkTarget = QStringLiteral("x.plist");
    f.addRecord(link);
    return f;
}

void writeSeeds(const QDir& work)
{
    // Backup indexes and property lists, both generations, plain and encrypted.
    int n = 0;
    for (const auto generation : {BackupFixture::Mbdb, BackupFixture::ManifestDb}) {
        for (const QByteArray& password : {QByteArray(), QByteArray("pw")}) {
            const bool binary = (n % 2) == 1;
            const QString folder =
                backupFixture(generation, password, binary).write(work.path(), QStringLiteral("bk%1").arg(++n));
            const QDir bk(folder);
            const QString tag = QStringLiteral("%1-%2").arg(generation == BackupFixture::Mbdb ? "mbdb" : "db",
                                                            password.isEmpty() ? "plain" : "encrypted");
            if (generation == BackupFixture::Mbdb)
                seed("mbdb", tag, g_readFile(bk.filePath(QStringLiteral("Manifest.mbdb"))));
            else if (password.isEmpty())
                seed("manifest_db", tag, compactDb(bk.filePath(QStringLiteral("Manifest.db"))));
            for (const char* plist : {"Manifest.plist", "Info.plist", "Status.plist"})
                seed("plist", tag + u'-' + QLatin1String(plist), g_readFile(bk.filePath(QLatin1String(plist))));
            if (!password.isEmpty()) {
                const CFType manifest =
                    CFType::createCFPropertyList(g_readFile(bk.filePath(QStringLiteral("Manifest.plist"))));
                seed("keybag", tag, manifest.get(QStringLiteral("BackupKeyBag")).CFDataBytes());
            }
        }
    }
    seed("plist", QStringLiteral("device-message.xml"),
         CFType::createCFDictionary()
             .put(QStringLiteral("Request"), CFType::createCFString(QStringLiteral("GetValue")))
             .put(QStringLiteral("Value"), CFType::createCFNumber(42))
             .CFPropertyListToBytes(CFType::FormatXml));

    // MBFile archives: as Foundation orders them, and as the program writes them.
    const QByteArray key = QByteArray::fromHex("03000000") + QByteArray(40, 'w');
    seed("mbfile_archive", QStringLiteral("foundation-file"),
         BackupFixture::mbFileArchive(QStringLiteral("Documents/a.txt"), 1234, 3, 0x81A4, 1600000000, key, QString(),
                                      (quint64(7) << 32) | 9));
    seed("mbfile_archive", QStringLiteral("foundation-link"),
         BackupFixture::mbFileArchive(QStringLiteral("l"), 0, 4, 0xA1ED, 1, {}, QStringLiteral("../target"), 1));
    _MBDBItem item;
    item.path.setVal("Documents/Contacts.data");
    item.size = 99;
    item.mode = 0x81A4;
    item.encryptionKey.setVal(key);
    seed("mbfile_archive", QStringLiteral("written"), g_writeMBFileArchive(item));

    // The key/value blob.
    QHash<QString, QVariant> values{{QStringLiteral("text"), QStringLiteral("h\xc3\xa9llo")},
                                    {QStringLiteral("n"), qint64(-5)},
                                    {QStringLiteral("i"), 7},
                                    {QStringLiteral("d"), 1.5},
                                    {QStringLiteral("b"), QByteArray("\x00\x01", 2)}};
    seed("tinykv", QStringLiteral("values"), TinyKVSerializer::ser(values));
    seed("tinykv", QStringLiteral("one"), TinyKVSerializer::ser({{QStringLiteral("k"), QStringLiteral("v")}}));

    // Device framing: first byte even, framed property lists; odd, AFC packets.
    const QByteArray xml = CFType::createCFDictionary()
                               .put(QStringLiteral("Status"), CFType::createCFString(QStringLiteral("Complete")))
                               .CFPropertyListToBytes(CFType::FormatXml);
    const QByteArray bin = CFType::createCFDictionary()
                               .put(QStringLiteral("MessageName"), CFType::createCFString(QStringLiteral("DLMessagePing")))
                               .CFPropertyListToBytes(CFType::FormatBinary);
    seed("device_framing", QStringLiteral("messages"), QByteArray(1, '\0') + framed(xml) + framed(bin));
    QByteArray status(8, '\0');
    seed("device_framing", QStringLiteral("afc"),
         QByteArray(1, '\1') + afcPacket(1, status) + afcPacket(2, QByteArray("data bytes"))
             + afcPacket(2, QByteArray("a\0b\0", 4)));

    // The stores: iPhone layout of old, today's app-group layout, Desktop.
    {
        ContainerFixture c(work.filePath(QStringLiteral("container")));
        g_fillSampleStore(c);
        const QString path = c.storePath();
        c.finish();
        seed("ios_store", QStringLiteral("old-layout"), compactDb(path));
    }
    {
        CurrentStoreFixture current(work.filePath(QStringLiteral("current")));
        const CurrentStoreSample s = current.fillSample();
        seed("ios_store", QStringLiteral("current-layout"), compactDb(s.storePath));
    }
    {
        const QString path = work.filePath(QStringLiteral("viber.db"));
        {
            DesktopFixture f(path);
            g_fillDesktopSample(f);
            f.finish();
        }
        seed("desktop_store", QStringLiteral("sample"), compactDb(path));
    }
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: write_fuzz_seeds CORPUS_FOLDER\n");
        return 2;
    }
    g_corpus = QDir(QString::fromLocal8Bit(argv[1]));
    QTemporaryDir work;
    try {
        writeSeeds(QDir(work.path()));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "write_fuzz_seeds: %s\n", e.what());
        return 1;
    }
    return 0;
}
