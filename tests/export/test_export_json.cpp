#include "support/ExportTestData.h"
#include "export/ExportMessagesJson.h"
#include "export/ExportMessagesThread.h"
#include "export/JsonText.h"
#include "support/RecordingProgress.h"
#include "support/TestEnv.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <ctime>

namespace {
QJsonDocument exportJson(const QList<_ViberMsg*>& msgs, const QString& path, bool copyAttachments,
                         QStringList* successes = nullptr)
{
    RecordingProgress p;
    ExportMessagesThread job(msgs, path, ExportFormat::Json, p);
    job.options().jsonSource = {QStringLiteral("container"), QStringLiteral("/some/where")};
    job.options().copyAttachments = copyAttachments;
    job.run();
    if (successes)
        *successes = p.successes();
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(g_readFile(path), &error);
    if (error.error != QJsonParseError::NoError)
        qWarning() << "JSON error" << error.errorString() << "at" << error.offset;
    return doc;
}

// The check other programs would do first: Python's own parser accepts it.
bool pythonAccepts(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("python3"), {QStringLiteral("-m"), QStringLiteral("json.tool"), path});
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QJsonObject person(qint64 key, const char* name, const char* number)
{
    return {{QStringLiteral("key"), key}, {QStringLiteral("name"), QString::fromUtf8(name)},
            {QStringLiteral("number"), QString::fromLatin1(number)}};
}
} // namespace

