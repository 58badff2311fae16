#include "support/ExportTestData.h"
#include "render/BubbleHtml.h"
#include "export/ExportMessagesThread.h"
#include "shell/FileRoutines.h"
#include "support/RecordingProgress.h"
#include "support/TestEnv.h"

#include <QDirIterator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Checks that every opened element is closed in order, knowing HTML's void
// elements, and that no tag holds a stray quote or angle bracket (a value that
// broke out of its attribute). Returns an empty text when the page is sound.
QString tagProblems(const QString& html)
{
    static const QSet<QString> voidElements{QStringLiteral("img"), QStringLiteral("br"), QStringLiteral("meta"),
                                            QStringLiteral("link"), QStringLiteral("hr"), QStringLiteral("input")};
    QStringList stack;
    qsizetype pos = 0;
    while ((pos = html.indexOf(u'<', pos)) >= 0) {
        const qsizetype end = html.indexOf(u'>', pos);
        if (end < 0)
            return QStringLiteral("unclosed tag at %1").arg(pos);
        const QString tag = html.mid(pos + 1, end - pos - 1);
        pos = end + 1;
        if (tag.startsWith(u'!'))
            continue;
        if (tag.contains(u'<'))
            return QStringLiteral("'<' inside tag: ") + tag;
        // Attribute values are double-quoted: an odd count means one leaked.
        if (tag.count(u'"') % 2 != 0)
            return QStringLiteral("unbalanced quotes: ") + tag;
        static const QRegularExpression name(QStringLiteral("^/?([a-zA-Z0-9]+)"));
        const QRegularExpressionMatch m = name.match(tag);
        if (!m.hasMatch())
            return QStringLiteral("bad tag: ") + tag;
        const QString element = m.captured(1).toLower();
        if (tag.startsWith(u'/')) {
            if (stack.isEmpty() || stack.takeLast() != element)
                return QStringLiteral("mismatched close: ") + tag;
        } else if (!voidElements.contains(element) && !tag.endsWith(u'/')) {
            stack << element;
        }
    }
    return stack.isEmpty() ? QString() : QStringLiteral("left open: ") + stack.join(u',');
}

struct HtmlRun
{
    QStringList successes, errors;
};

HtmlRun runHtml(const QList<_ViberMsg*>& msgs, const QString& folder, int cancelAfter = 0)
{
    RecordingProgress p;
    p.cancelAfterUpdates(cancelAfter);
    ExportMessagesThread job(msgs, folder, ExportFormat::Html, p);
    job.run();
    return {p.successes(), p.errors()};
}
} // namespace

