#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

// A length-prefixed string of Manifest.mbdb. 0xFFFF means absent, 0 empty.
struct _MBDBBinary
{
    static constexpr quint16 kAbsent = 0xFFFF;
    static constexpr qsizetype kMaxLength = 0xFFFE;

    quint16 length = kAbsent;
    QByteArray value;

    bool isValid() const { return length >= 1 && length <= kMaxLength; }
    // Raises when bytes cannot be stored in a 16-bit length.
    void setVal(const QByteArray& bytes);
    QString toString() const { return isValid() ? QString::fromUtf8(value) : QString(); }
};

// One extended attribute of a record.
struct _MBDBProperty
{
    _MBDBBinary name;
    _MBDBBinary value;
};

// One record of Manifest.mbdb, fields in file order.
struct _MBDBItem
{
    _MBDBBinary domain;
    _MBDBBinary path;
    _MBDBBinary linkTarget;
    _MBDBBinary dataHash;
    _MBDBBinary encryptionKey;
    quint16 mode = 0;
    quint32 inodeHigh = 0;
    quint32 inodeLow = 0;
    quint32 userId = 0;
    quint32 groupId = 0;
    quint32 lastModified = 0;
    quint32 lastAccessed = 0;
    quint32 created = 0;
    quint64 size = 0;
    quint8 protectionClass = 0;
    QList<_MBDBProperty> properties;

    // Name of the file holding this record's content in the backup folder.
    QString backupFileName() const;
    // Size 0 and no link target: folders, and also empty regular files.
    bool isFolder() const { return size == 0 && !linkTarget.isValid(); }
};