class TestExportJson : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { g_requireTestEnvironment(); }
    void cleanup()
    {
        qputenv("TZ", "UTC");
        tzset();
    }

    // Every field read back equals the record it came from.
    void everyFieldRoundTrips()
    {
        qputenv("TZ", "Europe/Berlin");
        tzset();
        QTemporaryDir dir;
        ExportTestData t;
        t.fill(dir.path());
        _ViberMsg* loc = t.msg(t.single, MSG_TYPE_LOCATION, ExportTestData::kDay + 200.25, QString(),
                               MSG_STATE_RECEIVED, t.anna);
        loc->setLocation(52.520008, -13.404954, QStringLiteral("Alexanderplatz \"1\"\tBerlin"));
        t.single->msgs.last()->text = QStringLiteral("ctl \x01 and emoji \U0001F600");
        const QString out = dir.filePath(QStringLiteral("all.json"));
        QStringList successes;
        const QJsonDocument doc = exportJson(t.data.messages(), out, true, &successes);
        QVERIFY(pythonAccepts(out));
        QCOMPARE(successes, QStringList{QStringLiteral("Successfully exported 11 messages.")});
        const QJsonObject root = doc.object();
        QCOMPARE(root.value(QStringLiteral("format")).toString(), QStringLiteral("ferrowick-messages"));
        const QJsonObject source = root.value(QStringLiteral("source")).toObject();
        QCOMPARE(source.value(QStringLiteral("kind")).toString(), QStringLiteral("container"));
        QCOMPARE(source.value(QStringLiteral("name")).toString(), QStringLiteral("/some/where"));
        QCOMPARE(source.value(QStringLiteral("timeZone")).toString(), QStringLiteral("Europe/Berlin"));

        const QJsonArray chats = root.value(QStringLiteral("chats")).toArray();
        QCOMPARE(chats.size(), 2);
        const QJsonObject group = chats.at(1).toObject();
        QCOMPARE(group.value(QStringLiteral("key")).toInteger(), t.group->id);
        QCOMPARE(group.value(QStringLiteral("name")).toString(), QStringLiteral("Hikers"));
        QCOMPARE(group.value(QStringLiteral("groupId")).toString(), QStringLiteral("g1"));
        QCOMPARE(group.value(QStringLiteral("display")).toString(), t.group->fullDisplay());
        QCOMPARE(group.value(QStringLiteral("members")).toArray(),
                 (QJsonArray{person(t.anna->id, "Anna", "+4911"), person(t.bob->id, "Bob \"B\", Jr.", "+4922")}));

        const QJsonArray msgs = root.value(QStringLiteral("messages")).toArray();
        QCOMPARE(msgs.size(), 11); // the orphan without a chat is left out
        QHash<qint64, QJsonObject> byKey;
        for (const QJsonValue& v : msgs)
            byKey.insert(v.toObject().value(QStringLiteral("key")).toInteger(), v.toObject());
        for (const _ViberMsg* m : t.data.messages()) {
            if (!m->chat)
                continue;
            const QJsonObject o = byKey.value(m->id);
            QCOMPARE(o.value(QStringLiteral("chat")).toInteger(), m->chat->id);
            QCOMPARE(o.value(QStringLiteral("kind")).toString(), ExportMessagesJson::kindName(m->type));
            QCOMPARE(o.value(QStringLiteral("direction")).toString(),
                     m->isFromMe() ? QStringLiteral("outgoing") : QStringLiteral("incoming"));
            const QDateTime utc = QDateTime::fromString(o.value(QStringLiteral("date")).toString(), Qt::ISODateWithMs);
            const QDateTime local =
                QDateTime::fromString(o.value(QStringLiteral("localDate")).toString(), Qt::ISODateWithMs);
            QCOMPARE(utc.offsetFromUtc(), 0);
            QCOMPARE(utc.toMSecsSinceEpoch(), qint64(std::llround((m->date + kCoreDataEpochUnix) * 1000)));
            QCOMPARE(local.toMSecsSinceEpoch(), utc.toMSecsSinceEpoch());
            QCOMPARE(local.offsetFromUtc(), 3600); // January in Berlin
            QCOMPARE(o.value(QStringLiteral("text")).toString(),
                     m->type == MSG_TYPE_SYSTEM ? m->systemMsgDisplay() : m->text);
            QCOMPARE(o.value(QStringLiteral("attachment")).isNull(), m->atta == nullptr);
            QCOMPARE(o.value(QStringLiteral("call")).isNull(), m->call == nullptr);
            QCOMPARE(o.value(QStringLiteral("location")).isNull(), m->type != MSG_TYPE_LOCATION);
        }
        // Who sent it: the named person, the one member of a one-to-one chat, or the owner (null).
        QCOMPARE(byKey.value(t.single->msgs[1]->id).value(QStringLiteral("sender")).toObject(),
                 person(t.anna->id, "Anna", "+4911"));
        QVERIFY(byKey.value(t.single->msgs[0]->id).value(QStringLiteral("sender")).isNull());
        QCOMPARE(byKey.value(t.group->msgs[1]->id).value(QStringLiteral("sender")).toObject(),
                 person(t.bob->id, "Bob \"B\", Jr.", "+4922"));

        const QJsonObject location = byKey.value(loc->id).value(QStringLiteral("location")).toObject();
        QCOMPARE(location.value(QStringLiteral("latitude")).toDouble(), 52.520008);
        QCOMPARE(location.value(QStringLiteral("longitude")).toDouble(), -13.404954);
        QCOMPARE(location.value(QStringLiteral("address")).toString(), loc->address());
        QCOMPARE(byKey.value(loc->id).value(QStringLiteral("date")).toString(),
                 QStringLiteral("2024-01-15T10:03:20.250+00:00"));

        const QJsonObject call = byKey.value(t.group->msgs[3]->id).value(QStringLiteral("call")).toObject();
        QCOMPARE(call, (QJsonObject{{QStringLiteral("kind"), QStringLiteral("outgoing")},
                                    {QStringLiteral("video"), false},
                                    {QStringLiteral("duration"), 125},
                                    {QStringLiteral("person"), person(t.bob->id, "Bob \"B\", Jr.", "+4922")}}));

        // Attachments are copied beside the document and named relative to it.
        const QJsonObject photo = byKey.value(t.single->msgs[2]->id).value(QStringLiteral("attachment")).toObject();
        QCOMPARE(photo.value(QStringLiteral("fileName")).toString(), QStringLiteral("photo.jpg"));
        QCOMPARE(photo.value(QStringLiteral("kind")).toString(), QStringLiteral("image"));
        QCOMPARE(photo.value(QStringLiteral("path")).toString(), QStringLiteral("all-files/photo.jpg"));
        QCOMPARE(g_readFile(dir.filePath(QStringLiteral("all-files/photo.jpg"))),
                 g_readFile(dir.filePath(QStringLiteral("photo.jpg"))));
        const QJsonObject voice = byKey.value(t.single->msgs[3]->id).value(QStringLiteral("attachment")).toObject();
        QCOMPARE(voice.value(QStringLiteral("duration")).toDouble(), 75.4);
        QCOMPARE(voice.value(QStringLiteral("path")).toString(), QStringLiteral("all-files/voice.m4a"));
    }

    void withoutCopyingAttachmentsHaveNoPathAndNoFolder()
    {
        QTemporaryDir dir;
        ExportTestData t;
        t.fill(dir.path());
        const QString out = dir.filePath(QStringLiteral("plain.json"));
        const QJsonDocument doc = exportJson(t.data.messages(), out, false);
        const QJsonArray msgs = doc.object().value(QStringLiteral("messages")).toArray();
        int attachments = 0;
        for (const QJsonValue& v : msgs) {
            const QJsonValue a = v.toObject().value(QStringLiteral("attachment"));
            if (a.isObject()) {
                ++attachments;
                QVERIFY(a.toObject().value(QStringLiteral("path")).isNull());
            }
        }
        QCOMPARE(attachments, 2);
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("plain-files"))));
    }

    // Text and numbers from a hostile store must not break the document.
    void hostileValuesStayValidJson()
    {
        QTemporaryDir dir;
        ExportTestData t;
        t.anna = t.person(QStringLiteral("\"};]\\"), QStringLiteral("\x7f"));
        t.single = t.chat(QStringLiteral("</script>\n"), QString(), {t.anna});
        QString lone;
        lone += QChar(0xD800);
        lone += QStringLiteral("x");
        lone += QChar(0xDC00);
        t.msg(t.single, MSG_TYPE_TEXT, 0, lone + QStringLiteral("\x1f\b\f\r"), MSG_STATE_SENT);
        _ViberMsg* where = t.msg(t.single, MSG_TYPE_LOCATION, qInf(), QString(), MSG_STATE_RECEIVED, t.anna);
        where->setLocation(std::nan(""), qInf(), QString());
        const QString out = dir.filePath(QStringLiteral("hostile.json"));
        const QJsonDocument doc = exportJson(t.data.messages(), out, false);
        QVERIFY(pythonAccepts(out));
        const QJsonArray msgs = doc.object().value(QStringLiteral("messages")).toArray();
        QCOMPARE(msgs.size(), 2);
        QCOMPARE(msgs[0].toObject().value(QStringLiteral("text")).toString(),
                 QStringLiteral("\uFFFDx\uFFFD\x1f\b\f\r"));
        const QJsonObject location = msgs[1].toObject().value(QStringLiteral("location")).toObject();
        QVERIFY(location.value(QStringLiteral("latitude")).isNull());
        QVERIFY(location.value(QStringLiteral("longitude")).isNull());
        QCOMPARE(doc.object().value(QStringLiteral("chats")).toArray().at(0).toObject().value(QStringLiteral("name")),
                 QJsonValue(QStringLiteral("</script>\n")));
    }

    void isoDatesAtTheEdges_data()
    {
        QTest::addColumn<qint64>("msec");
        QTest::addColumn<int>("offset");
        QTest::addColumn<QString>("iso");
        QTest::newRow("epoch") << qint64(0) << 0 << "1970-01-01T00:00:00+00:00";
        QTest::newRow("leap day, half-hour zone") << qint64(951782400123) << 19800 << "2000-02-29T05:30:00.123+05:30";
        QTest::newRow("west of UTC crosses the day") << qint64(1704070800000) << -36000
                                                     << "2023-12-31T15:00:00-10:00";
        QTest::newRow("end of unsigned 32-bit time") << qint64(4294967295000) << 0 << "2106-02-07T06:28:15+00:00";
    }
    void isoDatesAtTheEdges()
    {
        QFETCH(qint64, msec);
        QFETCH(int, offset);
        QFETCH(QString, iso);
        QString out;
        g_appendIsoDate(out, msec, offset);
        QCOMPARE(out, iso);
        QCOMPARE(QDateTime::fromString(out, Qt::ISODateWithMs).toMSecsSinceEpoch(), msec);
    }
};

QTEST_GUILESS_MAIN(TestExportJson)
#include "test_export_json.moc"
