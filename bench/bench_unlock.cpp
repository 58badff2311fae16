// Cost of unlocking a current encrypted backup: the two-stage key derivation
// (PBKDF2-HMAC-SHA256 with 10 000 000 rounds, then PBKDF2-HMAC-SHA1 with
// 10 000) against Python's hashlib.pbkdf2_hmac('sha256', ..., 10000000) (which
// runs on OpenSSL) measured in the same iteration. Counters: hashlib_s, the
// reference's time, and ratio, ours over the reference (the goal is 1.2 or
// less). FERROWICK_BENCH_DPIC changes the round count. Also the decryption
// of the backup's files, with and without the processor's AES instructions.
#include "itunes/AesCbcDecryptor.h"
#include "itunes/Keybag.h"
#include "itunes/Pbkdf2Sha256.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <functional>

#include "BenchSupport.h"

namespace {
const QByteArray kPassword("correct horse battery staple");
const QByteArray kSalt("0123456789abcdefghij");

quint32 rounds()
{
    const char* env = std::getenv("FERROWICK_BENCH_DPIC");
    return env ? quint32(std::strtoul(env, nullptr, 10)) : 10'000'000u;
}

QByteArray be32(quint32 v)
{
    return QByteArray(1, char(v >> 24)) + char(v >> 16) + char(v >> 8) + char(v);
}

QByteArray tlv(const char* tag, const QByteArray& value)
{
    return QByteArray(tag, 4) + be32(quint32(value.size())) + value;
}

// Seconds hashlib takes for the same derivation, timed inside Python so that
// the interpreter's start-up is not counted; negative when Python fails.
double hashlibSeconds(quint32 n)
{
    QProcess p;
    p.start(QStringLiteral("python3"),
            {QStringLiteral("-c"),
             QStringLiteral("import hashlib, time\n"
                            "t = time.perf_counter()\n"
                            "hashlib.pbkdf2_hmac('sha256', b'%1', b'%2', %3, 32)\n"
                            "print(time.perf_counter() - t)")
                 .arg(QString::fromLatin1(kPassword), QString::fromLatin1(kSalt))
                 .arg(n)});
    if (!p.waitForFinished(-1) || p.exitCode() != 0)
        return -1;
    return p.readAllStandardOutput().trimmed().toDouble();
}

void run(benchmark::State& state, const std::function<void()>& derive)
{
    double ours = 0, reference = 0;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        derive();
        const double s = double(t.nsecsElapsed()) / 1e9;
        state.SetIterationTime(s);
        ours += s;
        reference += hashlibSeconds(rounds());
    }
    state.counters["hashlib_s"] = reference / double(state.iterations());
    state.counters["ratio"] = reference > 0 ? ours / reference : 0;
}

void BM_TwoStageUnlock(benchmark::State& state)
{
    const _KeybagInfo keybag = parseKeybag(tlv("SALT", kSalt) + tlv("ITER", be32(10000)) +
                                           tlv("DPIC", be32(rounds())) + tlv("DPSL", kSalt));
    run(state, [&] { benchmark::DoNotOptimize(derivePasscodeKey(kPassword, keybag)); });
}

void BM_FirstStagePortable(benchmark::State& state)
{
    run(state, [&] {
        benchmark::DoNotOptimize(g_pbkdf2HmacSha256(kPassword, kSalt, rounds(), 32, {}, Sha256Engine::Portable));
    });
}

// The files of an encrypted backup: AES-256-CBC decryption of 1 MiB chunks
// in place, as the copy does, with the processor's AES instructions (arg 1)
// and with mbed TLS alone (arg 0). `openssl speed -evp aes-256-cbc -decrypt`
// is the reference.
void BM_CbcDecrypt(benchmark::State& state)
{
    AesCbcDecryptor::setAesInstructionsAllowed(state.range(0) != 0);
    AesCbcDecryptor aes;
    aes.setKey(QByteArray(32, 'k'));
    QByteArray chunk(1024 * 1024, '\x42');
    char iv[16] = {};
    for (auto _ : state)
        benchmark::DoNotOptimize(aes.decryptInPlace(chunk.data(), size_t(chunk.size()), iv));
    state.SetBytesProcessed(state.iterations() * chunk.size());
    state.counters["aes_instructions"] = AesCbcDecryptor::usesAesInstructions() ? 1 : 0;
    AesCbcDecryptor::setAesInstructionsAllowed(true);
}
} // namespace

BENCHMARK(BM_CbcDecrypt)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TwoStageUnlock)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstStagePortable)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    return g_runBenchmarks<QCoreApplication>(argc, argv);
}
