#pragma once

#include <QByteArray>
#include <QIODevice>

// A write-only device that keeps what it is given and breaks like a disk
// that fills up: the n-th write fails, or the bytes beyond a capacity are
// refused (that write comes back short, the next one fails). Its error text
// is the system's "No space left on device".
class FailingDevice : public QIODevice
{
public:
    // failAtWrite 0 and capacity -1: never fails.
    explicit FailingDevice(int failAtWrite = 0, qint64 capacity = -1);

    const QByteArray& written() const { return m_data; }
    int writes() const { return m_writes; }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    int m_failAt;
    qint64 m_capacity;
    int m_writes = 0;
    QByteArray m_data;
};
