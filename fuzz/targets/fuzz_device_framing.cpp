// What a device sends on a service socket: property-list messages framed by a
// 4-byte big-endian length (lockdown, backup, notification services) when
// the first input byte is even, AFC packets (a 40-byte header, a body)
// otherwise. The rest of the input is what arrives; then the peer closes.
#include "FuzzSupport.h"
#include "device/AfcProtocol.h"
#include "device/MobileDevice.h"
#include "plist/CFType.h"

#include <exception>

#include <sys/socket.h>
#include <unistd.h>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::init();
    mobiledevice_set_length_wait_ms(1000);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Everything must fit in the socket's buffer, written before reading.
    if (size < 1 || size > 100000)
        return 0;
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0)
        return 0;
    int buffer = 1 << 20;
    ::setsockopt(fds[1], SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
    ::setsockopt(fds[0], SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    const bool afc = data[0] & 1;
    size_t sent = 1;
    while (sent < size) {
        const ssize_t n = ::send(fds[1], data + sent, size - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n <= 0)
            break;
        sent += size_t(n);
    }
    ::shutdown(fds[1], SHUT_WR);
    const unsigned int handle = unsigned(fds[0]);
    for (int i = 0; i < 64; ++i) {
        try {
            if (afc) {
                _AFCHeader reply;
                int status = 0;
                (void)mobiledevice_afc_read_data(handle, reply, &status);
            } else {
                const CFType msg = mobiledevice_recmsg(handle, CFType(), 1000);
                (void)msg.toString();
            }
        } catch (const std::exception&) {
            break;
        }
    }
    ::close(fds[0]);
    ::close(fds[1]);
    return 0;
}
