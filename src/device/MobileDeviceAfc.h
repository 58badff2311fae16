#pragma once

#include "device/AfcProtocol.h"
#include "device/MobileDevice.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <mutex>
#include <utility>

// What the device says of one path. Invalid (no type) when the path does not
// exist or the question failed.
struct _AfcFileInfo
{
    QString path;
    qint64 size = 0;
    QDateTime modified; // invalid when the device gave no time
    QString type;       // the device's st_ifmt: S_IFREG, S_IFDIR, S_IFLNK, ...

    bool isValid() const { return !type.isEmpty(); }
    bool isDir() const { return type == QLatin1String("S_IFDIR"); }
    bool isFile() const { return type == QLatin1String("S_IFREG"); }
};

// Whether a name from the device is one plain path element (not empty, not
// "." or "..", no separator), fit to be joined to a folder path.
bool afc_is_plain_name(const QString& name);

// One open device file. Closing (explicitly or on destruction) tells the
// device once and never fails.
class AfcFile
{
public:
    AfcFile() = default;
    ~AfcFile() { close(); }
    AfcFile(const AfcFile&) = delete;
    AfcFile& operator=(const AfcFile&) = delete;

    bool isOpen() const { return m_file != 0; }
    // Byte counts, or -1 when the device or the connection failed.
    int read(char* buffer, int length);
    int write(const char* data, int length);
    void close();

private:
    friend class mobiledevice_afc;
    unsigned int m_service = 0;
    quint64 m_file = 0;
};

// The AFC client of one device: the media file service, or with a bundle
// identifier the application's container through house arrest. One thread at
// a time; requests and replies strictly alternate.
class mobiledevice_afc
{
public:
    explicit mobiledevice_afc(am_device* device) : m_device(device) {}
    ~mobiledevice_afc() { closeService(); }
    mobiledevice_afc(const mobiledevice_afc&) = delete;
    mobiledevice_afc& operator=(const mobiledevice_afc&) = delete;

    am_device* device() const { return m_device; }
    unsigned int handle() const { return m_handle; }

    // Raises std::runtime_error when the service cannot be started or the
    // container cannot be vended. A service already running is closed first.
    void startService(const QString& bundleId = QString());
    void closeService();
    // Takes over a socket that already speaks AFC, or gives it back unclosed.
    void adoptService(unsigned int handle)
    {
        closeService();
        std::lock_guard<std::mutex> lock(m_handleLock);
        m_handle = handle;
    }
    unsigned int releaseService()
    {
        std::lock_guard<std::mutex> lock(m_handleLock);
        return std::exchange(m_handle, 0u);
    }

    // These never raise: failures give the empty or false result.
    _AfcFileInfo fileInfo(const QString& path);
    // Regular files and folders of a folder, in the device's order.
    QList<_AfcFileInfo> lt(const QString& dir);
    bool mkdir(const QString& path);
    bool del(const QString& path);
    // Renames a file, replacing one already at the target.
    bool rename(const QString& from, const QString& to);
    bool openFile(const QString& path, afc_file_mode_t mode, AfcFile& file);
    bool readFile(const QString& path, AfcFile& file) { return openFile(path, AFC_FOPEN_RDONLY, file); }
    bool writeFile(const QString& path, AfcFile& file) { return openFile(path, AFC_FOPEN_WRONLY, file); }

    // From any thread: a request waiting for a stalled device returns at
    // once, and every later one fails. Used to cancel a job promptly.
    void interrupt();

private:
    am_device* m_device;
    unsigned int m_handle = 0;
    // Between interrupt() on another thread and the service being closed:
    // the socket number must not be reused under a late interrupt.
    std::mutex m_handleLock;
};
