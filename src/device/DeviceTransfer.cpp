#include "device/MobileDevice.h"
#include "shell/Failure.h"

#include <QtEndian>

#include <poll.h>
#include <sys/socket.h>

#include <atomic>
#include <cerrno>
#include <stdexcept>

namespace {
std::atomic_int g_lengthWaitMs{60000};

// poll rather than select: a descriptor number above FD_SETSIZE would
// overflow select's set in a process with many open files.
bool waitFor(int fd, short events, int timeoutMs)
{
    pollfd p{fd, events, 0};
    for (;;) {
        const int r = ::poll(&p, 1, timeoutMs < 1 ? -1 : timeoutMs);
        if (r < 0 && errno == EINTR)
            continue;
        // A hang-up or error still counts as ready: the following recv or
        // send reports it.
        return r > 0;
    }
}

QString xmlHead(const CFType& msg)
{
    return QString::fromUtf8(msg.CFPropertyListToBytes(CFType::FormatXml)).left(800);
}

} // namespace

int mobiledevice_set_length_wait_ms(int ms)
{
    return g_lengthWaitMs.exchange(ms);
}

int mobiledevice_send_all(unsigned int handle, const char* data, int len, int timeoutMs)
{
    if (len < 1)
        return 0;
    int sent = 0;
    // A stream socket may take a large buffer in several sends; the whole
    // buffer is the unit of success. MSG_NOSIGNAL: a peer that went away is
    // an error here, not a SIGPIPE that ends the program.
    while (sent < len) {
        if (!waitFor(int(handle), POLLOUT, timeoutMs))
            return sent;
        const ssize_t n = ::send(int(handle), data + sent, size_t(len - sent), MSG_NOSIGNAL);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n < 1)
            return sent;
        sent += int(n);
    }
    return sent;
}

int mobiledevice_recv_all(unsigned int handle, char* data, int len, int timeoutMs)
{
    int got = 0;
    while (got < len) {
        if (!waitFor(int(handle), POLLIN, timeoutMs))
            break;
        const ssize_t n = ::recv(int(handle), data + got, size_t(len - got), 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n < 1)
            break;
        got += int(n);
    }
    return got;
}

void mobiledevice_sendmsg(unsigned int handle, const CFType& msg, bool binary, int timeoutMs)
{
    const QByteArray body = msg.CFPropertyListToBytes(binary ? CFType::FormatBinary : CFType::FormatXml);
    if (body.isEmpty())
        return;
    char prefix[4];
    qToBigEndian<quint32>(quint32(body.size()), prefix);
    if (mobiledevice_send_all(handle, prefix, 4, timeoutMs) != 4)
        g_raise(QStringLiteral("mobiledevice_sendmsg(msg-length) error.\n%1").arg(xmlHead(msg)));
    if (mobiledevice_send_all(handle, body.constData(), int(body.size()), timeoutMs) != body.size())
        g_raise(QStringLiteral("mobiledevice_sendmsg(msg) error.\n%1").arg(xmlHead(msg)));
}

CFType mobiledevice_recmsg(unsigned int handle, const CFType& request, int timeoutMs)
{
    const QString suffix = request.isNull() ? QString() : QStringLiteral("\n") + xmlHead(request);
    char prefix[4];
    const int got = mobiledevice_recv_all(handle, prefix, 4, g_lengthWaitMs.load());
    if (got != 4)
        g_raise(QStringLiteral("mobiledevice_recmsg(msg-length) error, received length: %1.").arg(got) + suffix);
    const quint32 length = qFromBigEndian<quint32>(prefix);
    // The peer's length decides the allocation: a broken or hostile peer must
    // not make us reserve gigabytes.
    if (length > quint32(kMaxDeviceMessageBytes))
        g_raise(QStringLiteral("mobiledevice_recmsg(msg-length) error, message length %1 exceeds %2.")
                  .arg(length)
                  .arg(kMaxDeviceMessageBytes) +
              suffix);
    if (length == 0)
        return CFType();
    QByteArray body(qsizetype(length), Qt::Uninitialized);
    const int n = mobiledevice_recv_all(handle, body.data(), int(length), timeoutMs);
    if (n != int(length))
        g_raise(QStringLiteral("mobiledevice_recmsg(msg) error, received length: %1.").arg(n) + suffix);
    return CFType::createCFPropertyList(body);
}
