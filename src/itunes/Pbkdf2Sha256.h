#pragma once

#include <QByteArray>

#include <functional>

// Called every few thousand rounds of a long derivation with the rounds done
// and the total; it may throw to abandon the derivation.
using KeyDerivationCheckpoint = std::function<void(quint64 done, quint64 total)>;

// Which SHA-256 block function PBKDF2 runs on. Auto takes the processor's SHA
// instructions when it has them; Portable always takes the plain C++ one.
enum class Sha256Engine { Auto, Portable };

// PBKDF2-HMAC-SHA256 (RFC 8018). Each round is two SHA-256 blocks on
// precomputed inner and outer states, which is what makes ten million rounds
// affordable; mbed TLS's own PBKDF2 rehashes the key pads every round.
QByteArray g_pbkdf2HmacSha256(const QByteArray& password, const QByteArray& salt, quint32 iterations, int keyLength,
                              const KeyDerivationCheckpoint& checkpoint = {},
                              Sha256Engine engine = Sha256Engine::Auto);

// Whether Auto runs on the processor's SHA instructions.
bool g_sha256HasHardware();
