// A device backend whose iPhones are folders: FERROWICK_SIM_DEVICES holds one
// folder per simulated device,
//
//   <folder>/device.plist               identity, lockdown values and switches
//   <folder>/Media/                     served by "com.apple.afc"
//   <folder>/Containers/<bundle id>/    vended by "com.apple.mobile.house_arrest"
//
// device.plist (a dictionary; every entry optional):
//   Values       dictionary of the default lockdown domain (UniqueDeviceID,
//                DeviceName, ProductType, ProductVersion, ...)
//   Domains      dictionary: domain name -> dictionary of that domain
//   Attached     false keeps the device detached until attached by control
//   Paired       false makes the program pair; PairError (integer) refuses it
//   ConnectError, ValidateError, SessionError   integer codes of those steps
//   ServiceErrors  dictionary: service name -> integer code
//   HouseArrest  true vends containers; by default VendContainer is answered
//                with {"Error": HouseArrestError or "InstallationLookupFailed"}
//   Backup       dictionary of the backup program's switches (see SimBackupTool.cpp)
//
// Devices come and go while the program runs through the control calls
// fwsim_attach/fwsim_detach (tests) or the control file <root>/attached, one
// folder name per line, watched while anyone listens (scripted runs): while it
// exists exactly the devices it names are attached.

#include "SimService.h"
#include "device/DeviceBackendApi.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <plist/plist.h>
#include <dlfcn.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#define FWSIM_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
constexpr int32_t kErrNoDevice = -3;      // the device left
constexpr int32_t kErrNotConnected = -9;  // a session step without a connection
constexpr int32_t kErrNoSession = -23;    // a service without a session
constexpr int32_t kErrUnknownService = -26;
constexpr int32_t kErrMissingValue = -12;
constexpr int32_t kErrInvalidArg = -1;
constexpr int32_t kDefaultPairRefusal = -18; // the user did not trust the computer

QString simRoot()
{
    return qEnvironmentVariable("FERROWICK_SIM_DEVICES");
}

struct Config
{
    plist_t plist = nullptr; // the whole device.plist (a dictionary), owned
    ~Config() { plist_free(plist); }

    plist_t item(const char* key) const
    {
        return plist && plist_get_node_type(plist) == PLIST_DICT ? plist_dict_get_item(plist, key) : nullptr;
    }
    bool flag(const char* key, bool def) const
    {
        plist_t v = item(key);
        if (!v || plist_get_node_type(v) != PLIST_BOOLEAN)
            return def;
        uint8_t b = 0;
        plist_get_bool_val(v, &b);
        return b != 0;
    }
    static int32_t code(plist_t v)
    {
        if (!v || plist_get_node_type(v) != PLIST_UINT)
            return 0;
        uint64_t u = 0;
        plist_get_uint_val(v, &u);
        return int32_t(int64_t(u));
    }
    int32_t code(const char* key) const { return code(item(key)); }
    QString text(const char* key) const
    {
        plist_t v = item(key);
        if (!v || plist_get_node_type(v) != PLIST_STRING)
            return QString();
        char* s = nullptr;
        plist_get_string_val(v, &s);
        const QString r = QString::fromUtf8(s);
        free(s);
        return r;
    }
};

std::shared_ptr<Config> readConfig(const QString& folder)
{
    auto c = std::make_shared<Config>();
    QFile f(folder + QStringLiteral("/device.plist"));
    if (f.open(QIODevice::ReadOnly)) {
        const QByteArray b = f.read(16 * 1024 * 1024);
        if (b.startsWith("bplist00"))
            plist_from_bin(b.constData(), uint32_t(b.size()), &c->plist);
        else
            plist_from_xml(b.constData(), uint32_t(b.size()), &c->plist);
    }
    if (!c->plist || plist_get_node_type(c->plist) != PLIST_DICT) {
        plist_free(c->plist);
        c->plist = plist_new_dict();
    }
    return c;
}
} // namespace

// Kept for the life of the library: the program may hold the pointer after
// the device left.
struct fwdev_device
{
    QString folder; // name under the root
    QString path;   // absolute folder
    std::shared_ptr<Config> config;
    bool attached = false;
    bool connected = false;
    bool session = false;
    int connections = 0;   // connects not yet matched by a disconnect
    QSet<int> serverFds;   // the simulator's ends of this device's services
};

namespace {
struct Event
{
    fwdev_device* device;
    int32_t event;
    int32_t onlyFor; // 0: every subscriber
};

struct Subscriber
{
    fwdev_event_cb cb;
    void* context;
};

class Simulator
{
public:
    ~Simulator()
    {
        {
            std::unique_lock<std::mutex> lock(m_lock);
            m_stopping = true;
            for (auto& d : m_devices)
                for (int fd : d.second->serverFds)
                    ::shutdown(fd, SHUT_RDWR);
            m_wake.notify_all();
        }
        if (m_eventThread.joinable())
            m_eventThread.join();
        std::unique_lock<std::mutex> lock(m_lock);
        m_servicesDone.wait_for(lock, std::chrono::seconds(5), [this] { return m_runningServices == 0; });
    }

