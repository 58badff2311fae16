#include "support/FailingDevice.h"

#include <cerrno>
#include <cstring>

FailingDevice::FailingDevice(int failAtWrite, qint64 capacity) : m_failAt(failAtWrite), m_capacity(capacity) {}

qint64 FailingDevice::readData(char*, qint64)
{
    return -1;
}

qint64 FailingDevice::writeData(const char* data, qint64 size)
{
    ++m_writes;
    const bool full = m_capacity >= 0 && m_data.size() >= m_capacity;
    if ((m_failAt > 0 && m_writes >= m_failAt) || full) {
        setErrorString(QString::fromLocal8Bit(std::strerror(ENOSPC)));
        return -1;
    }
    const qint64 n = m_capacity >= 0 ? qMin(size, m_capacity - m_data.size()) : size;
    m_data.append(data, qsizetype(n));
    return n;
}
