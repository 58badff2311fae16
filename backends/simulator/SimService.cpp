#include "SimService.h"

#include <cstdio>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimeZone>
#include <QtEndian>

#include <plist/plist.h>
#include <sys/socket.h>

#include <map>
#include <memory>

namespace {
constexpr quint64 kOpStatus = 1, kOpData = 2, kOpReadDir = 3, kOpRemove = 8, kOpMakeDir = 9, kOpFileInfo = 10,
                  kOpOpen = 13, kOpOpenResult = 14, kOpRead = 15, kOpWrite = 16, kOpClose = 20, kOpRename = 24;
constexpr quint64 kErrUnknown = 1, kErrHeader = 2, kErrRead = 4, kErrWrite = 5, kErrUnknownPacket = 6,
                  kErrInvalidArg = 7, kErrNotFound = 8, kErrIsDir = 9, kErrPerm = 10, kErrDirNotEmpty = 33;
// A request larger than this is refused; the real service limits requests too.
constexpr quint64 kMaxRequest = 8 * 1024 * 1024;
constexpr quint64 kMaxRead = 4 * 1024 * 1024;

bool readExact(int fd, char* p, size_t n)
{
    while (n > 0) {
        const ssize_t r = ::recv(fd, p, n, 0);
        if (r <= 0)
            return false;
        p += r;
        n -= size_t(r);
    }
    return true;
}

bool writeExact(int fd, const char* p, size_t n)
{
    while (n > 0) {
        const ssize_t r = ::send(fd, p, n, MSG_NOSIGNAL);
        if (r <= 0)
            return false;
        p += r;
        n -= size_t(r);
    }
    return true;
}

quint64 u64(const QByteArray& b, int at)
{
    return b.size() >= at + 8 ? qFromLittleEndian<quint64>(b.constData() + at) : 0;
}

QByteArray le64(quint64 v)
{
    QByteArray b(8, Qt::Uninitialized);
    qToLittleEndian(v, b.data());
    return b;
}

class AfcServer
{
public:
    AfcServer(int fd, QString root) : m_fd(fd), m_root(QDir::cleanPath(std::move(root))) {}

    void run()
    {
        for (;;) {
            char h[40];
            if (!readExact(m_fd, h, 40))
                return;
            const quint64 entire = qFromLittleEndian<quint64>(h + 8);
            const quint64 thisLen = qFromLittleEndian<quint64>(h + 16);
            m_packet = qFromLittleEndian<quint64>(h + 24);
            const quint64 op = qFromLittleEndian<quint64>(h + 32);
            if (memcmp(h, "CFA6LPAA", 8) != 0 || thisLen < 40 || entire < thisLen || entire > kMaxRequest) {
                status(kErrHeader);
                return; // the stream cannot be trusted any more
            }
            QByteArray payload(qsizetype(thisLen - 40), Qt::Uninitialized);
            QByteArray data(qsizetype(entire - thisLen), Qt::Uninitialized);
            if (!readExact(m_fd, payload.data(), size_t(payload.size())) ||
                !readExact(m_fd, data.data(), size_t(data.size())))
                return;
            if (!handle(op, payload, data))
                return;
        }
    }

private:
    bool reply(quint64 op, const QByteArray& body, const QByteArray& trailing = QByteArray())
    {
        QByteArray h("CFA6LPAA", 8);
        h += le64(quint64(40 + body.size() + trailing.size()));
        h += le64(quint64(40 + body.size()));
        h += le64(m_packet);
        h += le64(op);
        return writeExact(m_fd, h.constData(), 40) && writeExact(m_fd, body.constData(), size_t(body.size())) &&
               writeExact(m_fd, trailing.constData(), size_t(trailing.size()));
    }
    bool status(quint64 code) { return reply(kOpStatus, le64(code)); }

    // The local path of a device path, or empty when it would leave the root.
    QString local(const QByteArray& raw) const
    {
        const QString path = QString::fromUtf8(raw.left(raw.indexOf('\0') < 0 ? raw.size() : raw.indexOf('\0')));
        QStringList parts;
        for (const QString& p : path.split(u'/', Qt::SkipEmptyParts)) {
            if (p == QLatin1String(".."))
                return QString();
            if (p != QLatin1String("."))
                parts << p;
        }
        return parts.isEmpty() ? m_root : m_root + u'/' + parts.join(u'/');
    }

