#include "device/IOSAssetDb.h"
#include "fixtures/BackupFixture.h"
#include "support/TestEnv.h"

#include <QTemporaryDir>
#include <QTest>

#include <stdexcept>

class TestIOSAssetDb : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { g_requireTestEnvironment(); }

    void pathsOfPicturesAndVideos()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Photos.sqlite"));
        auto asset = [](const char* uuid, const char* folder, const char* file, int kind, double date) {
            PhotoAssetFixture a;
            a.uuid = QLatin1String(uuid);
            a.directory = QLatin1String(folder);
            a.fileName = QLatin1String(file);
            a.kind = kind;
            a.modificationDate = date;
            return a;
        };
        BackupFixture::writePhotosDb(path, {asset("PIC", "DCIM/100APPLE", "IMG_0001.JPG", 0, 0),
                                            asset("LATE", "DCIM/101apple", "IMG_0100.JPG", 0, 500000012.75),
                                            asset("VID", "DCIM/100APPLE", "IMG_0002.MOV", 1, 0),
                                            asset("ODD", "DCIM/Camera", "x.jpg", 0, 0),
                                            asset("KIND", "DCIM/100APPLE", "y.jpg", 2, 0)});
        IOSAssetDb db(path);
        QVERIFY(db.isAssetExistsThrow(QStringLiteral("PIC")));
        QVERIFY(!db.isAssetExistsThrow(QStringLiteral("NONE")));
        QCOMPARE(db.assetPath(QStringLiteral("PIC")), QStringLiteral("/DCIM/100APPLE/IMG_0001.JPG"));
        QCOMPARE(db.assetPath(QStringLiteral("NONE")), QString());

        QCOMPARE(db.assetThumbnailPath(QStringLiteral("PIC")), QStringLiteral("/DCIM/.THMB/00/100APPLE___IMG_0001.JPG.978307200"));
        // 500000012 + 978307200 = 1478307212: the last two digits name the folder;
        // the fraction of the time is dropped.
        QCOMPARE(db.assetThumbnailPath(QStringLiteral("LATE")),
                 QStringLiteral("/DCIM/.THMB/12/101apple___IMG_0100.JPG.1478307212"));
        QCOMPARE(db.assetThumbnailPath(QStringLiteral("VID")), QStringLiteral("/PhotoData/Metadata/DCIM/100APPLE/IMG_0002.THM"));
        QCOMPARE(db.assetThumbnailPath(QStringLiteral("ODD")), QString());
        QCOMPARE(db.assetThumbnailPath(QStringLiteral("KIND")), QString());
        QCOMPARE(db.assetThumbnailPath(QStringLiteral("NONE")), QString());
    }

    void unreadableIndexRaises()
    {
        QTemporaryDir dir;
        IOSAssetDb missing(dir.filePath(QStringLiteral("Photos.sqlite")));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, missing.assetPath(QStringLiteral("X")));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("Photos.sqlite")))); // never created

        const QString junk = dir.filePath(QStringLiteral("junk.sqlite"));
        QFile f(junk);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'j'));
        f.close();
        IOSAssetDb bad(junk);
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, bad.isAssetExistsThrow(QStringLiteral("X")));
    }
};

QTEST_GUILESS_MAIN(TestIOSAssetDb)
#include "test_ios_asset_db.moc"
