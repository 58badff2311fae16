// Throughput of backup decryption (compared with `openssl enc -d` on the same
// file in the same run), of Manifest.mbdb parsing and of Manifest.db reading
// (the same 200 000 records). Needs the backup fixture
// library (configure with tests on). FERROWICK_BENCH_DECRYPT_MB sets the size
// of the decrypted file (default 1024).
#include "fixtures/BackupFixture.h"
#include "itunes/BackupManifest.h"
#include "shell/DataFolders.h"
#include "itunes/Keybag.h"
#include "itunes/MBDBParser.h"
#include "itunes/ManifestDb.h"
#include "sqlite/Sqlite3DB.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {
const QString kDomain = QStringLiteral("AppDomain-com.viber");
const QString kPath = QStringLiteral("Documents/big.bin");

struct DecryptSetup
{
    QTemporaryDir tmp;
    std::unique_ptr<BackupManifest> backup;
    const BackupManifest::_FileNode* node = nullptr;
    QString cipherPath;
    QByteArray fileKey;
    qint64 bytes = 0;
};

DecryptSetup& decryptSetup()
{
    static DecryptSetup s;
    if (s.backup)
        return s;
    const qint64 mb = qEnvironmentVariableIntValue("FERROWICK_BENCH_DECRYPT_MB") > 0
                          ? qEnvironmentVariableIntValue("FERROWICK_BENCH_DECRYPT_MB")
                          : 1024;
    s.bytes = mb * 1024 * 1024 + 7; // not a whole number of blocks, like real files
    const QString plain = s.tmp.filePath(QStringLiteral("plain.bin"));
    {
        QFile f(plain);
        f.open(QIODevice::WriteOnly);
        QByteArray block(4 * 1024 * 1024, '\0');
        for (qsizetype i = 0; i < block.size(); ++i)
            block[i] = char(i * 131 + (i >> 12));
        for (qint64 left = s.bytes; left > 0; left -= block.size())
            f.write(block.constData(), qMin<qint64>(left, block.size()));
    }
    BackupFixture fx;
    fx.encrypted = true;
    fx.password = "bench";
    fx.iterations = 1000;
    fx.addFolder(kDomain, QString());
    fx.addFolder(kDomain, QStringLiteral("Documents"));
    BackupFixtureRecord r;
    r.domain = kDomain;
    r.path = kPath;
    r.sourceFile = plain;
    fx.addRecord(r);
    const QString folder = fx.write(s.tmp.filePath(QStringLiteral("backups")));
    QFile::remove(plain);

    s.backup = std::make_unique<BackupManifest>(folder, DataFolders(s.tmp.filePath(QStringLiteral("data"))));
    s.backup->readManifestInfo();
    s.backup->setPasscode(QStringLiteral("bench"));
    s.backup->parseInfo();
    s.node = s.backup->findNode(QStringLiteral("Applications/com.viber/") + kPath);
    if (!s.node) {
        std::fprintf(stderr, "bench: the fixture backup lacks %s\n", qPrintable(kPath));
        std::exit(1);
    }
    s.cipherPath = folder + u'/' + s.node->item.backupFileName();
    _KeybagInfo kb = parseKeybag(s.backup->info().backupKeyBag);
    unlockWithPasscode("bench", kb);
    s.fileKey = unwrapKeyForClass(kb, s.node->item.protectionClass, s.node->item.encryptionKey.value.mid(4));
    return s;
}

double g_oursMBps = 0;
double g_opensslMBps = 0;

void BM_DecryptCopy(benchmark::State& state)
{
    DecryptSetup& s = decryptSetup();
    const QString dest = s.tmp.filePath(QStringLiteral("out-ours.bin"));
    QElapsedTimer t;
    qint64 ns = 0;
    for (auto _ : state) {
        t.start();
        s.backup->copyFile(s.node, dest, nullptr, nullptr);
        ns += t.nsecsElapsed();
    }
    state.SetBytesProcessed(state.iterations() * s.bytes);
    g_oursMBps = double(s.bytes) * double(state.iterations()) / (1024.0 * 1024.0) / (double(ns) / 1e9);
    state.counters["MB/s"] = g_oursMBps;
    QFile::remove(dest);
}

