#include "device/MobileDeviceLoader.h"

#include "shell/RuntimeFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>

#include <atomic>
#include <mutex>
#include <stdexcept>

const char* const kDefaultDeviceBackendName = "libferrowick-imobiledevice.so";

namespace {
const QString kLoadFailed = QStringLiteral("Failed to load (Mobile Device) framework.");

struct LoaderState
{
    std::mutex lock;
    QLibrary library;
    _mobiledevice_backend fns;
    std::atomic_bool loaded{false};
};

LoaderState& state()
{
    static LoaderState s;
    return s;
}

template <typename Fn>
bool resolve(QLibrary& lib, const char* name, Fn& out, QStringList& missing)
{
    out = reinterpret_cast<Fn>(lib.resolve(name));
    if (!out)
        missing << QString::fromLatin1(name);
    return out != nullptr;
}

QString loadInto(LoaderState& s, const QString& path)
{
    s.library.setFileName(path);
    // A backend runs threads of its own (event listeners, simulated devices):
    // its code must stay mapped until the process ends.
    s.library.setLoadHints(QLibrary::PreventUnloadHint);
    if (!s.library.load())
        return s.library.errorString();

    const auto version = reinterpret_cast<fwdev_api_version_fn>(s.library.resolve("fwdev_api_version"));
    if (!version)
        return QStringLiteral("%1 is not a device backend (no fwdev_api_version).").arg(path);
    if (version() != FWDEV_API_VERSION)
        return QStringLiteral("%1 speaks interface version %2, this program %3.")
            .arg(path)
            .arg(version())
            .arg(FWDEV_API_VERSION);

    // Every function is required: a backend missing one is refused here
    // rather than failing at the first call that needs it.
    QStringList missing;
    _mobiledevice_backend& f = s.fns;
    resolve(s.library, "fwdev_subscribe", f.subscribe, missing);
    resolve(s.library, "fwdev_unsubscribe", f.unsubscribe, missing);
    resolve(s.library, "fwdev_device_list", f.deviceList, missing);
    resolve(s.library, "fwdev_connect", f.connect, missing);
    resolve(s.library, "fwdev_is_paired", f.isPaired, missing);
    resolve(s.library, "fwdev_pair", f.pair, missing);
    resolve(s.library, "fwdev_validate_pairing", f.validatePairing, missing);
    resolve(s.library, "fwdev_start_session", f.startSession, missing);
    resolve(s.library, "fwdev_stop_session", f.stopSession, missing);
    resolve(s.library, "fwdev_disconnect", f.disconnect, missing);
    resolve(s.library, "fwdev_copy_value", f.copyValue, missing);
    resolve(s.library, "fwdev_free", f.free, missing);
    resolve(s.library, "fwdev_start_service", f.startService, missing);
    resolve(s.library, "fwdev_close_service", f.closeService, missing);
    if (!missing.isEmpty())
        return QStringLiteral("%1 lacks %2.").arg(path, missing.join(QStringLiteral(", ")));
    return QString();
}
} // namespace

QStringList mobiledevice_loader_candidates()
{
    const QString chosen = qEnvironmentVariable("FERROWICK_DEVICE_BACKEND");
    if (!chosen.isEmpty())
        return {chosen};
    const QString name = QString::fromLatin1(kDefaultDeviceBackendName);
    QStringList paths;
    for (const QString& dir : g_runtimeFolderCandidates(RuntimeFolder::Plugins))
        paths << QDir(dir).filePath(name);
    return paths;
}

bool mobiledevice_loader_ini(QString& error)
{
    LoaderState& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.loaded)
        return true;
    // A failed attempt is tried again on the next call: the user may have
    // installed the backend (or a test pointed at another) since.
    {
        QStringList reasons;
        for (const QString& path : mobiledevice_loader_candidates()) {
            if (!QFileInfo::exists(path)) {
                reasons << QStringLiteral("%1 does not exist.").arg(path);
                continue;
            }
            const QString why = loadInto(s, path);
            if (why.isEmpty()) {
                s.loaded = true;
                return true;
            }
            s.library.unload();
            s.fns = _mobiledevice_backend();
            reasons << why;
        }
        error = kLoadFailed + QLatin1Char(' ') + reasons.join(QLatin1Char(' '));
    }
    return false;
}

bool mobiledevice_loader_is_loaded()
{
    // Asking never loads: only mobiledevice_loader_ini does.
    return state().loaded.load();
}

QString mobiledevice_loader_path()
{
    return state().loaded ? state().library.fileName() : QString();
}

const _mobiledevice_backend& mobiledevice_loader_mf()
{
    if (!state().loaded)
        throw std::runtime_error(kLoadFailed.toStdString());
    return state().fns;
}

QFunctionPointer mobiledevice_loader_resolve(const char* name)
{
    return state().loaded ? state().library.resolve(name) : nullptr;
}
