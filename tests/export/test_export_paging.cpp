#include "support/ExportTestData.h"
#include "export/ExportMessagesThread.h"
#include "export/HtmlChatPages.h"
#include "support/RecordingProgress.h"
#include "support/TestEnv.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {
constexpr int kPage = 4;

// Targets of the links in a page's first navigation bar, by label.
QHash<QString, QString> navLinks(const QString& html)
{
    QHash<QString, QString> links;
    const qsizetype start = html.indexOf(QStringLiteral("<div class=\"pages\">"));
    const qsizetype end = html.indexOf(QStringLiteral("</div>"), start);
    if (start < 0 || end < 0)
        return links;
    static const QRegularExpression a(QStringLiteral("<a href=\"([^\"]*)\">([^<]*)</a>"));
    auto it = a.globalMatch(html.mid(start, end - start));
    while (it.hasNext()) {
        const auto m = it.next();
        links.insert(m.captured(2).section(u' ', -1) == QLatin1String("&raquo;")
                         ? QStringLiteral("last")
                         : m.captured(2).contains(QLatin1String("First"))  ? QStringLiteral("first")
                         : m.captured(2).contains(QLatin1String("Previous")) ? QStringLiteral("previous")
                         : m.captured(2).contains(QLatin1String("Next"))   ? QStringLiteral("next")
                                                                            : QStringLiteral("index"),
                     m.captured(1));
    }
    return links;
}

QStringList messageTexts(const QString& html)
{
    static const QRegularExpression text(QStringLiteral("msg-(\\d+)-(\\d+)"));
    QStringList found;
    auto it = text.globalMatch(html);
    while (it.hasNext())
        found << it.next().captured(0);
    return found;
}
} // namespace

class TestExportPaging : public QObject
{
    Q_OBJECT

    QTemporaryDir m_resources; // empty: the pages' pictures do not matter here

private slots:
    void initTestCase()
    {
        g_requireTestEnvironment();
        qputenv("FERROWICK_BUBBLE_DIR", m_resources.path().toUtf8());
    }

    // Chats one short of a page, exactly a page, one over and two pages and one.
    void pagesLinksAndIndexAroundThePageSize()
    {
        QTemporaryDir dir;
        ExportTestData t;
        const int sizes[] = {kPage - 1, kPage, kPage + 1, 2 * kPage + 1};
        QList<_ViberChat*> chats;
        for (int c = 0; c < 4; ++c) {
            _ViberPerson* p = t.person(QStringLiteral("P%1").arg(c), QStringLiteral("+%1").arg(c));
            chats << t.chat(QString(), QString(), {p});
            for (int i = 0; i < sizes[c]; ++i)
                t.msg(chats[c], MSG_TYPE_TEXT, ExportTestData::kDay + 3600.0 * i, QStringLiteral("msg-%1-%2").arg(c).arg(i),
                      i % 2 ? MSG_STATE_SENT : MSG_STATE_RECEIVED, p);
        }
        const QString folder = dir.filePath(QStringLiteral("out-html"));
        RecordingProgress progress;
        ExportMessagesThread job(t.data.messages(), folder, ExportFormat::Html, progress);
        job.options().pageSize = kPage;
        job.run();
        QVERIFY2(progress.errors().isEmpty(), qPrintable(progress.errors().join(u';')));

        const QDir out(folder);
        QCOMPARE(out.entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name),
                 (QStringList{QStringLiteral("P0(+0).html"), QStringLiteral("P1(+1).html"),
                              QStringLiteral("P2(+2)-page2.html"), QStringLiteral("P2(+2).html"),
                              QStringLiteral("P3(+3)-page2.html"), QStringLiteral("P3(+3)-page3.html"),
                              QStringLiteral("P3(+3).html"), QStringLiteral("index.html")}));
        auto page = [&](const char* name) { return g_readText(out.filePath(QString::fromUtf8(name))); };

        // One page: no bar at all, as before pages existed.
        for (const char* single : {"P0(+0).html", "P1(+1).html"})
            QVERIFY(!page(single).contains(QStringLiteral("class=\"pages\"")));
        QCOMPARE(messageTexts(page("P1(+1).html")).size(), kPage);

