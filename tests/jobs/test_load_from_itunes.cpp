#include "fixtures/ViberBackupFixture.h"
#include "itunes/BackupManifest.h"
#include "jobs/IOSLoadViberFromiTunesThread.h"
#include "stores/IOSViberDb.h"
#include "support/RecordingProgress.h"
#include "support/TestEnv.h"

#include <QDirIterator>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {
QString bagText(const _ViberEntity& e)
{
    const QHash<QString, QVariant> bag = e.unserOthers();
    QStringList items;
    for (auto it = bag.cbegin(); it != bag.cend(); ++it)
        items << it.key() + u'=' + it.value().toString();
    items.sort();
    return items.join(u';');
}

// Every record of a data set as sorted lines, without local paths (they
// differ between the container and the cache by design).
QStringList describe(const ViberData& data)
{
    const __ViberData* d = data.p();
    QStringList lines;
    for (const _ViberPerson* p : d->persons)
        lines << QStringLiteral("person %1|%2|%3").arg(p->id).arg(p->number, p->name);
    for (const _ViberChat* c : d->chats) {
        QList<qint64> members = c->members.keys();
        std::sort(members.begin(), members.end());
        QStringList ids;
        for (qint64 m : members)
            ids << QString::number(m);
        lines << QStringLiteral("chat %1|%2|%3|%4|%5").arg(c->id).arg(c->date, 0, 'f', 3).arg(c->name, c->groupId, ids.join(u','));
    }
    for (const _ViberMsg* m : d->msgs)
        lines << QStringLiteral("msg %1|%2|%3|%4|%5|%6|%7|%8|%9")
                     .arg(m->id)
                     .arg(m->chat ? m->chat->id : 0)
                     .arg(m->date, 0, 'f', 3)
                     .arg(int(m->state))
                     .arg(m->type)
                     .arg(m->text)
                     .arg(m->person ? m->person->id : 0)
                     .arg(m->atta ? m->atta->id : 0)
                     .arg(QStringLiteral("%1,%2,%3").arg(m->latitude()).arg(m->longitude()).arg(m->address()));
    for (const _ViberAtta* a : d->attas)
        lines << QStringLiteral("atta %1|%2|%3|%4|%5|%6").arg(a->id).arg(a->msg ? a->msg->id : 0).arg(a->name, a->mediaId).arg(a->fileSize).arg(bagText(*a));
    for (const _ViberCall* c : d->calls)
        lines << QStringLiteral("call %1|%2|%3|%4|%5").arg(c->id).arg(c->type).arg(c->duration).arg(c->date, 0, 'f', 3).arg(c->person ? c->person->id : 0);
    lines.sort();
    return lines;
}

ViberData loadStore(const QDir& root)
{
    IOSViberDb db(root, QStringLiteral("Documents/Contacts.data"), false);
    db.setMakePreviews(false);
    return db.loadDataThrow();
}

QStringList filesBelow(const QString& dir)
{
    QStringList files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    return files;
}

struct Loaded
{
    std::unique_ptr<BackupManifest> manifest;
    std::unique_ptr<RecordingProgress> progress;
    std::unique_ptr<IOSLoadViberFromiTunesThread> job;
};
} // namespace

