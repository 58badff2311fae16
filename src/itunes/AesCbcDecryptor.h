#pragma once

#include <QByteArray>

#include <mbedtls/aes.h>

#include <cstddef>

// AES-256-CBC decryption under one key, as a backup's files and index are
// decrypted: gigabytes of them. CBC decryption has no chain between the
// block decryptions, so on a processor with AES instructions eight blocks go
// through the rounds together (several times mbed TLS's block-by-block
// speed); elsewhere mbed TLS does it.
class AesCbcDecryptor
{
public:
    AesCbcDecryptor();
    ~AesCbcDecryptor();
    AesCbcDecryptor(const AesCbcDecryptor&) = delete;
    AesCbcDecryptor& operator=(const AesCbcDecryptor&) = delete;

    // Takes the first 32 bytes of key; false when key is shorter.
    bool setKey(const QByteArray& key);
    // Decrypts buf in place; iv (16 bytes) is updated for the next call. No
    // padding is removed. False when length is not a multiple of 16 or no
    // key is set.
    bool decryptInPlace(char* buf, size_t length, char* iv);

    // Whether this processor's AES instructions are used.
    static bool usesAesInstructions();
    // Tests compare both ways on the same machine.
    static void setAesInstructionsAllowed(bool allowed);

private:
    mbedtls_aes_context m_ctx;
    // The decryption round keys for the AES instructions (15 of 16 bytes).
    alignas(16) unsigned char m_roundKeys[15 * 16];
    bool m_keySet = false;
    bool m_hardware = false;
};
