#pragma once

#include <QByteArray>

#include <mbedtls/aes.h>

#include <cstddef>

// AES key unwrap (RFC 3394) with AES-256 under the first 32 bytes of kek.
// Empty when kek is shorter than 32 bytes, wrapped is not 24 or more bytes in
// 8-byte blocks, or the integrity check fails.
QByteArray g_aesKeyUnwrap(const QByteArray& kek, const QByteArray& wrapped);

// AES key wrap (RFC 3394) of key (a multiple of 8 bytes, at least 16) under
// the first 32 bytes of kek; empty when either is unfit.
QByteArray g_aesKeyWrap(const QByteArray& kek, const QByteArray& key);

// AES-256-CBC encryption of plain with PKCS#7 padding and an all-zero IV, as
// backups store their files; empty when key is shorter than 32 bytes.
QByteArray g_aesEncryptCbcPadded(const QByteArray& key, const QByteArray& plain);

// Removes PKCS#7 padding in place; false (data unchanged) when the last block
// carries none.
bool g_removePkcs7Padding(QByteArray& data);
