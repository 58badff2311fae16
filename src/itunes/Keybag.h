#pragma once

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

// Derives the passcode key (PBKDF2-HMAC-SHA1 with SALT and ITER) and unwraps
// every passcode-wrapped class key into "KEY"; false on a wrong password.
bool unlockWithPasscode(const QByteArray& password, _KeybagInfo& keybag);

// The file key for a 40-byte wrapped key of the given class, or empty.
QByteArray unwrapKeyForClass(const _KeybagInfo& keybag, int protectionClass, const QByteArray& wrapped);