class TestExportHtml : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        g_requireTestEnvironment();
        qputenv("FERROWICK_BUBBLE_DIR", QByteArray(FERROWICK_TEST_BUBBLE_DIR));
    }

    void encodeEscapesAndPictures()
    {
        const QString html = g_htmlEncode(QStringLiteral("a<b>&c\n") + QString::fromUtf16(u"\U0001F604"));
        QVERIFY(html.startsWith(QStringLiteral("a&lt;b&gt;&amp;c<br/><img src=\"emoji/1F604.png\"")));
        // An emoticon whose picture is missing stays text; an unclosed one never matches.
        QCOMPARE(vbemoji_replace(QStringLiteral("(no_such_token) (smiley")), QStringLiteral("(no_such_token) (smiley"));
        QVERIFY(tagProblems(g_htmlEncode(QStringLiteral("\"><script>alert(1)</script>"))).isEmpty());
    }

    void attributesCannotBeBrokenOutOf()
    {
        _ViberMsg m;
        m.type = MSG_TYPE_IMAGE;
        m.state = MSG_STATE_RECEIVED;
        _ViberAtta a;
        a.filePath = QStringLiteral("/tmp/x\" onerror=\"alert(1).jpg");
        a.thumbPath = QStringLiteral("/tmp/<b>'.jpg");
        m.atta = &a;
        const QString view = showMessage(m, BubbleHtmlOptions::forView());
        QVERIFY2(tagProblems(view).isEmpty(), qPrintable(tagProblems(view) + view));
        QVERIFY(!view.contains(QStringLiteral("onerror=\"")));
        m.type = MSG_TYPE_LOCATION;
        m.setLocation(1, 0, QStringLiteral("<img src=x>"));
        const QString loc = showMessage(m, BubbleHtmlOptions::forView());
        QVERIFY(tagProblems(loc).isEmpty());
        QVERIFY(loc.contains(QStringLiteral("&lt;img src=x&gt;")));
    }

    void pagesPerChatWithCopiedAttachments()
    {
        QTemporaryDir media, out;
        ExportTestData t;
        t.fill(media.path());
        // A sender name and text that try to inject markup.
        t.anna->name = QStringLiteral("Anna <script>\"");
        t.msg(t.single, MSG_TYPE_TEXT, ExportTestData::kDay + 300, QStringLiteral("</div><b onclick=\"x\">"),
              MSG_STATE_RECEIVED, t.anna);
        // A different photo with the same file name in another folder.
        QVERIFY(QDir(media.path()).mkdir(QStringLiteral("other")));
        const QString samePhoto = media.filePath(QStringLiteral("other/photo.jpg"));
        ExportTestData::writeImage(samePhoto, 41, 30);
        _ViberMsg* second = t.msg(t.group, MSG_TYPE_IMAGE, ExportTestData::kDay + 90000, QStringLiteral("caption"),
                                  MSG_STATE_RECEIVED, t.anna);
        t.atta(second, samePhoto, QString());

        const QString folder = out.filePath(QStringLiteral("chats-html"));
        const HtmlRun r = runHtml(t.data.messages(), folder);
        QVERIFY2(r.errors.isEmpty(), qPrintable(r.errors.join(u';')));
        QCOMPARE(r.successes, QStringList{QStringLiteral("Successfully exported 11 messages.")});

        QStringList pages = QDir(folder).entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name);
        QVERIFY(pages.removeOne(QStringLiteral("index.html")));
        QCOMPARE(pages.size(), 2);
        for (const QString& page : pages) {
            const QString html = g_readText(QDir(folder).filePath(page));
            QVERIFY2(tagProblems(html).isEmpty(), qPrintable(page + QStringLiteral(": ") + tagProblems(html)));
            QVERIFY(html.contains(QStringLiteral("href=\"files/style.css\"")));
            QVERIFY(!html.contains(QStringLiteral("<script>")));
        }
        const QDir files(QDir(folder).filePath(QStringLiteral("files")));
        QVERIFY(files.exists(QStringLiteral("style.css")));
        QVERIFY(files.exists(QStringLiteral("photo.jpg")));
        QVERIFY(files.exists(QStringLiteral("photo(1).jpg")));
        QVERIFY(files.exists(QStringLiteral("photo_thumb.jpg")));
        QVERIFY(files.exists(QStringLiteral("voice.m4a")));

        // A group is named by its own name: its page, its title, its heading
        // and its line in the index; a one-to-one chat by its member.
        QCOMPARE(pages, (QStringList{QStringLiteral("Anna script(+4911).html"), QStringLiteral("Hikers.html")}));
        const QString group = g_readText(QDir(folder).filePath(QStringLiteral("Hikers.html")));
        QVERIFY(group.contains(QStringLiteral("<title>Hikers</title>")));
        QCOMPARE(group.count(QStringLiteral("<h1 class=\"chat-title\">Hikers</h1>")), 1);
        const QString single = g_readText(QDir(folder).filePath(pages.first()));
        QVERIFY(single.contains(QStringLiteral("<title>Anna &lt;script&gt;&quot;(+4911)</title>")));
        QVERIFY(single.contains(QStringLiteral("<h1 class=\"chat-title\">Anna &lt;script&gt;&quot;(+4911)</h1>")));
        const QString index = g_readText(QDir(folder).filePath(QStringLiteral("index.html")));
        QVERIFY(index.contains(QStringLiteral("\">Hikers</a>")));
        QVERIFY(!index.contains(QStringLiteral("<title>Ferrowick</title>")));
        QVERIFY(group.contains(QStringLiteral("<div class=\"handle\">Anna &lt;script&gt;\"</div>")));
        QVERIFY(group.contains(QStringLiteral("src=\"files/photo(1).jpg\"")) ||
                group.contains(QStringLiteral("href=\"files/photo%281%29.jpg\"")));
        QCOMPARE(group.count(QStringLiteral("<div class=\"r\">")), 3); // one date box, the system message, the call
    }

    // A sticker used by a thousand messages is one file, also after a second
    // export into the same folder; a different file of the same name gets a
    // name of its own once; only the emoji pictures the pages show are copied,
    // and an emoji without a picture stays text.
    void everyFileIsCopiedOnceAndOnlyWhenUsed()
    {
        QTemporaryDir media, out;
        ExportTestData t;
        _ViberChat* chat = t.chat(QString(), QString(), {t.person(QStringLiteral("Kim"), QStringLiteral("+1"))});
        const QString sticker = media.filePath(QStringLiteral("00001052.png"));
        ExportTestData::writeImage(sticker);
        QVERIFY(QDir(media.path()).mkdir(QStringLiteral("b")));
        const QString otherSticker = media.filePath(QStringLiteral("b/00001052.png"));
        ExportTestData::writeImage(otherSticker, 50, 50);
        for (int i = 0; i < 1000; ++i)
            t.atta(t.msg(chat, MSG_TYPE_STICKER, ExportTestData::kDay + i, QString(), MSG_STATE_RECEIVED),
                   i % 100 == 99 ? otherSticker : sticker, i % 100 == 99 ? otherSticker : sticker);
        t.msg(chat, MSG_TYPE_TEXT, ExportTestData::kDay + 2000,
              QStringLiteral("smile \U0001F600 twice \U0001F600 (smiley) old \uE056 unknown \uE537"), MSG_STATE_SENT);

        const QString folder = out.filePath(QStringLiteral("s-html"));
        auto allFiles = [&] {
            QStringList found;
            QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
            while (it.hasNext())
                found << QDir(folder).relativeFilePath(it.next());
            found.sort();
            return found;
        };
        QVERIFY(runHtml(t.data.messages(), folder).errors.isEmpty());
        const QStringList first = allFiles();
        const QDir files(QDir(folder).filePath(QStringLiteral("files")));
        QCOMPARE(files.entryList({QStringLiteral("00001052*")}, QDir::Files, QDir::Name),
                 QStringList({QStringLiteral("00001052(1).png"), QStringLiteral("00001052.png")}));
        QCOMPARE(QDir(files.filePath(QStringLiteral("emoji"))).entryList(QDir::Files),
                 QStringList({QStringLiteral("1F600.png"), QStringLiteral("1F60A.png")}));
        QCOMPARE(QDir(files.filePath(QStringLiteral("vb_emoji"))).entryList(QDir::Files).size(), 1);
        const QString page = g_readText(QDir(folder).filePath(QStringLiteral("Kim(+1).html")));
        QCOMPARE(page.count(QStringLiteral("src=\"files/emoji/1F600.png\"")), 2);
        // The old encoding's U+E056 is U+1F60A; an unknown unit stays text.
        QVERIFY(page.contains(QStringLiteral("src=\"files/emoji/1F60A.png\"")));
        QVERIFY(page.contains(QChar(0xE537)));
        QVERIFY(!page.contains(QStringLiteral("E537.png")) && !page.contains(QStringLiteral("E056")));
        QCOMPARE(page.count(QStringLiteral("files/00001052.png")), 990);

        QVERIFY(runHtml(t.data.messages(), folder).errors.isEmpty());
        QCOMPARE(allFiles(), first);
    }

    // A location without a map picture still says where: its address, else
    // its coordinates; without a map host there is no picture and no link.
    void locationsShowTheirPlaceInWords()
    {
        ExportTestData t;
        _ViberChat* chat = t.chat(QString(), QString(), {t.person(QStringLiteral("Kim"), QStringLiteral("+1"))});
        _ViberMsg* bare = t.msg(chat, MSG_TYPE_LOCATION, ExportTestData::kDay, QString(), MSG_STATE_SENT);
        bare->setLocation(52.5, -13.25, QString());
        _ViberMsg* named = t.msg(chat, MSG_TYPE_LOCATION, ExportTestData::kDay + 1, QString(), MSG_STATE_SENT);
        named->setLocation(1, 0, QStringLiteral("Main St <1>"));
        t.atta(named, QString(), QString());
        const BubbleHtmlOptions o = BubbleHtmlOptions::forExport([](const QString&) { return QString(); });
        const QString a = showMessage(*bare, o);
        QVERIFY2(a.contains(QStringLiteral("<div>52.500000, -13.250000</div>")), qPrintable(a));
        const QString b = showMessage(*named, o);
        QVERIFY2(b.contains(QStringLiteral("<div>Main St &lt;1&gt;</div>")), qPrintable(b));
        for (const QString& html : {a, b}) {
            QVERIFY(!html.contains(QStringLiteral("<img")));
            QVERIFY(!html.contains(QStringLiteral("http")));
        }
    }

    void chatsWithTheSameNameGetTheirOwnPages()
    {
        QTemporaryDir out;
        ExportTestData t;
        _ViberPerson* a1 = t.person(QStringLiteral("Sam"), QStringLiteral("+1"));
        _ViberPerson* a2 = t.person(QStringLiteral("Sam"), QStringLiteral("+1"));
        _ViberChat* c1 = t.chat(QString(), QString(), {a1});
        _ViberChat* c2 = t.chat(QString(), QString(), {a2});
        t.msg(c1, MSG_TYPE_TEXT, 1, QStringLiteral("first chat"), MSG_STATE_SENT);
        t.msg(c2, MSG_TYPE_TEXT, 2, QStringLiteral("second chat"), MSG_STATE_SENT);
        const QString folder = out.filePath(QStringLiteral("x-html"));
        runHtml(t.data.messages(), folder);
        QVERIFY(g_readText(QDir(folder).filePath(QStringLiteral("Sam(+1).html"))).contains(QStringLiteral("first chat")));
        QVERIFY(g_readText(QDir(folder).filePath(QStringLiteral("Sam(+1)(1).html"))).contains(QStringLiteral("second chat")));
    }

    void aFullDiskFailsTheExportAndRemovesWhatItMade()
    {
        QTemporaryDir media, out;
        ExportTestData t;
        t.fill(media.path());
        for (int n : {1, 4, 20}) { // a style file, a picture, a later attachment or page
            const QString folder = out.filePath(QStringLiteral("full%1-html").arg(n));
            g_failNthWriteForTest(n);
            const HtmlRun r = runHtml(t.data.messages(), folder);
            g_failNthWriteForTest(0);
            QCOMPARE(r.successes, QStringList());
            QCOMPARE(r.errors.size(), 1);
            QVERIFY2(r.errors.first().contains(QLatin1String("No space left on device")), qPrintable(r.errors.first()));
            QVERIFY(!QFileInfo::exists(folder));
        }
    }

    void pagesLinkOnlyToFilesThatWereWritten()
    {
        const QString unreadable = ExportTestData::unreadableFile();
        if (unreadable.isEmpty())
            QSKIP("no unreadable regular file here");
        QTemporaryDir media, out;
        ExportTestData t;
        t.fill(media.path());
        _ViberMsg* m = t.msg(t.single, MSG_TYPE_IMAGE, ExportTestData::kDay + 900, QString(), MSG_STATE_SENT);
        t.atta(m, unreadable, media.filePath(QStringLiteral("gone.jpg")));
        const QString folder = out.filePath(QStringLiteral("links-html"));
        const HtmlRun r = runHtml(t.data.messages(), folder);
        QCOMPARE(r.errors, QStringList());
        QCOMPARE(r.successes, QStringList{QStringLiteral("Successfully exported 10 messages.\n1 attachment file could "
                                                         "not be read and was not copied; the log names it.")});
        const QString page = g_readText(QDir(folder).filePath(QStringLiteral("Anna(+4911).html")));
        QVERIFY(page.contains(QLatin1String("files/photo.jpg")));
        QVERIFY(!page.contains(QLatin1String("files/mem")));
        QVERIFY(!page.contains(QLatin1String("files/gone.jpg")));
    }

    void cancelKeepsWhatWasThereBefore()
    {
        QTemporaryDir media, out;
        ExportTestData t;
        t.fill(media.path());
        const QString folder = out.filePath(QStringLiteral("again-html"));
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/files")));
        QVERIFY(g_writeFile(folder + QStringLiteral("/notes.txt"), "mine"));
        QVERIFY(g_writeFile(folder + QStringLiteral("/files/keep.css"), "mine too"));

        const HtmlRun r = runHtml(t.data.messages(), folder, 5);
        QVERIFY(r.successes.isEmpty() && r.errors.isEmpty());
        QStringList left;
        QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext())
            left << QDir(folder).relativeFilePath(it.next());
        left.sort();
        QCOMPARE(left, (QStringList{QStringLiteral("files"), QStringLiteral("files/keep.css"),
                                    QStringLiteral("notes.txt")}));

        // A folder this export made itself goes entirely.
        const QString fresh = out.filePath(QStringLiteral("fresh-html"));
        runHtml(t.data.messages(), fresh, 5);
        QVERIFY(!QFileInfo::exists(fresh));
    }
};

QTEST_GUILESS_MAIN(TestExportHtml)
#include "test_export_html.moc"
