#include "device/AfcProtocol.h"
#include "shell/Failure.h"

#include "device/MobileDevice.h"

#include <QtEndian>

#include <stdexcept>

namespace {
quint64 packetNumberFor(unsigned int handle)
{
    return handle == 0 ? 0xFFFFFFFFu : handle;
}

QByteArray pathBytes(const QString& path)
{
    QByteArray b = path.toUtf8();
    b.append('\0');
    return b;
}

QByteArray le64(quint64 v)
{
    QByteArray b(8, Qt::Uninitialized);
    qToLittleEndian(v, b.data());
    return b;
}

quint64 firstNumber(const QByteArray& body)
{
    return body.size() >= 8 ? qFromLittleEndian<quint64>(body.constData()) : 0;
}

// One request whose payload is all in the header part.
QByteArray request(unsigned int handle, int op, const QByteArray& payload)
{
    _AFCHeader h(int(packetNumberFor(handle)), op);
    h.thisLength = h.entireLength = quint64(kAfcHeaderSize + payload.size());
    mobiledevice_afc_send_data(handle, h, payload.constData(), int(payload.size()));
    _AFCHeader reply;
    return mobiledevice_afc_read_data(handle, reply, nullptr);
}

// NUL-terminated UTF-8 strings of a reply body.
QStringList strings(const QByteArray& body)
{
    QStringList out;
    qsizetype start = 0;
    while (start < body.size()) {
        qsizetype end = body.indexOf('\0', start);
        if (end < 0)
            end = body.size();
        out << QString::fromUtf8(body.constData() + start, end - start);
        start = end + 1;
    }
    return out;
}

QString escapeHtml(QString s)
{
    return s.replace(u'<', QStringLiteral("&lt;")).replace(u'>', QStringLiteral("&gt;"));
}
} // namespace

_AFCHeader::_AFCHeader(int packet, int op) : packetNumber(quint64(quint32(packet))), operation(quint64(qint64(op))) {}

QByteArray _AFCHeader::toBytes() const
{
    return QByteArray("CFA6LPAA", 8) + le64(entireLength) + le64(thisLength) + le64(packetNumber) + le64(operation);
}

_AFCHeader _AFCHeader::fromBytes(const char* b)
{
    _AFCHeader h;
    h.entireLength = qFromLittleEndian<quint64>(b + 8);
    h.thisLength = qFromLittleEndian<quint64>(b + 16);
    h.packetNumber = qFromLittleEndian<quint64>(b + 24);
    h.operation = qFromLittleEndian<quint64>(b + 32);
    return h;
}

void mobiledevice_afc_send_data(unsigned int handle, const _AFCHeader& header, const char* payload, int length)
{
    const QByteArray h = header.toBytes();
    if (mobiledevice_send_all(handle, h.constData(), kAfcHeaderSize, kAfcTimeoutMs) != kAfcHeaderSize)
        g_raise(QStringLiteral("send AFC header (%1) error.").arg(header.operation));
    if (length > 0 && mobiledevice_send_all(handle, payload, length, kAfcTimeoutMs) != length)
        g_raise(QStringLiteral("send AFC content (%1) error.").arg(header.operation));
}

QByteArray mobiledevice_afc_read_data(unsigned int handle, _AFCHeader& reply, int* status)
{
    char h[kAfcHeaderSize];
    if (mobiledevice_recv_all(handle, h, kAfcHeaderSize, kAfcTimeoutMs) != kAfcHeaderSize)
        g_raise(QStringLiteral("read AFC header failed."));
    reply = _AFCHeader::fromBytes(h);
    QByteArray body;
    if (reply.entireLength > quint64(kAfcHeaderSize)) {
        const quint64 bodyLength = reply.entireLength - kAfcHeaderSize;
        if (bodyLength > quint64(kAfcMaxReplyBody))
            g_raise(QStringLiteral("read AFC failed, reply of %1 bytes exceeds %2.").arg(bodyLength).arg(kAfcMaxReplyBody));
        body.resize(qsizetype(bodyLength));
        if (mobiledevice_recv_all(handle, body.data(), int(bodyLength), kAfcTimeoutMs) != int(bodyLength))
            g_raise(QStringLiteral("read AFC file block data failed."));
    }
    switch (reply.operation) {
    case AFC_OP_STATUS: {
        const quint64 code = firstNumber(body);
        if (status)
            *status = int(code);
        else if (code != 0)
            g_raise(QStringLiteral("read AFC failed, received AFC_OP_STATUS, param1=%1.").arg(code));
        // The status code is no content: a read answered by "success" has
        // reached the end of the file.
        return QByteArray();
    }
    case AFC_OP_DATA:
    case AFC_OP_FILE_OPEN_RES:
    case AFC_OP_FILE_TELL_RES:
        break;
    default:
        g_raise(QStringLiteral("read AFC failed, Unknown operation code received %1, param1=%2.")
                  .arg(reply.operation)
                  .arg(firstNumber(body)));
    }
    return body;
}