class TestLoadFromITunes : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    QString m_container;   // pristine copy the backups were made from
    QString m_direct;      // a second copy, read directly for comparison
    ViberBackupSample m_sample;
    QStringList m_expected;

    QString path(const QString& rel) const { return m_tmp.filePath(rel); }

    QString backup(const QString& name, const ViberBackupLayout& layout = ViberBackupLayout())
    {
        return g_writeViberBackup(m_container, m_sample, path(QStringLiteral("backups")), name, layout);
    }

    // Runs the job on a backup folder; target empty means the backup's cache.
    Loaded load(const QString& folder, const QByteArray& password = {}, const QString& target = QString(),
                int cancelAfter = 0)
    {
        Loaded l;
        l.manifest = std::make_unique<BackupManifest>(folder, g_testDataFolders());
        l.manifest->readManifestInfo();
        if (!password.isEmpty())
            [&] { QVERIFY(l.manifest->setPasscode(QString::fromUtf8(password))); }();
        l.manifest->parseInfo();
        l.progress = std::make_unique<RecordingProgress>();
        l.progress->cancelAfterUpdates(cancelAfter);
        l.job = target.isEmpty()
                    ? std::make_unique<IOSLoadViberFromiTunesThread>(l.manifest.get(), *l.progress, g_testDataFolders())
                    : std::make_unique<IOSLoadViberFromiTunesThread>(l.manifest.get(), *l.progress, target);
        l.job->run();
        return l;
    }

    QString local(const Loaded& l, const QString& rel) const { return l.job->dataDir().absoluteFilePath(rel); }

    // The load ended well, the data set is the container's and the media
    // files came along.
    void checkLoadedLikeContainer(const Loaded& l)
    {
        QCOMPARE(l.progress->errors(), QStringList());
        QCOMPARE(l.progress->successes(), QStringList{QString()});
        QVERIFY(l.job->hasData());
        QCOMPARE(describe(loadStore(l.job->dataDir())), m_expected);
        for (const char* rel : {"Documents/Attachments/pic1.jpg", "Documents/AttachmentsPreview/pic1.jpg",
                                "Documents/Attachments/pic2.png", "Documents/Attachments/clip.v1.mp4",
                                "Documents/VoiceMessages/voice1.m4a", "Documents/CustomLocationImage/48.858800_2.jpg",
                                "Documents/stickers/0/100/00000075.png"}) {
            const QByteArray original = g_readFile(QDir(m_container).filePath(QString::fromLatin1(rel)));
            QVERIFY2(!original.isEmpty(), rel);
            QVERIFY2(g_readFile(local(l, QString::fromLatin1(rel))) == original, rel);
        }
        // The video's only preview lies in AttachmentsPreview; it lands where
        // the reader looks first.
        QCOMPARE(g_readFile(local(l, QStringLiteral("Documents/BigAttachmentsPreview/clip.jpg"))),
                 g_readFile(QDir(m_container).filePath(QStringLiteral("Documents/AttachmentsPreview/clip.jpg"))));
        // Icons: Anna's Viber icon, Boris's address-book picture.
        QCOMPARE(g_readFile(local(l, QStringLiteral("Documents/ContactIcons/4915111111111.jpg"))),
                 g_readFile(QDir(m_container).filePath(QStringLiteral("Documents/ViberIcons/ic-anna.jpg"))));
        QCOMPARE(g_readFile(local(l, QStringLiteral("Documents/ContactIcons/79161234567.jpg"))),
                 g_readFile(QDir(m_container).filePath(QStringLiteral("Documents/ContactIcons/12.jpg"))));
        // The camera-roll picture comes from the photo library, with previews
        // made from the full pictures, 400 pixels on the longer side.
        QCOMPARE(g_readFile(local(l, QStringLiteral("Documents/Attachments/asset1.jpg"))), m_sample.asset.content);
        QCOMPARE(QImage(local(l, QStringLiteral("Documents/AttachmentsPreview/asset1.jpg"))).size(), QSize(400, 200));
        QCOMPARE(QImage(local(l, QStringLiteral("Documents/AttachmentsPreview/pic2.png"))).size(), QSize(400, 100));
        // Names holding ".." reach no file anywhere.
        for (const QString& f : filesBelow(path(QString())))
            QVERIFY2(!f.contains(QStringLiteral("escape")) && !f.contains(QStringLiteral("outside")), qPrintable(f));
    }

