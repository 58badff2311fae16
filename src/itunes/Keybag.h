#pragma once

#include "itunes/Pbkdf2Sha256.h"

#include <QByteArray>
#include <QMap>
#include <QString>

// Tag/value table of one keybag group.
struct _KeybagPros : QMap<QString, QByteArray>
{
    // First 4 bytes of the value, big-endian; 0 when absent or shorter.
    quint32 getInt32(const QString& tag) const;
};

// A parsed backup keybag: its own attributes and the class keys by class number.
struct _KeybagInfo
{
    _KeybagPros attrs;
    QMap<int, _KeybagPros> classKeys;
};

// Parses the tag-length-value entries of a keybag. Raises std::runtime_error
// when an entry runs past the end of the data.
_KeybagInfo parseKeybag(const QByteArray& data);

// The key that unwraps the passcode-wrapped class keys: PBKDF2-HMAC-SHA1 with
// SALT and ITER, applied (iOS 10.2 and later, when DPSL is present) to the
// result of PBKDF2-HMAC-SHA256 with DPSL and DPIC instead of to the password.
// Raises on counts out of range; checkpoint sees the long first stage.
QByteArray derivePasscodeKey(const QByteArray& password, const _KeybagInfo& keybag,
                             const KeyDerivationCheckpoint& checkpoint = {});

// Unwraps every passcode-wrapped class key with a derived key into "KEY";
// false when one does not unwrap (a wrong password).
bool unlockWithKey(const QByteArray& passcodeKey, _KeybagInfo& keybag);

// derivePasscodeKey, then unlockWithKey.
bool unlockWithPasscode(const QByteArray& password, _KeybagInfo& keybag,
                        const KeyDerivationCheckpoint& checkpoint = {});

// The file key for a 40-byte wrapped key of the given class, or empty.
QByteArray unwrapKeyForClass(const _KeybagInfo& keybag, int protectionClass, const QByteArray& wrapped);

// The key of an encrypted Manifest.db from Manifest.plist's ManifestKey (a
// 4-byte little-endian class, then the wrapped key), or empty.
QByteArray unwrapManifestKey(const _KeybagInfo& keybag, const QByteArray& manifestKey);