QStringList mobiledevice_afc_read_dir(unsigned int handle, const QString& path)
{
    return strings(request(handle, AFC_OP_READ_DIR, pathBytes(path)));
}

QMap<QString, QString> mobiledevice_afc_file_info(unsigned int handle, const QString& path)
{
    const QStringList s = strings(request(handle, AFC_OP_GET_FILE_INFO, pathBytes(path)));
    QMap<QString, QString> info;
    for (qsizetype i = 0; i + 1 < s.size(); i += 2)
        info.insert(s.at(i), s.at(i + 1));
    return info;
}

void mobiledevice_afc_mkdir(unsigned int handle, const QString& path)
{
    request(handle, AFC_OP_MAKE_DIR, pathBytes(path));
}

void mobiledevice_afc_remove(unsigned int handle, const QString& path)
{
    request(handle, AFC_OP_REMOVE_PATH, pathBytes(path));
}

void mobiledevice_afc_rename(unsigned int handle, const QString& from, const QString& to)
{
    request(handle, AFC_OP_RENAME_PATH, pathBytes(from) + pathBytes(to));
}

quint64 mobiledevice_afc_open_file(unsigned int handle, const QString& path, afc_file_mode_t mode)
{
    return firstNumber(request(handle, AFC_OP_FILE_OPEN, le64(quint64(mode)) + pathBytes(path)));
}

void mobiledevice_afc_close_file(unsigned int handle, quint64 file)
{
    request(handle, AFC_OP_FILE_CLOSE, le64(file));
}

int mobiledevice_afc_file_read(unsigned int handle, quint64 file, char* buffer, int length)
{
    int done = 0;
    while (done < length) {
        const int ask = qMin(length - done, kAfcMaxReadRequest);
        const QByteArray body = request(handle, AFC_OP_READ, le64(file) + le64(quint64(ask)));
        if (body.isEmpty())
            break;
        // Never more than asked for, whatever the peer sends.
        const int take = int(qMin<qsizetype>(body.size(), ask));
        memcpy(buffer + done, body.constData(), size_t(take));
        done += take;
    }
    return done;
}

int mobiledevice_afc_file_write(unsigned int handle, quint64 file, const char* data, int length)
{
    int done = 0;
    const QByteArray fileHandle = le64(file);
    while (done < length) {
        const int piece = qMin(length - done, kAfcMaxWritePiece);
        _AFCHeader h(int(packetNumberFor(handle)), AFC_OP_WRITE);
        h.thisLength = kAfcHeaderSize + 8;
        h.entireLength = h.thisLength + quint64(piece);
        mobiledevice_afc_send_data(handle, h, fileHandle.constData(), 8);
        if (mobiledevice_send_all(handle, data + done, piece, kAfcTimeoutMs) != piece)
            g_raise(QStringLiteral("write AFC file error."));
        _AFCHeader reply;
        mobiledevice_afc_read_data(handle, reply, nullptr);
        done += piece;
    }
    return done;
}

void mobiledevice_afc_housearrest_set_pid(unsigned int handle, const QString& bundleId)
{
    CFType msg = CFType::createCFDictionary();
    msg.put(QStringLiteral("Command"), CFType::createCFString(QStringLiteral("VendContainer")));
    msg.put(QStringLiteral("Identifier"), CFType::createCFString(bundleId));
    mobiledevice_sendmsg(handle, msg, false, kAfcTimeoutMs);
    const CFType answer = mobiledevice_recmsg(handle, msg, kAfcTimeoutMs);
    // An answer that is no dictionary at all is as much a refusal as "Error".
    if (!answer.isCFDictionary() || !answer.get(QStringLiteral("Error")).isNull())
        g_raise(QStringLiteral("can not find %1.<br/>%2")
                  .arg(bundleId, escapeHtml(QString::fromUtf8(answer.CFPropertyListToBytes(CFType::FormatXml)))));
}