        QCOMPARE(messageTexts(page("P2(+2).html")).size(), kPage);
        QCOMPARE(messageTexts(page("P2(+2)-page2.html")), QStringList{QStringLiteral("msg-2-4")});
        using Links = QHash<QString, QString>;
        QCOMPARE(navLinks(page("P2(+2).html")), (Links{{QStringLiteral("next"), QStringLiteral("P2%28%2B2%29-page2.html")},
                                                       {QStringLiteral("last"), QStringLiteral("P2%28%2B2%29-page2.html")},
                                                       {QStringLiteral("index"), QStringLiteral("index.html")}}));
        QCOMPARE(navLinks(page("P2(+2)-page2.html")),
                 (Links{{QStringLiteral("first"), QStringLiteral("P2%28%2B2%29.html")},
                        {QStringLiteral("previous"), QStringLiteral("P2%28%2B2%29.html")},
                        {QStringLiteral("index"), QStringLiteral("index.html")}}));
        const QString middle = page("P3(+3)-page2.html");
        QCOMPARE(navLinks(middle), (Links{{QStringLiteral("first"), QStringLiteral("P3%28%2B3%29.html")},
                                          {QStringLiteral("previous"), QStringLiteral("P3%28%2B3%29.html")},
                                          {QStringLiteral("next"), QStringLiteral("P3%28%2B3%29-page3.html")},
                                          {QStringLiteral("last"), QStringLiteral("P3%28%2B3%29-page3.html")},
                                          {QStringLiteral("index"), QStringLiteral("index.html")}}));
        QVERIFY(middle.contains(QStringLiteral("Page 2 of 3")));
        // Every message once, in order, across the pages.
        QCOMPARE(messageTexts(page("P3(+3).html") + middle + page("P3(+3)-page3.html")).size(), 2 * kPage + 1);
        QCOMPARE(messageTexts(middle).first(), QStringLiteral("msg-3-4"));

        const QString index = page("index.html");
        for (int c = 0; c < 4; ++c) {
            const QString row = QStringLiteral("P%1(+%1)</a></td><td>%2</td><td>%3</td><td>2024-01-15 10:00</td><td>%4</td>")
                                    .arg(c)
                                    .arg(sizes[c])
                                    .arg(HtmlChatPages::pageCount(sizes[c], kPage))
                                    .arg(QDateTime::fromSecsSinceEpoch(qint64(ExportTestData::kDay) + kCoreDataEpochUnix +
                                                                       3600 * (sizes[c] - 1), Qt::UTC)
                                             .toString(QStringLiteral("yyyy-MM-dd hh:mm")));
            QVERIFY2(index.contains(row), qPrintable(row));
        }
    }

    // A chat's own name may look like a page name or hold "%1"; nothing collides.
    void namesFromDataNeverCollide()
    {
        QTemporaryDir dir;
        ExportTestData t;
        _ViberPerson* odd = t.person(QStringLiteral("50%1"), QStringLiteral("+9"));
        _ViberChat* a = t.chat(QString(), QString(), {odd});
        _ViberChat* b = t.chat(QString(), QString(), {odd});
        _ViberPerson* fake = t.person(QStringLiteral("Z"), QStringLiteral("+1"));
        _ViberChat* pageLike = t.chat(QString(), QString(), {t.person(QStringLiteral("Z(+1)-page2"), QString())});
        _ViberChat* z = t.chat(QString(), QString(), {fake});
        _ViberChat* index = t.chat(QString(), QString(), {t.person(QStringLiteral("index"), QString())});
        for (_ViberChat* c : {a, b, pageLike, index})
            t.msg(c, MSG_TYPE_TEXT, 0, QStringLiteral("x"), MSG_STATE_SENT);
        for (int i = 0; i < kPage + 1; ++i)
            t.msg(z, MSG_TYPE_TEXT, i, QStringLiteral("z"), MSG_STATE_SENT);
        index->members.cbegin().value()->number.clear();

        const QString folder = dir.filePath(QStringLiteral("out-html"));
        RecordingProgress progress;
        ExportMessagesThread job(t.data.messages(), folder, ExportFormat::Html, progress);
        job.options().pageSize = kPage;
        job.run();
        QVERIFY(progress.errors().isEmpty());
        const QStringList files = QDir(folder).entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name);
        QCOMPARE(files.size(), 7);
        QVERIFY2(files.contains(QStringLiteral("50%1(+9).html")), qPrintable(files.join(u' ')));
        QVERIFY(files.contains(QStringLiteral("50%1(+9)(1).html")));
        QVERIFY(files.contains(QStringLiteral("Z(+1)-page2.html")));
        QVERIFY(files.contains(QStringLiteral("Z(+1)-page2(1).html")));
        QVERIFY(files.contains(QStringLiteral("index.html")));
        // The short chat's page is what it was; the long chat's second page took the free name.
        QVERIFY(g_readText(QDir(folder).filePath(QStringLiteral("Z(+1).html")))
                    .contains(QStringLiteral("href=\"Z%28%2B1%29-page2%281%29.html\"")));
    }
};

QTEST_GUILESS_MAIN(TestExportPaging)
#include "test_export_paging.moc"
