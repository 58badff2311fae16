#include "fixtures/BackupFixture.h"
#include "itunes/MBFileArchive.h"
#include "plist/KeyedArchive.h"
#include "support/TestEnv.h"

#include <QDateTime>
#include <QTest>

#include <plist/plist.h>

#include <stdexcept>

namespace {
// An archive of the given objects with $top.root = UID(root).
QByteArray archive(const QList<plist_t>& objects, quint64 root = 1)
{
    plist_t list = plist_new_array();
    for (plist_t o : objects)
        plist_array_append_item(list, o);
    plist_t top = plist_new_dict();
    plist_dict_set_item(top, "root", plist_new_uid(root));
    plist_t a = plist_new_dict();
    plist_dict_set_item(a, "$objects", list);
    plist_dict_set_item(a, "$top", top);
    char* out = nullptr;
    uint32_t len = 0;
    plist_to_bin(a, &out, &len);
    QByteArray bytes(out, qsizetype(len));
    plist_to_bin_free(out);
    plist_free(a);
    return bytes;
}

plist_t dictOf(std::initializer_list<std::pair<const char*, plist_t>> items)
{
    plist_t d = plist_new_dict();
    for (const auto& [k, v] : items)
        plist_dict_set_item(d, k, v);
    return d;
}

plist_t arrayOf(std::initializer_list<plist_t> items)
{
    plist_t a = plist_new_array();
    for (plist_t v : items)
        plist_array_append_item(a, v);
    return a;
}
} // namespace

class TestKeyedArchive : public QObject
{
    Q_OBJECT

private slots:
    void resolvesUidsAnywhere()
    {
        // UIDs in a dictionary, in an array, to a UID-holding object, and to
        // $null; plain values of every kind.
        const QByteArray bytes = archive({
            plist_new_string("$null"),
            dictOf({{"name", plist_new_uid(2)},
                    {"list", arrayOf({plist_new_uid(3), plist_new_uint(7), plist_new_uid(0)})},
                    {"nothing", plist_new_uid(0)},
                    {"neg", plist_new_uint(uint64_t(-5))},
                    {"real", plist_new_real(1.5)},
                    {"flag", plist_new_bool(1)},
                    {"when", plist_new_date(10, 0)}}),
            plist_new_string("n\xc3\xa4me"),
            dictOf({{"NS.data", plist_new_data("\x01\x02", 2)}, {"inner", plist_new_uid(2)}}),
        });
        const QVariantMap root = g_decodeKeyedArchive(bytes).toMap();
        QCOMPARE(root.value(u"name"_qs).toString(), QString::fromUtf8("n\xc3\xa4me"));
        const QVariantList list = root.value(u"list"_qs).toList();
        QCOMPARE(list.size(), 3);
        QCOMPARE(list.at(0).toMap().value(u"NS.data"_qs).toByteArray(), QByteArray("\x01\x02", 2));
        QCOMPARE(list.at(0).toMap().value(u"inner"_qs).toString(), QString::fromUtf8("n\xc3\xa4me"));
        QCOMPARE(list.at(1).toLongLong(), 7);
        QVERIFY(!list.at(2).isValid());
        QVERIFY(root.contains(u"nothing"_qs) && !root.value(u"nothing"_qs).isValid());
        QCOMPARE(root.value(u"neg"_qs).toLongLong(), -5);
        QCOMPARE(root.value(u"real"_qs).toDouble(), 1.5);
        QCOMPARE(root.value(u"flag"_qs).toBool(), true);
        QCOMPARE(root.value(u"when"_qs).toDateTime(), QDateTime::fromSecsSinceEpoch(978307210, Qt::UTC));
    }