    std::mutex m_lock;
    // Held while callbacks run, so unsubscribe can wait for a running one.
    std::recursive_mutex m_delivering;
    std::map<QString, std::unique_ptr<fwdev_device>> m_devices;
    std::map<int32_t, Subscriber> m_subscribers;
    int32_t m_nextSubscription = 1;
    std::deque<Event> m_events;
    std::condition_variable m_wake;
    std::condition_variable m_servicesDone;
    int m_runningServices = 0;
    std::thread m_eventThread;
    std::thread::id m_eventThreadId;
    bool m_stopping = false;
    bool m_scanned = false;
    std::optional<QByteArray> m_controlFile; // last content seen; none while absent

    // Both below expect m_lock held.
    fwdev_device* deviceLocked(const QString& folder)
    {
        auto it = m_devices.find(folder);
        if (it != m_devices.end())
            return it->second.get();
        const QString root = simRoot();
        if (root.isEmpty() || folder.isEmpty() || folder.contains(u'/') || folder.startsWith(u'.') ||
            !QFileInfo(root + u'/' + folder).isDir())
            return nullptr;
        auto d = std::make_unique<fwdev_device>();
        d->folder = folder;
        d->path = QDir(root).absoluteFilePath(folder);
        fwdev_device* raw = d.get();
        m_devices.emplace(folder, std::move(d));
        return raw;
    }

    void setAttachedLocked(fwdev_device* d, bool attached)
    {
        if (d->attached == attached)
            return;
        d->attached = attached;
        if (attached) {
            d->config = readConfig(d->path);
        } else {
            d->connected = false;
            d->session = false;
            d->connections = 0;
            // Unplugging cuts every service of the device: the program's
            // reads and writes fail at once.
            for (int fd : d->serverFds)
                ::shutdown(fd, SHUT_RDWR);
        }
        // Nobody listening: a later subscriber hears of the device then.
        if (m_subscribers.empty())
            return;
        m_events.push_back({d, attached ? FWDEV_EVENT_ATTACHED : FWDEV_EVENT_DETACHED, 0});
        m_wake.notify_all();
    }

    // First look at the root: devices attached unless they say otherwise.
    void scanLocked()
    {
        if (m_scanned)
            return;
        m_scanned = true;
        const QString root = simRoot();
        if (root.isEmpty())
            return;
        applyControlFileLocked();
        if (m_controlFile)
            return;
        for (const QString& name : QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
            fwdev_device* d = deviceLocked(name);
            if (d && readConfig(d->path)->flag("Attached", true))
                setAttachedLocked(d, true);
        }
    }

    void applyControlFileLocked()
    {
        const QString root = simRoot();
        if (root.isEmpty())
            return;
        QFile f(root + QStringLiteral("/attached"));
        std::optional<QByteArray> content;
        if (f.open(QIODevice::ReadOnly))
            content = f.read(1024 * 1024);
        if (content == m_controlFile)
            return;
        m_controlFile = content;
        if (!content)
            return;
        QSet<QString> wanted;
        for (const QByteArray& line : content->split('\n')) {
            const QString name = QString::fromUtf8(line).trimmed();
            if (!name.isEmpty())
                wanted.insert(name);
        }
        for (const QString& name : wanted)
            if (fwdev_device* d = deviceLocked(name))
                setAttachedLocked(d, true);
        for (auto& entry : m_devices)
            if (!wanted.contains(entry.first))
                setAttachedLocked(entry.second.get(), false);
    }

    void ensureEventThreadLocked()
    {
        if (m_eventThread.joinable())
            return;
        m_eventThread = std::thread([this] { eventLoop(); });
    }

    void eventLoop()
    {
        std::unique_lock<std::mutex> lock(m_lock);
        m_eventThreadId = std::this_thread::get_id();
        while (!m_stopping) {
            if (m_events.empty()) {
                m_wake.wait_for(lock, std::chrono::milliseconds(200));
                if (!m_subscribers.empty())
                    applyControlFileLocked();
                continue;
            }
            const Event e = m_events.front();
            m_events.pop_front();
            std::vector<Subscriber> targets;
            for (const auto& s : m_subscribers)
                if (e.onlyFor == 0 || e.onlyFor == s.first)
                    targets.push_back(s.second);
            lock.unlock();
            {
                std::lock_guard<std::recursive_mutex> delivering(m_delivering);
                for (const Subscriber& s : targets)
                    s.cb(e.device, e.event, s.context);
            }
            lock.lock();
        }
    }

