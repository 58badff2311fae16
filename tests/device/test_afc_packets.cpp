#include "device/AfcProtocol.h"
#include "device/MobileDeviceAfc.h"
#include "support/TestEnv.h"

#include <QTest>
#include <QtEndian>

#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <thread>

namespace {
struct Request
{
    QByteArray header; // the 40 bytes as sent
    quint64 entire = 0, thisLength = 0, packet = 0, op = 0;
    QByteArray payload, data;
};

QByteArray le64(quint64 v)
{
    QByteArray b(8, Qt::Uninitialized);
    qToLittleEndian(v, b.data());
    return b;
}

QByteArray replyPacket(quint64 op, const QByteArray& body, quint64 entireOverride = 0)
{
    const quint64 entire = entireOverride ? entireOverride : quint64(40 + body.size());
    return QByteArray("CFA6LPAA") + le64(entire) + le64(40 + body.size()) + le64(1) + le64(op) + body;
}

bool readExact(int fd, char* p, qsizetype n)
{
    while (n > 0) {
        const ssize_t r = ::recv(fd, p, size_t(n), 0);
        if (r <= 0)
            return false;
        p += r;
        n -= r;
    }
    return true;
}

// A device played by a script: each request is recorded and answered with
// what the script returns (raw bytes, so broken replies can be sent too).
class ScriptedPeer
{
public:
    using Script = std::function<QByteArray(const Request&)>;

    // hangUp: the device stops talking after its first answer.
    explicit ScriptedPeer(Script script, bool hangUp = false)
    {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0)
            qFatal("socketpair failed");
        m_client = fds[0];
        m_server = fds[1];
        m_thread = std::thread([this, script, hangUp] {
            for (;;) {
                Request r;
                r.header.resize(40);
                if (!readExact(m_server, r.header.data(), 40))
                    return;
                r.entire = qFromLittleEndian<quint64>(r.header.constData() + 8);
                r.thisLength = qFromLittleEndian<quint64>(r.header.constData() + 16);
                r.packet = qFromLittleEndian<quint64>(r.header.constData() + 24);
                r.op = qFromLittleEndian<quint64>(r.header.constData() + 32);
                r.payload.resize(qsizetype(r.thisLength - 40));
                r.data.resize(qsizetype(r.entire - r.thisLength));
                if (!readExact(m_server, r.payload.data(), r.payload.size()) ||
                    !readExact(m_server, r.data.data(), r.data.size()))
                    return;
                requests.append(r);
                const QByteArray answer = script(r);
                if (::send(m_server, answer.constData(), size_t(answer.size()), MSG_NOSIGNAL) != answer.size())
                    return;
                if (hangUp) {
                    ::shutdown(m_server, SHUT_WR);
                    return;
                }
            }
        });
    }
    ~ScriptedPeer()
    {
        ::shutdown(m_client, SHUT_RDWR);
        m_thread.join();
        ::close(m_client);
        ::close(m_server);
    }
    unsigned int handle() const { return unsigned(m_client); }

    QList<Request> requests; // read after the exchange only

private:
    int m_client = -1, m_server = -1;
    std::thread m_thread;
};

QString raised(const std::function<void()>& f)
{
    try {
        f();
    } catch (const std::runtime_error& e) {
        return QString::fromUtf8(e.what());
    }
    return QString();
}
} // namespace