    static QByteArray pairs(const QList<QPair<QByteArray, QByteArray>>& kv)
    {
        QByteArray b;
        for (const auto& p : kv) {
            b += p.first;
            b += '\0';
            b += p.second;
            b += '\0';
        }
        return b;
    }

    bool handle(quint64 op, const QByteArray& payload, const QByteArray& data)
    {
        switch (op) {
        case kOpReadDir: {
            const QString dir = local(payload);
            const QFileInfo fi(dir);
            if (dir.isEmpty() || !fi.exists())
                return status(kErrNotFound);
            if (!fi.isDir())
                return status(kErrInvalidArg);
            QStringList names = QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                                    QDir::Name);
            QByteArray body(".\0..\0", 5);
            for (const QString& n : names) {
                body += n.toUtf8();
                body += '\0';
            }
            return reply(kOpData, body);
        }
        case kOpFileInfo: {
            const QString path = local(payload);
            const QFileInfo fi(path);
            if (path.isEmpty() || (!fi.exists() && !fi.isSymLink()))
                return status(kErrNotFound);
            const char* type = fi.isSymLink() ? "S_IFLNK" : fi.isDir() ? "S_IFDIR" : fi.isFile() ? "S_IFREG" : "S_IFIFO";
            const qint64 mtimeNs = fi.lastModified().toMSecsSinceEpoch() * 1000000;
            const qint64 size = fi.isSymLink() ? 0 : fi.size();
            return reply(kOpData, pairs({{"st_size", QByteArray::number(size)},
                                         {"st_blocks", QByteArray::number((size + 511) / 512)},
                                         {"st_nlink", "1"},
                                         {"st_ifmt", type},
                                         {"st_mtime", QByteArray::number(mtimeNs)},
                                         {"st_birthtime", QByteArray::number(mtimeNs)}}));
        }
        case kOpMakeDir: {
            const QString path = local(payload);
            if (path.isEmpty())
                return status(kErrPerm);
            if (QFileInfo(path).isFile())
                return status(kErrInvalidArg);
            return status(QDir().mkpath(path) ? 0 : kErrPerm);
        }
        case kOpRemove: {
            const QString path = local(payload);
            const QFileInfo fi(path);
            if (path.isEmpty() || path == m_root)
                return status(kErrPerm);
            if (!fi.exists() && !fi.isSymLink())
                return status(kErrNotFound);
            if (fi.isDir() && !fi.isSymLink()) {
                if (!QDir(path).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
                    return status(kErrDirNotEmpty);
                return status(QDir().rmdir(path) ? 0 : kErrPerm);
            }
            return status(QFile::remove(path) ? 0 : kErrPerm);
        }
        case kOpRename: {
            // Two NUL-terminated paths; like rename(2), the target is replaced.
            const qsizetype nul = payload.indexOf('\0');
            const QString from = nul < 0 ? QString() : local(payload.left(nul));
            const QString to = nul < 0 ? QString() : local(payload.mid(nul + 1));
            if (from.isEmpty() || to.isEmpty() || from == m_root || to == m_root)
                return status(kErrPerm);
            if (!QFileInfo::exists(from))
                return status(kErrNotFound);
            return status(::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0 ? 0
                                                                                                              : kErrPerm);
        }
        case kOpOpen: {
            const quint64 mode = u64(payload, 0);
            const QString path = local(payload.mid(8));
            if (path.isEmpty())
                return status(kErrPerm);
            const QFileInfo fi(path);
            if (fi.isDir())
                return status(kErrIsDir);
            QIODevice::OpenMode qmode;
            switch (mode) {
            case 1: qmode = QIODevice::ReadOnly; break;
            case 2: qmode = QIODevice::ReadWrite; break;
            case 3: qmode = QIODevice::WriteOnly | QIODevice::Truncate; break;
            case 4: qmode = QIODevice::ReadWrite | QIODevice::Truncate; break;
            case 5: qmode = QIODevice::WriteOnly | QIODevice::Append; break;
            case 6: qmode = QIODevice::ReadWrite | QIODevice::Append; break;
            default: return status(kErrInvalidArg);
            }
            if (!fi.exists() && (mode == 1 || !QFileInfo(fi.absolutePath()).isDir()))
                return status(kErrNotFound);
            auto f = std::make_unique<QFile>(path);
            if (!f->open(qmode))
                return status(kErrPerm);
            const quint64 h = m_nextHandle++;
            m_files[h] = std::move(f);
            return reply(kOpOpenResult, le64(h));
        }
        case kOpRead: {
            auto it = m_files.find(u64(payload, 0));
            if (it == m_files.end())
                return status(kErrInvalidArg);
            const quint64 want = qMin(u64(payload, 8), kMaxRead);
            const QByteArray bytes = it->second->read(qint64(want));
            if (bytes.isEmpty() && it->second->error() != QFileDevice::NoError)
                return status(kErrRead);
            return reply(kOpData, QByteArray(), bytes);
        }
        case kOpWrite: {
            auto it = m_files.find(u64(payload, 0));
            if (it == m_files.end())
                return status(kErrInvalidArg);
            if (it->second->write(data) != data.size())
                return status(kErrWrite);
            return status(0);
        }
        case kOpClose: {
            if (m_files.erase(u64(payload, 0)) == 0)
                return status(kErrInvalidArg);
            return status(0);
        }
        default:
            return status(kErrUnknownPacket);
        }
        Q_UNUSED(kErrUnknown);
    }

