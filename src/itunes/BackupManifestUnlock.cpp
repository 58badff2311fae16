#include "itunes/BackupManifest.h"

#include "shell/JobProgress.h"
#include "shell/UserTexts.h"

#include <QCryptographicHash>
#include <QHash>
#include <QMutex>

#include <stdexcept>

namespace {
// Class keys of the backups unlocked in this process, by backup, keybag and
// password. Memory only: neither the password nor a key is ever written.
struct UnlockedKeys
{
    QMutex lock;
    QHash<QByteArray, QMap<int, QByteArray>> byBackup;
};

UnlockedKeys& unlockedKeys()
{
    static UnlockedKeys keys;
    return keys;
}

QByteArray cacheKey(const QString& folder, const QByteArray& keybag, const QByteArray& password)
{
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(folder.toUtf8());
    h.addData(QByteArrayView("\0", 1));
    h.addData(keybag);
    h.addData(QByteArrayView("\0", 1));
    h.addData(password);
    return h.result();
}
} // namespace

bool BackupManifest::setPasscode(const QByteArray& secret, JobProgress* progress)
{
    _KeybagInfo keybag = parseKeybag(m_info.backupKeyBag);
    const QByteArray id = cacheKey(m_root.absolutePath(), m_info.backupKeyBag, secret);
    UnlockedKeys& cache = unlockedKeys();
    QMap<int, QByteArray> known;
    {
        QMutexLocker locker(&cache.lock);
        known = cache.byBackup.value(id);
    }
    if (!known.isEmpty()) {
        for (auto it = known.constBegin(); it != known.constEnd(); ++it) {
            if (keybag.classKeys.contains(it.key()))
                keybag.classKeys[it.key()].insert(QStringLiteral("KEY"), it.value());
        }
    } else {
        KeyDerivationCheckpoint checkpoint;
        std::unique_ptr<PercentReporter> reporter;
        if (progress) {
            progress->invokeUpdateProgress(ids("IDS_UNLOCKING_BACKUP"), 0, QString());
            reporter = std::make_unique<PercentReporter>(*progress);
            checkpoint = [progress, &reporter](quint64 done, quint64 total) {
                progress->throwIfClosed();
                reporter->report(qint64(done), qint64(total));
            };
        }
        if (!unlockWithPasscode(secret, keybag, checkpoint))
            return false;
    }

    QByteArray indexKey;
    if (!m_info.manifestKey.isEmpty()) {
        indexKey = unwrapManifestKey(keybag, m_info.manifestKey);
        if (indexKey.isEmpty())
            throw std::runtime_error("The backup's ManifestKey is damaged: the index key cannot be unwrapped.");
    }
    if (known.isEmpty()) {
        for (auto it = keybag.classKeys.constBegin(); it != keybag.classKeys.constEnd(); ++it) {
            if (it->contains(QStringLiteral("KEY")))
                known.insert(it.key(), it->value(QStringLiteral("KEY")));
        }
        QMutexLocker locker(&cache.lock);
        cache.byBackup.insert(id, known);
    }
    m_keybag = keybag;
    m_indexKey = indexKey;
    m_unlocked = true;
    return true;
}