    void hostileArchives()
    {
        // Out of range, at the root and deep inside.
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, g_decodeKeyedArchive(archive({plist_new_string("$null")}, 1)));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 g_decodeKeyedArchive(archive({plist_new_string("$null"),
                                                               arrayOf({dictOf({{"x", plist_new_uid(99)}})})})));
        // An object that contains itself.
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 g_decodeKeyedArchive(archive({plist_new_string("$null"),
                                                               dictOf({{"self", plist_new_uid(1)}})})));
        // Shared objects: 25 levels of two references each would expand to
        // 2^25 values if decoded naively.
        QList<plist_t> objects{plist_new_string("$null")};
        for (int i = 1; i <= 25; ++i)
            objects << arrayOf({plist_new_uid(quint64(i + 1)), plist_new_uid(quint64(i + 1))});
        objects << plist_new_string("leaf");
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, g_decodeKeyedArchive(archive(objects)));

        // Not archives at all.
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, g_decodeKeyedArchive(QByteArray()));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, g_decodeKeyedArchive("bplist00garbage"));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, g_decodeKeyedArchive("<plist><dict/></plist>"));
    }

    void largeDataReachedAgainAndAgain()
    {
        // A 1 MiB blob that 8 UIDs reach: decoded once and shared, not
        // copied at each.
        const QByteArray blob(1024 * 1024, 'b');
        QList<plist_t> objects{plist_new_string("$null"), plist_new_array(),
                               plist_new_data(blob.constData(), uint64_t(blob.size()))};
        for (int i = 0; i < 8; ++i)
            plist_array_append_item(objects[1], plist_new_uid(2));
        const QVariantList few = g_decodeKeyedArchive(archive(objects)).toList();
        QCOMPARE(few.size(), 8);
        QCOMPARE(few.at(0).toByteArray(), blob);
        QCOMPARE(few.at(7).toByteArray().constData(), few.at(0).toByteArray().constData());

        // The same blob reached 100 times (100 MiB of plain tree, far below
        // the value cap; an index row of 300 KB reached gigabytes this way):
        // refused.
        QList<plist_t> many{plist_new_string("$null"), plist_new_array(),
                            plist_new_data(blob.constData(), uint64_t(blob.size()))};
        for (int i = 0; i < 100; ++i)
            plist_array_append_item(many[1], plist_new_uid(2));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, g_decodeKeyedArchive(archive(many)));
        // And a string likewise.
        const QByteArray text(1024 * 1024, 's');
        QList<plist_t> strings{plist_new_string("$null"), plist_new_array(), plist_new_string(text.constData())};
        for (int i = 0; i < 100; ++i)
            plist_array_append_item(strings[1], plist_new_uid(2));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, g_decodeKeyedArchive(archive(strings)));
    }

    void nulInsideAStringIsRefusedNotAnAbort()
    {
        // Found by fuzz_mbfile_archive: an MBFile record whose dictionary key
        // holds a NUL made libplist abort on an assertion as the key was read
        // (the whole program ended on one crafted Manifest.db row).
        g_requireTestEnvironment();
        const QByteArray crafted = g_readFile(g_testSourceDir() + QStringLiteral("/tests/plist/data/nul-in-key.bplist"));
        QVERIFY(crafted.startsWith("bplist00"));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, g_decodeKeyedArchive(crafted));
        _MBDBItem item;
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, g_readMBFileArchive(crafted, item));
        // The same in XML, written as a character reference.
        QVERIFY_THROWS_EXCEPTION(
            std::runtime_error,
            g_decodeKeyedArchive("<plist><dict><key>$top</key><dict><key>root</key><dict><key>a&#0;b</key><string>x</string>"
                                 "</dict></dict><key>$objects</key><array/></dict></plist>"));
    }

    void mbFileBothWays()
    {
        // As the fixture (Foundation's object order) writes it.
        const QByteArray key = QByteArray::fromHex("03000000") + QByteArray(40, 'w');
        _MBDBItem item;
        g_readMBFileArchive(BackupFixture::mbFileArchive(u"Documents/a.txt"_qs, 1234, 3, 0x81A4, 1600000000, key,
                                                         QString(), (quint64(7) << 32) | 9),
                            item);
        QCOMPARE(item.size, quint64(1234));
        QCOMPARE(item.protectionClass, quint8(3));
        QCOMPARE(item.mode, quint16(0x81A4));
        QCOMPARE(item.lastModified, quint32(1600000000));
        QCOMPARE(item.created, quint32(1600000000));
        QCOMPARE(item.userId, quint32(501));
        QCOMPARE(item.inodeHigh, quint32(7));
        QCOMPARE(item.inodeLow, quint32(9));
        QCOMPARE(item.encryptionKey.value, key);
        QVERIFY(!item.linkTarget.isValid());

        _MBDBItem link;
        g_readMBFileArchive(BackupFixture::mbFileArchive(u"l"_qs, 0, 4, 0xA1ED, 1, {}, u"../target"_qs, 1), link);
        QCOMPARE(link.linkTarget.toString(), u"../target"_qs);
        QVERIFY(!link.encryptionKey.isValid());

        // What the application writes reads back the same.
        item.path.setVal("Documents/a.txt");
        _MBDBItem again;
        g_readMBFileArchive(g_writeMBFileArchive(item), again);
        QCOMPARE(again.size, item.size);
        QCOMPARE(again.encryptionKey.value, key);
        QCOMPARE(again.inodeHigh, item.inodeHigh);
        QCOMPARE(again.mode, item.mode);
        QCOMPARE(g_decodeKeyedArchive(g_writeMBFileArchive(item)).toMap().value(u"RelativePath"_qs).toString(),
                 u"Documents/a.txt"_qs);

        // No size, a negative one, or no MBFile at all: damaged.
        _MBDBItem bad;
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 g_readMBFileArchive(archive({plist_new_string("$null"), dictOf({})}), bad));
        QVERIFY_THROWS_EXCEPTION(
            std::runtime_error,
            g_readMBFileArchive(archive({plist_new_string("$null"), dictOf({{"Size", plist_new_uint(uint64_t(-1))}})}),
                                bad));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 g_readMBFileArchive(archive({plist_new_string("$null"), plist_new_string("x")}), bad));
    }
};

QTEST_GUILESS_MAIN(TestKeyedArchive)
#include "test_keyed_archive.moc"