    int m_fd;
    QString m_root;
    quint64 m_packet = 0;
    quint64 m_nextHandle = 1;
    std::map<quint64, std::unique_ptr<QFile>> m_files;
};

// One framed property list from the program; null on a broken frame.
plist_t readMessage(int fd)
{
    char prefix[4];
    if (!readExact(fd, prefix, 4))
        return nullptr;
    const quint32 len = qFromBigEndian<quint32>(prefix);
    if (len == 0 || len > kMaxRequest)
        return nullptr;
    QByteArray body(qsizetype(len), Qt::Uninitialized);
    if (!readExact(fd, body.data(), len))
        return nullptr;
    plist_t p = nullptr;
    if (body.startsWith("bplist00"))
        plist_from_bin(body.constData(), len, &p);
    else
        plist_from_xml(body.constData(), len, &p);
    return p;
}

bool writeMessage(int fd, plist_t p)
{
    char* xml = nullptr;
    uint32_t len = 0;
    plist_to_xml(p, &xml, &len);
    char prefix[4];
    qToBigEndian<quint32>(len, prefix);
    const bool ok = writeExact(fd, prefix, 4) && writeExact(fd, xml, len);
    free(xml);
    return ok;
}

QString stringItem(plist_t dict, const char* key)
{
    plist_t v = plist_get_node_type(dict) == PLIST_DICT ? plist_dict_get_item(dict, key) : nullptr;
    if (!v || plist_get_node_type(v) != PLIST_STRING)
        return QString();
    char* s = nullptr;
    plist_get_string_val(v, &s);
    const QString r = QString::fromUtf8(s);
    free(s);
    return r;
}

void serveHouseArrest(int fd, const SimServicePlan& plan)
{
    for (;;) {
        plist_t msg = readMessage(fd);
        if (!msg)
            return;
        const QString command = stringItem(msg, "Command");
        const QString id = stringItem(msg, "Identifier");
        plist_free(msg);
        plist_t answer = plist_new_dict();
        QString container;
        const bool safeId = !id.isEmpty() && !id.contains(u'/') && id != QLatin1String("..") && id != QLatin1String(".");
        if (command != QLatin1String("VendContainer") && command != QLatin1String("VendDocuments")) {
            plist_dict_set_item(answer, "Error", plist_new_string("UnknownCommand"));
        } else if (!plan.vendAllowed || !safeId || !QFileInfo(plan.containersDir + u'/' + id).isDir()) {
            const QString error = plan.vendError.isEmpty() ? QStringLiteral("InstallationLookupFailed") : plan.vendError;
            plist_dict_set_item(answer, "Error", plist_new_string(error.toUtf8().constData()));
        } else {
            plist_dict_set_item(answer, "Status", plist_new_string("Complete"));
            container = plan.containersDir + u'/' + id;
        }
        const bool sent = writeMessage(fd, answer);
        plist_free(answer);
        if (!sent)
            return;
        if (!container.isEmpty()) {
            AfcServer(fd, container).run();
            return;
        }
    }
}
} // namespace

void sim_serve(int fd, const SimServicePlan& plan)
{
    if (plan.kind == SimServicePlan::Afc)
        AfcServer(fd, plan.root).run();
    else
        serveHouseArrest(fd, plan);
}