class TestAfcPackets : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { g_requireTestEnvironment(); }

    void requestsAreLaidOutOnTheWire()
    {
        ScriptedPeer peer([](const Request&) { return replyPacket(AFC_OP_DATA, QByteArray(".\0..\0a\0", 7)); });
        const QStringList names = mobiledevice_afc_read_dir(peer.handle(), u"/Dö"_qs);
        QCOMPARE(names, (QStringList{u"."_qs, u".."_qs, u"a"_qs}));
        const QByteArray path("/D\xc3\xb6\0", 5);
        const QByteArray expected =
            QByteArray("CFA6LPAA") + le64(45) + le64(45) + le64(peer.handle()) + le64(3);
        QCOMPARE(peer.requests.at(0).header, expected);
        QCOMPARE(peer.requests.at(0).payload, path);
    }

    void writesGoInPiecesWithDataBehindTheHandle()
    {
        ScriptedPeer peer([](const Request&) { return replyPacket(AFC_OP_STATUS, le64(0)); });
        const QByteArray data(70000, 'w');
        QCOMPARE(mobiledevice_afc_file_write(peer.handle(), 7, data.constData(), int(data.size())), 70000);
        QCOMPARE(peer.requests.size(), 3);
        QList<qsizetype> pieces;
        QByteArray joined;
        for (const Request& r : peer.requests) {
            QCOMPARE(r.op, quint64(AFC_OP_WRITE));
            QCOMPARE(r.thisLength, quint64(48));
            QCOMPARE(r.payload, le64(7));
            QCOMPARE(r.entire, quint64(48 + r.data.size()));
            pieces << r.data.size();
            joined += r.data;
        }
        QCOMPARE(pieces, (QList<qsizetype>{32768, 32768, 70000 - 65536}));
        QCOMPARE(joined, data);
    }

    void readsAskAtMost64KiBAndTakeNoMoreThanAsked()
    {
        // The peer answers every read with more than was asked for.
        int served = 0;
        ScriptedPeer peer([&served](const Request&) {
            return served++ < 2 ? replyPacket(AFC_OP_DATA, QByteArray(70000, 'r')) : replyPacket(AFC_OP_DATA, {});
        });
        QByteArray buf(100000, '\0');
        QCOMPARE(mobiledevice_afc_file_read(peer.handle(), 9, buf.data(), int(buf.size())), 100000);
        QCOMPARE(peer.requests.size(), 2);
        QCOMPARE(peer.requests.at(0).payload, le64(9) + le64(65536));
        QCOMPARE(peer.requests.at(1).payload, le64(9) + le64(100000 - 65536));
    }

    void aReadAnsweredByStatusEnds()
    {
        ScriptedPeer peer([](const Request&) { return replyPacket(AFC_OP_STATUS, le64(0)); });
        QByteArray buf(64, 'x');
        QCOMPARE(mobiledevice_afc_file_read(peer.handle(), 9, buf.data(), int(buf.size())), 0);
        QCOMPARE(peer.requests.size(), 1);
        QCOMPARE(buf, QByteArray(64, 'x'));
    }

    // A cancelled job cuts the connection: no later request reaches the
    // device, and each fails at once instead of waiting for its timeout.
    void interruptedClientSendsNothingMore()
    {
        ScriptedPeer peer([](const Request&) { return replyPacket(AFC_OP_STATUS, le64(0)); });
        mobiledevice_afc afc(nullptr);
        afc.adoptService(peer.handle());
        QVERIFY(afc.mkdir(u"/a"_qs));
        afc.interrupt();
        QVERIFY(!afc.mkdir(u"/b"_qs));
        QVERIFY(!afc.fileInfo(u"/a"_qs).isValid());
        afc.releaseService();
        QCOMPARE(peer.requests.size(), 1);
    }

    void brokenRepliesAreErrors()
    {
        // A reply announcing a gigabyte is refused before anything is allocated.
        {
            ScriptedPeer peer([](const Request&) { return replyPacket(AFC_OP_DATA, {}, Q_UINT64_C(1) << 30); });
            const QString text = raised([&] { mobiledevice_afc_read_dir(peer.handle(), u"/"_qs); });
            QVERIFY2(text.startsWith(u"read AFC failed, reply of 1073741784 bytes exceeds"_qs), qPrintable(text));
        }
        {
            ScriptedPeer peer([](const Request&) { return replyPacket(99, le64(5)); });
            QCOMPARE(raised([&] { mobiledevice_afc_mkdir(peer.handle(), u"/x"_qs); }),
                     u"read AFC failed, Unknown operation code received 99, param1=5."_qs);
        }
        {
            ScriptedPeer peer([](const Request&) { return replyPacket(AFC_OP_STATUS, le64(10)); });
            QCOMPARE(raised([&] { mobiledevice_afc_remove(peer.handle(), u"/x"_qs); }),
                     u"read AFC failed, received AFC_OP_STATUS, param1=10."_qs);
            // With somewhere to put it the status is handed over instead.
            const QByteArray h = QByteArray("CFA6LPAA") + le64(41) + le64(41) + le64(0) + le64(AFC_OP_REMOVE_PATH);
            _AFCHeader header = _AFCHeader::fromBytes(h.constData());
            mobiledevice_afc_send_data(peer.handle(), header, "\0", 1);
            _AFCHeader reply;
            int status = -1;
            mobiledevice_afc_read_data(peer.handle(), reply, &status);
            QCOMPARE(status, 10);
        }
        {
            // A header cut short by a peer that goes away.
            ScriptedPeer peer([](const Request&) { return QByteArray("CFA6LP"); }, true);
            QCOMPARE(raised([&] { mobiledevice_afc_mkdir(peer.handle(), u"/x"_qs); }), u"read AFC header failed."_qs);
        }
    }

    void listingSkipsNamesThatAreNotPlainNames()
    {
        ScriptedPeer peer([](const Request& r) {
            if (r.op == AFC_OP_READ_DIR)
                return replyPacket(AFC_OP_DATA, QByteArray(".\0..\0ok\0../up\0a/b\0\0", 19));
            return replyPacket(AFC_OP_DATA, QByteArray("st_ifmt\0S_IFREG\0st_size\0" "3\0", 26));
        });
        mobiledevice_afc afc(nullptr);
        afc.adoptService(peer.handle());
        const QList<_AfcFileInfo> listed = afc.lt(u"/Documents"_qs);
        afc.releaseService();
        QCOMPARE(listed.size(), 1);
        QCOMPARE(listed.at(0).path, u"/Documents/ok"_qs);
        QCOMPARE(listed.at(0).size, 3);
        // Only the plain name was ever asked about.
        QCOMPARE(peer.requests.size(), 2);
        QCOMPARE(peer.requests.at(1).payload, QByteArray("/Documents/ok\0", 14));
    }
};

QTEST_GUILESS_MAIN(TestAfcPackets)
#include "test_afc_packets.moc"