void BM_OpensslDecrypt(benchmark::State& state)
{
    DecryptSetup& s = decryptSetup();
    const QString dest = s.tmp.filePath(QStringLiteral("out-openssl.bin"));
    const QStringList args = {QStringLiteral("enc"), QStringLiteral("-d"), QStringLiteral("-aes-256-cbc"),
                              QStringLiteral("-K"), QString::fromLatin1(s.fileKey.toHex()), QStringLiteral("-iv"),
                              QStringLiteral("00000000000000000000000000000000"), QStringLiteral("-in"),
                              s.cipherPath, QStringLiteral("-out"), dest};
    QElapsedTimer t;
    qint64 ns = 0;
    for (auto _ : state) {
        QProcess p;
        t.start();
        p.start(QStringLiteral("openssl"), args);
        if (!p.waitForFinished(-1) || p.exitCode() != 0) {
            state.SkipWithError("openssl enc failed or is missing");
            return;
        }
        ns += t.nsecsElapsed();
    }
    state.SetBytesProcessed(state.iterations() * s.bytes);
    g_opensslMBps = double(s.bytes) * double(state.iterations()) / (1024.0 * 1024.0) / (double(ns) / 1e9);
    state.counters["MB/s"] = g_opensslMBps;
    QFile::remove(dest);
}

QByteArray mbdbOf(int records)
{
    static QTemporaryDir tmp;
    QList<_MBDBItem> items;
    items.reserve(records);
    for (int i = 0; i < records; ++i) {
        _MBDBItem it;
        it.domain.setVal(QByteArray("AppDomain-com.app") + QByteArray::number(i % 300));
        it.path.setVal(QByteArray("Library/Caches/folder") + QByteArray::number(i % 97) + "/file" +
                       QByteArray::number(i) + ".dat");
        it.linkTarget.length = _MBDBBinary::kAbsent;
        it.dataHash.setVal(QByteArray(20, char(i)));
        it.encryptionKey.setVal(QByteArray(44, char(i >> 3)));
        it.mode = 0x81A4;
        it.inodeLow = quint32(i);
        it.size = quint64(i) * 17;
        it.protectionClass = 3;
        if (i % 10 == 0) {
            _MBDBProperty p;
            p.name.setVal("com.apple.assetsd.UUID");
            p.value.setVal(QByteArray(36, 'u'));
            it.properties << p;
        }
        items << it;
    }
    const QString file = tmp.filePath(QStringLiteral("Manifest.mbdb"));
    MBDBParser::save2File(items, file);
    QFile f(file);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void BM_ParseMbdb(benchmark::State& state)
{
    const QByteArray bytes = mbdbOf(int(state.range(0)));
    for (auto _ : state) {
        auto items = MBDBParser::parseBytes(bytes, QStringLiteral("Manifest.mbdb"));
        benchmark::DoNotOptimize(items);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["file MB"] = double(bytes.size()) / (1024.0 * 1024.0);
}
// The same records as a Manifest.db with an MBFile per row.
QString manifestDbOf(int records)
{
    static QTemporaryDir tmp;
    const QString file = tmp.filePath(QStringLiteral("Manifest.db"));
    Sqlite3DB db;
    db.openThrow(file, 6);
    db.executeThrow("CREATE TABLE Files (fileID TEXT PRIMARY KEY, domain TEXT, relativePath TEXT, flags INTEGER, "
                    "file BLOB)");
    (void)db.beginTran();
    for (int i = 0; i < records; ++i) {
        const QString domain = QStringLiteral("AppDomain-com.app") + QString::number(i % 300);
        const QString path = QStringLiteral("Library/Caches/folder%1/file%2.dat").arg(i % 97).arg(i);
        db.executeThrow(Sqlite3Sql("INSERT INTO Files VALUES (?, ?, ?, 1, ?)")
                            .addTextParam(MBDBParser::getFileHashName(domain, path))
                            .addTextParam(domain)
                            .addTextParam(path)
                            .addBlobParam(BackupFixture::mbFileArchive(path, quint64(i) * 17, 3, 0x81A4, 1600000000,
                                                                       QByteArray(44, char(i >> 3)), QString(),
                                                                       quint64(i))));
    }
    (void)db.commitTran();
    return file;
}

void BM_ReadManifestDb(benchmark::State& state)
{
    const QString file = manifestDbOf(int(state.range(0)));
    for (auto _ : state) {
        auto items = g_readManifestDbThrow(file, QDir(QFileInfo(file).absolutePath()));
        benchmark::DoNotOptimize(items);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["file MB"] = double(QFileInfo(file).size()) / (1024.0 * 1024.0);
}
} // namespace

BENCHMARK(BM_DecryptCopy)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_OpensslDecrypt)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_ParseMbdb)->Arg(200000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadManifestDb)->Arg(200000)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (g_oursMBps > 0 && g_opensslMBps > 0)
        std::printf("decryption: %.0f MB/s, openssl enc -d: %.0f MB/s, ratio %.2f\n", g_oursMBps, g_opensslMBps,
                    g_oursMBps / g_opensslMBps);
    return 0;
}