    void serviceStarted() { ++m_runningServices; }
    void serviceEnded(fwdev_device* d, int fd)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        d->serverFds.remove(fd);
        ::close(fd);
        --m_runningServices;
        m_servicesDone.notify_all();
    }
};

Simulator& sim()
{
    static Simulator s;
    return s;
}

// The device if it is attached (and connected, when asked), else a code.
int32_t check(fwdev_device* d, bool needConnection)
{
    if (!d)
        return kErrInvalidArg;
    if (!d->attached)
        return kErrNoDevice;
    if (needConnection && !d->connected)
        return kErrNotConnected;
    return 0;
}
} // namespace

FWSIM_EXPORT int32_t fwdev_api_version(void)
{
    return FWDEV_API_VERSION;
}

FWSIM_EXPORT int32_t fwdev_subscribe(fwdev_event_cb cb, void* context, int32_t* id)
{
    if (!cb || !id)
        return kErrInvalidArg;
    Simulator& s = sim();
    std::lock_guard<std::mutex> lock(s.m_lock);
    s.scanLocked();
    const int32_t sub = s.m_nextSubscription++;
    s.m_subscribers[sub] = {cb, context};
    // The newcomer hears of the devices already here, from the event thread
    // like every other notification.
    for (auto& d : s.m_devices)
        if (d.second->attached)
            s.m_events.push_back({d.second.get(), FWDEV_EVENT_ATTACHED, sub});
    s.ensureEventThreadLocked();
    s.m_wake.notify_all();
    *id = sub;
    return 0;
}

FWSIM_EXPORT int32_t fwdev_unsubscribe(int32_t id)
{
    Simulator& s = sim();
    {
        std::lock_guard<std::mutex> lock(s.m_lock);
        if (s.m_subscribers.erase(id) == 0)
            return kErrInvalidArg;
    }
    // Wait for a callback that may be running (unless we are inside it).
    if (std::this_thread::get_id() != s.m_eventThreadId)
        std::lock_guard<std::recursive_mutex> wait(s.m_delivering);
    return 0;
}

FWSIM_EXPORT int32_t fwdev_device_list(fwdev_device** out, int32_t capacity)
{
    Simulator& s = sim();
    std::lock_guard<std::mutex> lock(s.m_lock);
    s.scanLocked();
    s.applyControlFileLocked();
    int32_t n = 0;
    for (auto& d : s.m_devices) {
        if (!d.second->attached)
            continue;
        if (out && n < capacity)
            out[n] = d.second.get();
        ++n;
    }
    return n;
}

FWSIM_EXPORT int32_t fwdev_connect(fwdev_device* d)
{
    std::lock_guard<std::mutex> lock(sim().m_lock);
    if (const int32_t c = check(d, false))
        return c;
    if (const int32_t c = d->config->code("ConnectError"))
        return c;
    d->connected = true;
    ++d->connections;
    return 0;
}

FWSIM_EXPORT int32_t fwdev_is_paired(fwdev_device* d)
{
    std::lock_guard<std::mutex> lock(sim().m_lock);
    if (check(d, true))
        return 0;
    return d->config->flag("Paired", true) ? 1 : 0;
}

FWSIM_EXPORT int32_t fwdev_pair(fwdev_device* d)
{
    std::lock_guard<std::mutex> lock(sim().m_lock);
    if (const int32_t c = check(d, true))
        return c;
    if (d->config->flag("Paired", true))
        return 0;
    const int32_t refusal = d->config->code("PairError");
    return refusal ? refusal : kDefaultPairRefusal;
}

FWSIM_EXPORT int32_t fwdev_validate_pairing(fwdev_device* d)
{
    std::lock_guard<std::mutex> lock(sim().m_lock);
    if (const int32_t c = check(d, true))
        return c;
    return d->config->code("ValidateError");
}

FWSIM_EXPORT int32_t fwdev_start_session(fwdev_device* d)
{
    std::lock_guard<std::mutex> lock(sim().m_lock);
    if (const int32_t c = check(d, true))
        return c;
    if (const int32_t c = d->config->code("SessionError"))
        return c;
    d->session = true;
    return 0;
}

FWSIM_EXPORT int32_t fwdev_stop_session(fwdev_device* d)
{
    std::lock_guard<std::mutex> lock(sim().m_lock);
    if (!d)
        return kErrInvalidArg;
    d->session = false;
    return 0;
}

FWSIM_EXPORT int32_t fwdev_disconnect(fwdev_device* d)
{
    std::lock_guard<std::mutex> lock(sim().m_lock);
    if (!d)
        return kErrInvalidArg;
    if (d->connections > 0)
        --d->connections;
    d->connected = d->connections > 0;
    d->session = d->session && d->connected;
    return 0;
}

