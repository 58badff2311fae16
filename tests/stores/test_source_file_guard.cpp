// Files a source names stay only when they resolve inside the source's own
// folders. The guard reads each folder once instead of asking about every
// path, so links and absent files are mixed here with many absent names.
#include "stores/SourceFileGuard.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestSourceFileGuard : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { g_requireTestEnvironment(); }

    void onlyFilesInsideTheRootsStay()
    {
        QTemporaryDir root, outside;
        const QDir r(root.path());
        QVERIFY(r.mkpath(QStringLiteral("Documents/Attachments")));
        const QString secret = outside.filePath(QStringLiteral("secret"));
        QVERIFY(g_writeFile(secret, "not part of any history"));
        const QString dir = r.absoluteFilePath(QStringLiteral("Documents/Attachments")) + u'/';
        QVERIFY(g_writeFile(dir + QStringLiteral("own.jpg"), "picture"));
        QVERIFY(QFile::link(secret, dir + QStringLiteral("leak.jpg")));
        QVERIFY(QFile::link(outside.filePath(QStringLiteral("missing")), dir + QStringLiteral("broken.jpg")));
        QVERIFY(QFile::link(dir + QStringLiteral("own.jpg"), dir + QStringLiteral("inner.jpg")));
        QVERIFY(QFile::link(outside.path(), r.absoluteFilePath(QStringLiteral("Documents/Linked"))));
        QVERIFY(QFile::link(r.absoluteFilePath(QStringLiteral("Documents/Attachments")),
                            r.absoluteFilePath(QStringLiteral("Documents/Inner"))));

        ViberData data;
        __ViberData* d = data.p();
        auto atta = [&](qint64 id, const QString& file, const QString& thumb = QString()) {
            auto* a = new _ViberAtta;
            a->id = id;
            a->filePath = file;
            a->thumbPath = thumb;
            d->attas.insert(id, a);
            return a;
        };
        _ViberAtta* own = atta(1, dir + QStringLiteral("own.jpg"), dir + QStringLiteral("inner.jpg"));
        _ViberAtta* leak = atta(2, dir + QStringLiteral("leak.jpg"), dir + QStringLiteral("broken.jpg"));
        _ViberAtta* throughFolder =
            atta(3, r.absoluteFilePath(QStringLiteral("Documents/Linked/secret")), dir + QStringLiteral("absent.jpg"));
        _ViberAtta* noFolder = atta(4, r.absoluteFilePath(QStringLiteral("Documents/Nothing/x.jpg")));
        const QString viaInnerLink = r.absoluteFilePath(QStringLiteral("Documents/Inner/own.jpg"));
        const QString viaParent = dir + QStringLiteral("../Attachments/own.jpg");
        _ViberAtta* inner = atta(5, viaInnerLink, viaParent);
        for (int i = 0; i < 300; ++i)
            atta(100 + i, dir + QStringLiteral("absent%1.jpg").arg(i));
        auto* person = new _ViberPerson;
        person->id = 1;
        person->picturePath = dir + QStringLiteral("leak.jpg");
        d->persons.insert(1, person);

        g_dropFilesOutside(data, {root.path()});

        QCOMPARE(own->filePath, dir + QStringLiteral("own.jpg"));
        QCOMPARE(own->thumbPath, dir + QStringLiteral("inner.jpg")); // a link that stays inside
        QCOMPARE(leak->filePath, QString());
        QCOMPARE(leak->thumbPath, QString()); // a broken link leads nowhere known
        QCOMPARE(throughFolder->filePath, QString()); // a folder link out of the root
        QCOMPARE(throughFolder->thumbPath, dir + QStringLiteral("absent.jpg"));
        QCOMPARE(noFolder->filePath, r.absoluteFilePath(QStringLiteral("Documents/Nothing/x.jpg")));
        QCOMPARE(inner->filePath, viaInnerLink); // a folder link that stays inside
        QCOMPARE(inner->thumbPath, viaParent);
        QCOMPARE(person->picturePath, QString());
        for (int i = 0; i < 300; ++i)
            QCOMPARE(d->attas.value(100 + i)->filePath, dir + QStringLiteral("absent%1.jpg").arg(i));
    }
};

QTEST_GUILESS_MAIN(TestSourceFileGuard)
#include "test_source_file_guard.moc"
