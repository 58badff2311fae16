#include "device/MobileDevice.h"
#include "support/TestEnv.h"

#include <QTest>
#include <QtEndian>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// Both ends of a local stream socket: "ours" plays the program's service
// socket, "peer" the device.
struct SocketPair
{
    int ours = -1;
    int peer = -1;
    SocketPair()
    {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) == 0) {
            ours = fds[0];
            peer = fds[1];
        }
    }
    ~SocketPair()
    {
        closePeer();
        if (ours >= 0)
            ::close(ours);
    }
    void closePeer()
    {
        if (peer >= 0)
            ::close(peer);
        peer = -1;
    }
    void peerWrite(const QByteArray& b) { QCOMPARE(::send(peer, b.constData(), size_t(b.size()), 0), ssize_t(b.size())); }
    QByteArray peerReadAvailable()
    {
        QByteArray all;
        char buf[4096];
        pollfd p{peer, POLLIN, 0};
        while (::poll(&p, 1, 0) > 0 && (p.revents & POLLIN)) {
            const ssize_t n = ::recv(peer, buf, sizeof buf, 0);
            if (n <= 0)
                break;
            all.append(buf, n);
        }
        return all;
    }
};

QByteArray prefix(quint32 length)
{
    QByteArray b(4, Qt::Uninitialized);
    qToBigEndian(length, b.data());
    return b;
}

CFType request()
{
    CFType r = CFType::createCFDictionary();
    r.put(u"Command"_qs, CFType::createCFString(u"VendContainer"_qs));
    return r;
}

QString raised(const std::function<void()>& f)
{
    try {
        f();
    } catch (const std::runtime_error& e) {
        return QString::fromUtf8(e.what());
    }
    return QString();
}

// Shortens the wait for a length prefix for one test.
struct LengthWait
{
    int previous;
    explicit LengthWait(int ms) : previous(mobiledevice_set_length_wait_ms(ms)) {}
    ~LengthWait() { mobiledevice_set_length_wait_ms(previous); }
};
} // namespace

class TestDeviceMessages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { g_requireTestEnvironment(); }

    void framedMessagesRoundTrip()
    {
        for (bool binary : {false, true}) {
            SocketPair s;
            CFType msg = request();
            msg.put(u"Identifier"_qs, CFType::createCFString(u"com.viber"_qs));
            mobiledevice_sendmsg(unsigned(s.ours), msg, binary, 1000);
            const QByteArray wire = s.peerReadAvailable();
            QVERIFY(wire.size() > 4);
            QCOMPARE(qFromBigEndian<quint32>(wire.constData()), quint32(wire.size() - 4));
            QCOMPARE(wire.mid(4).startsWith("bplist00"), binary);

            // Echo it back: the receiving side parses either form.
            s.peerWrite(wire);
            const CFType back = mobiledevice_recmsg(unsigned(s.ours), CFType(), 1000);
            QCOMPARE(back.get(u"Identifier"_qs).CFStringQString(), u"com.viber"_qs);
        }
    }

    void nothingToSendSendsNothing()
    {
        SocketPair s;
        mobiledevice_sendmsg(unsigned(s.ours), CFType(), false, 1000);
        QVERIFY(s.peerReadAvailable().isEmpty());
    }

    void emptyAndUnparsableBodiesAreNullValues()
    {
        SocketPair s;
        s.peerWrite(prefix(0));
        QVERIFY(mobiledevice_recmsg(unsigned(s.ours), CFType(), 1000).isNull());
        s.peerWrite(prefix(5) + "hello");
        QVERIFY(mobiledevice_recmsg(unsigned(s.ours), CFType(), 1000).isNull());
    }

    void shortLengthPrefixTimesOut()
    {
        LengthWait wait(200);
        SocketPair s;
        s.peerWrite(QByteArray("\x00\x00", 2)); // and then silence, peer still open
        const QString text = raised([&] { mobiledevice_recmsg(unsigned(s.ours), request(), 60000); });
        QVERIFY2(text.startsWith(u"mobiledevice_recmsg(msg-length) error, received length: 2.\n"_qs), qPrintable(text));
        QVERIFY2(text.contains(u"VendContainer"_qs), qPrintable(text)); // the request is named
    }

    void shortBodyAndClosedPeer()
    {
        SocketPair s;
        s.peerWrite(prefix(100) + QByteArray(10, 'x'));
        s.closePeer();
        QCOMPARE(raised([&] { mobiledevice_recmsg(unsigned(s.ours), CFType(), 1000); }),
                 u"mobiledevice_recmsg(msg) error, received length: 10."_qs);
        QCOMPARE(raised([&] { mobiledevice_recmsg(unsigned(s.ours), CFType(), 1000); }),
                 u"mobiledevice_recmsg(msg-length) error, received length: 0."_qs);
        // Writing to a peer that went away is an error, not a SIGPIPE.
        const QString text = raised([&] { mobiledevice_sendmsg(unsigned(s.ours), request(), false, 1000); });
        QVERIFY2(text.startsWith(u"mobiledevice_sendmsg(msg-length) error.\n"_qs), qPrintable(text));
    }

    void hostileLengthIsRefusedBeforeAllocating()
    {
        SocketPair s;
        s.peerWrite(prefix(0xFFFFFFFFu));
        const QString text = raised([&] { mobiledevice_recmsg(unsigned(s.ours), CFType(), 1000); });
        QVERIFY2(text.startsWith(u"mobiledevice_recmsg(msg-length) error, message length 4294967295 exceeds"_qs),
                 qPrintable(text));
    }

    void rawTransferMovesLargeBuffers()
    {
        // Larger than any socket buffer: the sender must go on until the
        // reader has taken it all.
        SocketPair s;
        QByteArray big(3 * 1024 * 1024, Qt::Uninitialized);
        for (qsizetype i = 0; i < big.size(); ++i)
            big[i] = char(i * 31);
        QByteArray got(big.size(), Qt::Uninitialized);
        int received = 0;
        std::thread reader([&] { received = mobiledevice_recv_all(unsigned(s.peer), got.data(), int(got.size()), 5000); });
        QCOMPARE(mobiledevice_send_all(unsigned(s.ours), big.constData(), int(big.size()), 5000), int(big.size()));
        reader.join();
        QCOMPARE(received, int(big.size()));
        QVERIFY(got == big);
        QCOMPARE(mobiledevice_send_all(unsigned(s.ours), big.constData(), 0, 5000), 0);
    }
};

QTEST_GUILESS_MAIN(TestDeviceMessages)
#include "test_device_messages.moc"