private slots:
    void initTestCase()
    {
        g_requireTestEnvironment();
        QVERIFY(m_tmp.isValid());
        m_container = path(QStringLiteral("container"));
        {
            ContainerFixture c(m_container);
            m_sample = g_fillBackupSample(c);
            c.finish();
        }
        m_direct = path(QStringLiteral("direct"));
        for (const QString& f : filesBelow(m_container)) {
            const QString to = QDir(m_direct).filePath(QDir(m_container).relativeFilePath(f));
            QDir().mkpath(QFileInfo(to).absolutePath());
            QVERIFY(QFile::copy(f, to));
        }
        m_expected = describe(loadStore(QDir(m_direct)));
        QVERIFY(m_expected.size() > 30);
    }

    // A load given its own data folder keeps the backup's copy and the
    // index's working copy there, and leaves the default folder as it was.
    void givenDataFolderIsTheOnlyOneWritten()
    {
        ViberBackupLayout layout;
        layout.generation = BackupFixture::ManifestDb;
        const QString folder = backup(QStringLiteral("own-data-folder"), layout);
        const QString defaultRoot = g_testDataFolders().root().absolutePath();
        const QByteArray before = g_treeDigest(defaultRoot);
        QTemporaryDir own;
        const DataFolders folders(own.path());

        BackupManifest manifest(folder, folders);
        manifest.readManifestInfo();
        manifest.parseInfo();
        RecordingProgress progress;
        IOSLoadViberFromiTunesThread job(&manifest, progress, folders);
        job.run();
        QVERIFY2(progress.errors().isEmpty(), qPrintable(progress.errors().value(0)));
        QVERIFY(job.hasData());
        QCOMPARE(job.cacheDir().absolutePath(), folders.cacheDir().filePath(QStringLiteral("itunes/") + manifest.dirPathMd5()));
        QCOMPARE(describe(loadStore(job.dataDir())), m_expected);
        QVERIFY(QFileInfo(folders.cacheDir().filePath(QStringLiteral("index"))).isDir());
        QCOMPARE(g_treeDigest(defaultRoot), before);
    }

    void plainAndEncryptedLoadTheContainer_data()
    {
        QTest::addColumn<QByteArray>("password");
        QTest::newRow("plain") << QByteArray();
        QTest::newRow("encrypted") << QByteArray("s3cret pass");
    }

    void plainAndEncryptedLoadTheContainer()
    {
        QFETCH(QByteArray, password);
        ViberBackupLayout layout;
        layout.password = password;
        const Loaded l = load(backup(QString::fromLatin1(QTest::currentDataTag()), layout), password);
        checkLoadedLikeContainer(l);
        // Decrypted copies live under the data folder's cache, owner only.
        const QString cacheRoot = g_testDataFolders().cacheDir().absolutePath();
        QVERIFY(l.job->cacheDir().absolutePath().startsWith(cacheRoot));
        QCOMPARE(l.job->cacheDir().dirName(), l.manifest->dirPathMd5());
        const auto perms = QFileInfo(l.job->cacheDir().absolutePath()).permissions();
        QVERIFY(perms & QFile::ExeOwner);
        QVERIFY(!(perms & (QFile::ReadGroup | QFile::ReadOther | QFile::ExeOther | QFile::ExeGroup)));
        const QStringList updates = [&] {
            QStringList s;
            for (const auto& u : l.progress->updates())
                s << u.status + u'|' + u.detail;
            return s;
        }();
        QVERIFY(updates.contains(QStringLiteral("Loading data from iTunes Backup...|")));
        QVERIFY(updates.contains(QStringLiteral("|Loading Contacts.data...")));
    }

    void nodeNamesInAnyCase_data()
    {
        QTest::addColumn<QString>("domain");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QString>("media");
        QTest::newRow("app name") << QStringLiteral("AppDomain-COM.Viber") << QString() << QStringLiteral("Media");
        QTest::newRow("media") << QStringLiteral("AppDomain-com.viber") << QString() << QStringLiteral("mEDIA");
        // A domain of its own makes a top-level group of that name.
        QTest::newRow("group") << QStringLiteral("APPLICATIONS") << QStringLiteral("Com.Viber") << QStringLiteral("MEDIA");
    }

    void nodeNamesInAnyCase()
    {
        QFETCH(QString, domain);
        QFETCH(QString, prefix);
        QFETCH(QString, media);
        ViberBackupLayout layout;
        layout.appDomain = domain;
        layout.appPrefix = prefix;
        layout.mediaFolder = media;
        const QString folder = backup(QStringLiteral("case-") + QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-'), layout);
        const Loaded l = load(folder, {}, path(QStringLiteral("case-target/") + QString::fromLatin1(QTest::currentDataTag())));
        checkLoadedLikeContainer(l);
    }

    void secondLoadKeepsCachedFilesAndReplacesTheStore()
    {
        const QString folder = backup(QStringLiteral("twice"));
        const QString target = path(QStringLiteral("twice-target"));
        {
            const Loaded first = load(folder, {}, target);
            QVERIFY(first.job->hasData());
        }
        const QDir data(QDir(target).absoluteFilePath(QStringLiteral("com.viber")));
        QVERIFY(g_writeFile(data.filePath(QStringLiteral("Documents/Attachments/pic1.jpg")), "kept"));
        QVERIFY(g_writeFile(data.filePath(QStringLiteral("Documents/Attachments/pic2.png")), QByteArray()));
        QVERIFY(g_writeFile(data.filePath(QStringLiteral("Documents/Contacts.data")), "not a store any more"));
        // A write-ahead log of an earlier store must not be applied to the new one.
        const QString wal = data.filePath(QStringLiteral("Documents/Contacts.data-wal"));
        QVERIFY(g_writeFile(wal, QByteArray(4096, 'w')));
        const Loaded second = load(folder, {}, target);
        QCOMPARE(second.progress->errors(), QStringList());
        QVERIFY(!QFileInfo::exists(wal));
        QCOMPARE(describe(loadStore(data)), m_expected);
        QCOMPARE(g_readFile(data.filePath(QStringLiteral("Documents/Attachments/pic1.jpg"))), QByteArray("kept"));
        QCOMPARE(g_readFile(data.filePath(QStringLiteral("Documents/Attachments/pic2.png"))),
                 g_readFile(QDir(m_container).filePath(QStringLiteral("Documents/Attachments/pic2.png"))));
    }

    void missingAndDamagedFilesAreSkipped()
    {
        ViberBackupLayout layout;
        layout.password = "pw";
        const QString folder = backup(QStringLiteral("damaged"), layout);
        const QString domain = layout.appDomain;
        auto stored = [&](const QString& domainName, const QString& rel) {
            return QDir(folder).filePath(QString::fromLatin1(BackupFixture::sha1Hex(domainName, rel)));
        };
        QVERIFY(QFile::remove(stored(domain, QStringLiteral("Documents/VoiceMessages/voice1.m4a"))));
        QVERIFY(QFile::remove(stored(QStringLiteral("MediaDomain"), QStringLiteral("Media/DCIM/100APPLE/IMG_0001.JPG"))));
        // Cut short: the decryption fails; neither the icon nor the
        // attachment may stop the load, and no half file stays behind.
        for (const QString& rel : {QStringLiteral("Documents/ViberIcons/ic-anna.jpg"),
                                   QStringLiteral("Documents/Attachments/pic1.jpg")}) {
            QFile f(stored(domain, rel));
            QVERIFY(f.resize(f.size() - 32));
        }
        const Loaded l = load(folder, "pw");
        QCOMPARE(l.progress->errors(), QStringList());
        QCOMPARE(l.progress->successes(), QStringList{QString()});
        QCOMPARE(describe(loadStore(l.job->dataDir())), m_expected);
        for (const char* gone : {"Documents/VoiceMessages/voice1.m4a", "Documents/Attachments/asset1.jpg",
                                 "Documents/Attachments/pic1.jpg", "Documents/ContactIcons/4915111111111.jpg"})
            QVERIFY2(!QFileInfo::exists(local(l, QString::fromLatin1(gone))), gone);
        QVERIFY(QFileInfo(local(l, QStringLiteral("Documents/Attachments/pic2.png"))).size() > 0);
    }

    void cameraRollPictureWithoutPhotoLibrary()
    {
        // Without the library's index the container's own copy is still taken.
        const QString container = path(QStringLiteral("asset-in-container"));
        ViberBackupSample sample;
        {
            ContainerFixture c(container);
            sample = g_fillBackupSample(c);
            c.writeFile(QStringLiteral("Documents/Attachments/asset1.jpg"), "container copy");
            c.finish();
        }
        ViberBackupLayout layout;
        layout.photoLibrary = false;
        const QString folder = g_writeViberBackup(container, sample, path(QStringLiteral("backups")),
                                                  QStringLiteral("no-library"), layout);
        const Loaded l = load(folder);
        QCOMPARE(l.progress->errors(), QStringList());
        QCOMPARE(g_readFile(local(l, QStringLiteral("Documents/Attachments/asset1.jpg"))), QByteArray("container copy"));
    }

    void cancellationEndsSilently()
    {
        const QString folder = backup(QStringLiteral("cancel"));
        for (int after : {1, 3, 12}) {
            const Loaded l = load(folder, {}, path(QStringLiteral("cancel-%1").arg(after)), after);
            QCOMPARE(l.progress->successes(), QStringList());
            QCOMPARE(l.progress->errors(), QStringList());
        }
    }

    void missingFolderRecordsAreImplied_data()
    {
        QTest::addColumn<int>("generation");
        QTest::newRow("Manifest.mbdb") << int(BackupFixture::Mbdb);
        QTest::newRow("Manifest.db") << int(BackupFixture::ManifestDb);
    }

    void missingFolderRecordsAreImplied()
    {
        // Only the files' rows: no record for the app's root or any folder
        // (as some tools, and an iOS 14 index, write them).
        QFETCH(int, generation);
        BackupFixture b;
        b.generation = BackupFixture::Generation(generation);
        for (const QString& f : filesBelow(m_container))
            b.addFile(QStringLiteral("AppDomain-com.viber"), QDir(m_container).relativeFilePath(f), g_readFile(f));
        const Loaded l = load(b.write(path(QStringLiteral("backups")),
                                      QStringLiteral("no-folders-%1").arg(generation)));
        QCOMPARE(l.progress->errors(), QStringList());
        QVERIFY(l.job->hasData());
        QCOMPARE(describe(loadStore(l.job->dataDir())), m_expected);
        QCOMPARE(g_readFile(local(l, QStringLiteral("Documents/Attachments/pic1.jpg"))),
                 g_readFile(QDir(m_container).filePath(QStringLiteral("Documents/Attachments/pic1.jpg"))));
        const BackupManifest::_FileNode* docs = l.manifest->findNode(QStringLiteral("Applications/com.viber/Documents"));
        QVERIFY(docs);
        QVERIFY(docs->item.isFolder());
        QCOMPARE(docs->item.domain.toString(), QStringLiteral("AppDomain-com.viber"));
        QCOMPARE(docs->item.path.toString(), QStringLiteral("Documents"));
    }

    void backupWithoutViber()
    {
        BackupFixture b;
        b.addFolders(QStringLiteral("AppDomain-com.other"), QStringLiteral("Documents"));
        b.addFile(QStringLiteral("AppDomain-com.other"), QStringLiteral("Documents/Contacts.data"), "x");
        const Loaded none = load(b.write(path(QStringLiteral("backups")), QStringLiteral("no-viber")));
        QCOMPARE(none.progress->errors(), QStringList{QStringLiteral("Found no Viber data in your iTunes Backup.")});
        QVERIFY(!none.job->hasData());

        // The app is there, its store is not: a quiet success without data,
        // also when the folder held a store the last time it was loaded (iTunes
        // updates a backup in place).
        QVERIFY(load(backup(QStringLiteral("no-store"))).job->hasData());
        BackupFixture empty;
        empty.addFolders(QStringLiteral("AppDomain-com.viber"), QStringLiteral("Documents"));
        empty.addFile(QStringLiteral("AppDomain-com.viber"), QStringLiteral("Documents/Other.data"), "x");
        const Loaded noStore = load(empty.write(path(QStringLiteral("backups")), QStringLiteral("no-store")));
        QCOMPARE(noStore.progress->errors(), QStringList());
        QCOMPARE(noStore.progress->successes(), QStringList{QString()});
        QVERIFY(!noStore.job->hasData());
    }

    void craftedRecordsNeverLeaveTheCache()
    {
        // Folder records for ".." let a file sit at the key a name from the
        // store would look up.
        BackupFixture b;
        const QString domain = QStringLiteral("AppDomain-com.viber");
        b.addContainer(m_container, domain);
        b.addFolder(domain, QStringLiteral("Documents/Attachments/.."));
        b.addFolder(domain, QStringLiteral("Documents/Attachments/../.."));
        b.addFile(domain, QStringLiteral("Documents/Attachments/../../escape.jpg"), "escaped");
        b.addFolder(domain, QStringLiteral("Documents/ViberIcons/.."));
        b.addFile(domain, QStringLiteral("Documents/ViberIcons/../x.jpg"), "escaped");
        const Loaded l = load(b.write(path(QStringLiteral("backups")), QStringLiteral("crafted")), {},
                              path(QStringLiteral("crafted-target/inner")));
        QCOMPARE(l.progress->errors(), QStringList());
        for (const QString& f : filesBelow(path(QString())))
            QVERIFY2(!f.endsWith(QStringLiteral("escape.jpg")), qPrintable(f));
        QVERIFY(!QFileInfo::exists(path(QStringLiteral("crafted-target/escape.jpg"))));
        QVERIFY(!QFileInfo::exists(path(QStringLiteral("crafted-target/inner/escape.jpg"))));
    }
};

QTEST_GUILESS_MAIN(TestLoadFromITunes)
#include "test_load_from_itunes.moc"
