#include "device/MobileDeviceAfc.h"

#include <sys/socket.h>

#include <exception>

bool afc_is_plain_name(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") && !name.contains(u'/');
}

int AfcFile::read(char* buffer, int length)
{
    try {
        return mobiledevice_afc_file_read(m_service, m_file, buffer, length);
    } catch (const std::exception&) {
        return -1;
    }
}

int AfcFile::write(const char* data, int length)
{
    try {
        return mobiledevice_afc_file_write(m_service, m_file, data, length);
    } catch (const std::exception&) {
        return -1;
    }
}

void AfcFile::close()
{
    if (m_file == 0)
        return;
    try {
        mobiledevice_afc_close_file(m_service, m_file);
    } catch (const std::exception&) {
    }
    m_file = 0;
}

void mobiledevice_afc::startService(const QString& bundleId)
{
    closeService();
    unsigned int handle = 0;
    if (bundleId.isEmpty()) {
        mobiledevice_startservice(m_device, "com.apple.afc", handle);
        std::lock_guard<std::mutex> lock(m_handleLock);
        m_handle = handle;
        return;
    }
    mobiledevice_startservice(m_device, "com.apple.mobile.house_arrest", handle);
    try {
        mobiledevice_afc_housearrest_set_pid(handle, bundleId);
    } catch (...) {
        mobiledevice_closeservice(handle);
        throw;
    }
    std::lock_guard<std::mutex> lock(m_handleLock);
    m_handle = handle;
}

void mobiledevice_afc::closeService()
{
    std::lock_guard<std::mutex> lock(m_handleLock);
    if (m_handle == 0)
        return;
    mobiledevice_closeservice(m_handle);
    m_handle = 0;
}

void mobiledevice_afc::interrupt()
{
    std::lock_guard<std::mutex> lock(m_handleLock);
    if (m_handle != 0)
        ::shutdown(int(m_handle), SHUT_RDWR);
}

_AfcFileInfo mobiledevice_afc::fileInfo(const QString& path)
{
    try {
        const QMap<QString, QString> m = mobiledevice_afc_file_info(m_handle, path);
        _AfcFileInfo info;
        info.path = path;
        info.type = m.value(QStringLiteral("st_ifmt"));
        info.size = m.value(QStringLiteral("st_size")).toLongLong();
        bool ok = false;
        const QString mtime = m.value(QStringLiteral("st_mtime"));
        const qint64 ns = mtime.toLongLong(&ok);
        if (ok)
            info.modified = QDateTime::fromMSecsSinceEpoch(qint64(double(ns) / 1000000.0));
        return info;
    } catch (const std::exception&) {
        return _AfcFileInfo();
    }
}

QList<_AfcFileInfo> mobiledevice_afc::lt(const QString& dir)
{
    QList<_AfcFileInfo> out;
    try {
        const QString base = dir.endsWith(u'/') ? dir : dir + u'/';
        for (const QString& name : mobiledevice_afc_read_dir(m_handle, dir)) {
            // A name is one path element: anything that would climb or reach
            // elsewhere is not listed.
            if (!afc_is_plain_name(name))
                continue;
            const _AfcFileInfo info = fileInfo(base + name);
            if (info.isFile() || info.isDir())
                out.append(info);
        }
    } catch (const std::exception&) {
        return {};
    }
    return out;
}

bool mobiledevice_afc::mkdir(const QString& path)
{
    try {
        mobiledevice_afc_mkdir(m_handle, path);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool mobiledevice_afc::del(const QString& path)
{
    try {
        mobiledevice_afc_remove(m_handle, path);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool mobiledevice_afc::rename(const QString& from, const QString& to)
{
    try {
        mobiledevice_afc_rename(m_handle, from, to);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool mobiledevice_afc::openFile(const QString& path, afc_file_mode_t mode, AfcFile& file)
{
    try {
        const quint64 h = mobiledevice_afc_open_file(m_handle, path, mode);
        if (h == 0)
            return false;
        file.close();
        file.m_service = m_handle;
        file.m_file = h;
        return true;
    } catch (const std::exception&) {
        return false;
    }
}
