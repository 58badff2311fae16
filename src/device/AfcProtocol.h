#pragma once

#include "plist/CFType.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

// The AFC file protocol spoken on a started "com.apple.afc" or (after the
// house-arrest switch) "com.apple.mobile.house_arrest" service. Every function
// raises std::runtime_error on failure.

enum afc_file_mode_t {
    AFC_FOPEN_RDONLY = 1,
    AFC_FOPEN_WRONLY = 3, // create or truncate
};

enum afc_operation_t {
    AFC_OP_STATUS = 1,
    AFC_OP_DATA = 2,
    AFC_OP_READ_DIR = 3,
    AFC_OP_REMOVE_PATH = 8,
    AFC_OP_MAKE_DIR = 9,
    AFC_OP_GET_FILE_INFO = 10,
    AFC_OP_FILE_OPEN = 13,
    AFC_OP_FILE_OPEN_RES = 14,
    AFC_OP_READ = 15,
    AFC_OP_WRITE = 16,
    AFC_OP_FILE_CLOSE = 20,
    AFC_OP_FILE_TELL_RES = 19,
    AFC_OP_RENAME_PATH = 24,
};

constexpr int kAfcHeaderSize = 40;
constexpr int kAfcTimeoutMs = 60000;
constexpr int kAfcMaxReadRequest = 65536;
constexpr int kAfcMaxWritePiece = 32768;
// Largest reply body accepted: a broken or hostile peer cannot make us
// allocate more than this for one packet.
constexpr qint64 kAfcMaxReplyBody = 16 * 1024 * 1024;

// One packet header: 40 bytes, every field little-endian 64-bit.
struct _AFCHeader
{
    quint64 entireLength = kAfcHeaderSize; // header + payload + trailing data
    quint64 thisLength = kAfcHeaderSize;   // header + payload
    quint64 packetNumber = 0;
    quint64 operation = 0;

    _AFCHeader() = default;
    _AFCHeader(int packetNumber, int operation);
    QByteArray toBytes() const;
    static _AFCHeader fromBytes(const char* bytes);
};

void mobiledevice_afc_send_data(unsigned int handle, const _AFCHeader& header, const char* payload, int length);
// The reply's body (everything after the header). A status reply stores its
// status in *status when given; without it a non-zero status raises.
QByteArray mobiledevice_afc_read_data(unsigned int handle, _AFCHeader& reply, int* status);

QStringList mobiledevice_afc_read_dir(unsigned int handle, const QString& path);
QMap<QString, QString> mobiledevice_afc_file_info(unsigned int handle, const QString& path);
void mobiledevice_afc_mkdir(unsigned int handle, const QString& path);
void mobiledevice_afc_remove(unsigned int handle, const QString& path);
// Renames a file, replacing one already at the target.
void mobiledevice_afc_rename(unsigned int handle, const QString& from, const QString& to);
quint64 mobiledevice_afc_open_file(unsigned int handle, const QString& path, afc_file_mode_t mode);
void mobiledevice_afc_close_file(unsigned int handle, quint64 file);
// Reads up to length bytes (several requests when needed); fewer at the end.
int mobiledevice_afc_file_read(unsigned int handle, quint64 file, char* buffer, int length);
int mobiledevice_afc_file_write(unsigned int handle, quint64 file, const char* data, int length);

// Switches a house-arrest service into the container of bundleId; afterwards
// the socket speaks AFC rooted in that container.
void mobiledevice_afc_housearrest_set_pid(unsigned int handle, const QString& bundleId);