FWSIM_EXPORT int32_t fwdev_copy_value(fwdev_device* d, const char* domain, const char* key, char** bytes,
                                      uint32_t* length)
{
    if (!bytes || !length)
        return kErrInvalidArg;
    *bytes = nullptr;
    *length = 0;
    std::lock_guard<std::mutex> lock(sim().m_lock);
    if (const int32_t c = check(d, true))
        return c;
    if (!d->session)
        return kErrNoSession;
    plist_t dict = nullptr;
    if (domain && *domain) {
        plist_t domains = d->config->item("Domains");
        dict = domains && plist_get_node_type(domains) == PLIST_DICT ? plist_dict_get_item(domains, domain) : nullptr;
    } else {
        dict = d->config->item("Values");
    }
    if (!dict || plist_get_node_type(dict) != PLIST_DICT)
        return kErrMissingValue;
    plist_t value = key && *key ? plist_dict_get_item(dict, key) : dict;
    if (!value)
        return kErrMissingValue;
    plist_to_bin(value, bytes, length);
    return *bytes ? 0 : kErrMissingValue;
}

FWSIM_EXPORT void fwdev_free(void* p)
{
    free(p);
}

FWSIM_EXPORT int32_t fwdev_start_service(fwdev_device* d, const char* service, int32_t* fd)
{
    if (!service || !fd)
        return kErrInvalidArg;
    *fd = -1;
    Simulator& s = sim();
    std::lock_guard<std::mutex> lock(s.m_lock);
    if (const int32_t c = check(d, true))
        return c;
    if (!d->session)
        return kErrNoSession;
    plist_t errors = d->config->item("ServiceErrors");
    if (errors && plist_get_node_type(errors) == PLIST_DICT)
        if (const int32_t c = Config::code(plist_dict_get_item(errors, service)))
            return c;

    SimServicePlan plan;
    const QByteArray name(service);
    if (name == "com.apple.afc") {
        plan.kind = SimServicePlan::Afc;
        plan.root = d->path + QStringLiteral("/Media");
        QDir().mkpath(plan.root);
    } else if (name == "com.apple.mobile.house_arrest") {
        plan.kind = SimServicePlan::HouseArrest;
        plan.containersDir = d->path + QStringLiteral("/Containers");
        plan.vendAllowed = d->config->flag("HouseArrest", false);
        plan.vendError = d->config->text("HouseArrestError");
    } else {
        return kErrUnknownService;
    }

    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return kErrInvalidArg;
    const int server = pair[1];
    d->serverFds.insert(server);
    s.serviceStarted();
    std::thread([d, server, plan] {
        sim_serve(server, plan);
        sim().serviceEnded(d, server);
    }).detach();
    *fd = pair[0];
    return 0;
}

FWSIM_EXPORT int32_t fwdev_close_service(int32_t fd)
{
    return fd >= 0 && ::close(fd) == 0 ? 0 : kErrInvalidArg;
}

// Control calls, for tests: attach or detach the device of a folder under the
// root (0, or -1 when there is no such folder).
static int32_t setAttached(const char* folder, bool attached)
{
    Simulator& s = sim();
    std::lock_guard<std::mutex> lock(s.m_lock);
    s.scanLocked();
    fwdev_device* d = s.deviceLocked(QString::fromUtf8(folder));
    if (!d)
        return -1;
    s.setAttachedLocked(d, attached);
    return 0;
}

FWSIM_EXPORT int32_t fwsim_attach(const char* folder)
{
    return setAttached(folder, true);
}

FWSIM_EXPORT int32_t fwsim_detach(const char* folder)
{
    return setAttached(folder, false);
}

// Connections of the device not yet given back (a refused session must leave
// none), or -1 for an unknown folder.
FWSIM_EXPORT int32_t fwsim_connections(const char* folder)
{
    Simulator& s = sim();
    std::lock_guard<std::mutex> lock(s.m_lock);
    fwdev_device* d = s.deviceLocked(QString::fromUtf8(folder));
    return d ? d->connections : -1;
}

// The simulated phones are backed up by a program of their own, installed
// beside this library.
FWSIM_EXPORT const char* fwdev_backup_program(void)
{
    static const QByteArray path = [] {
        Dl_info info{};
        if (!dladdr(reinterpret_cast<void*>(&fwdev_backup_program), &info) || !info.dli_fname)
            return QByteArray("ferrowick-simbackup");
        return QFile::encodeName(QFileInfo(QFile::decodeName(info.dli_fname)).absolutePath() +
                                 QStringLiteral("/ferrowick-simbackup"));
    }();
    return path.constData();
}
