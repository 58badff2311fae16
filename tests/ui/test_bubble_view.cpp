#include "support/ExportTestData.h"
#include "support/TestEnv.h"
#include "model/ViberTime.h"
#include "ui/BubblePage.h"
#include "ui/ScriptedAnswers.h"
#include "ui/VBBubbleViewMgr.h"

#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {
// Messages of one chat, one minute apart from kDay (10:00 UTC).
QList<_ViberMsg*> textMessages(ExportTestData& t, int count)
{
    t.anna = t.person(QStringLiteral("Anna"), QStringLiteral("+4911"));
    t.single = t.chat(QString(), QString(), {t.anna});
    QList<_ViberMsg*> list;
    for (int i = 0; i < count; ++i)
        list << t.msg(t.single, MSG_TYPE_TEXT, ExportTestData::kDay + 60 * i, QStringLiteral("m%1").arg(i),
                      i % 2 ? MSG_STATE_SENT : MSG_STATE_RECEIVED, t.anna);
    return list;
}

QStringList messageAnchors(const QString& html)
{
    QStringList ids;
    static const QRegularExpression rx(QStringLiteral("<a name=\"sms_(\\d+)\"></a>"));
    for (auto it = rx.globalMatch(html); it.hasNext();)
        ids << it.next().captured(1);
    return ids;
}

QStringList idsOf(const QList<_ViberMsg*>& msgs, qsizetype from, qsizetype to)
{
    QStringList ids;
    for (qsizetype i = from; i < to; ++i)
        ids << QString::number(msgs.at(i)->id);
    return ids;
}

const QString kPrevious = QStringLiteral("href=\"/pre_page\"");
const QString kNext = QStringLiteral("href=\"/next_page\"");
} // namespace

class TestBubbleView : public QObject
{
    Q_OBJECT

    QTemporaryDir m_bubbleDir;

private slots:
    void initTestCase()
    {
        g_requireTestEnvironment();
        // Emoticon pictures are looked up beside the application; this folder
        // holds one, so both the found and the missing case can be seen.
        QVERIFY(QDir(m_bubbleDir.path()).mkpath(QStringLiteral("vb_emoji")));
        ExportTestData::writeImage(m_bubbleDir.filePath(QStringLiteral("vb_emoji/(smiley).png")));
        qputenv("FERROWICK_BUBBLE_DIR", m_bubbleDir.path().toUtf8());
    }

    void init()
    {
        ScriptedAnswers::reset();
        ScriptedAnswers::setStandingAnswer(QMessageBox::Ok);
    }

    void pagesHoldFiftyMessagesWithLinksOnlyWhereThereIsAnotherPage()
    {
        ExportTestData t;
        const QList<_ViberMsg*> all = textMessages(t, 120);

        const QList<_ViberMsg*> fifty = all.mid(0, 50);
        QCOMPARE(bubblePageCount(fifty.size()), 1);
        const QString only = bubblePageHtml(fifty, 1);
        QCOMPARE(messageAnchors(only), idsOf(fifty, 0, 50));
        QVERIFY(!only.contains(kPrevious) && !only.contains(kNext));
        QVERIFY(only.contains(QStringLiteral("<title>Bubble</title>")));
        QVERIFY(only.indexOf(QStringLiteral("<a name=\"start\"></a>")) < only.indexOf(QStringLiteral("sms_")));
        QVERIFY(only.endsWith(QStringLiteral("<a name=\"end\"></a></body></html>")));

        const QList<_ViberMsg*> fiftyOne = all.mid(0, 51);
        QCOMPARE(bubblePageCount(fiftyOne.size()), 2);
        const QString first = bubblePageHtml(fiftyOne, 1);
        QVERIFY(!first.contains(kPrevious) && first.contains(kNext));
        const QString second = bubblePageHtml(fiftyOne, 2);
        QCOMPARE(messageAnchors(second), idsOf(fiftyOne, 50, 51));
        QVERIFY(second.contains(kPrevious) && !second.contains(kNext));

        QCOMPARE(bubblePageCount(all.size()), 3);
        const QString middle = bubblePageHtml(all, 2);
        QCOMPARE(messageAnchors(middle), idsOf(all, 50, 100));
        QVERIFY(middle.contains(kPrevious) && middle.contains(kNext));
        QCOMPARE(messageAnchors(bubblePageHtml(all, 3)), idsOf(all, 100, 120));

        // Pages that do not exist show nothing rather than a neighbour.
        QVERIFY(messageAnchors(bubblePageHtml(all, 0)).isEmpty());
        QVERIFY(messageAnchors(bubblePageHtml(all, 4)).isEmpty());
        QCOMPARE(bubblePageCount(0), 0);
        QCOMPARE(bubblePageOfRow(49), 1);
        QCOMPARE(bubblePageOfRow(50), 2);
    }

    void dateBoxesWhenTheDayChangesAndAtTheTopOfEveryPage()
    {
        ExportTestData t;
        t.anna = t.person(QStringLiteral("Anna"), QStringLiteral("+4911"));
        t.single = t.chat(QString(), QString(), {t.anna});
        const double beforeMidnight = ExportTestData::kDay + 14 * 3600 - 60; // 23:59 on 15 Jan
        QList<_ViberMsg*> list;
        list << t.msg(t.single, MSG_TYPE_TEXT, beforeMidnight - 3600, QStringLiteral("a"), MSG_STATE_SENT);
        list << t.msg(t.single, MSG_TYPE_TEXT, beforeMidnight, QStringLiteral("b"), MSG_STATE_SENT);
        list << t.msg(t.single, MSG_TYPE_TEXT, beforeMidnight + 120, QStringLiteral("c"), MSG_STATE_SENT);
        list << t.msg(t.single, MSG_TYPE_TEXT, beforeMidnight + 240, QStringLiteral("d"), MSG_STATE_SENT);
        const QString html = bubblePageHtml(list, 1);
        QCOMPARE(html.count(QStringLiteral("15 Jan 2024")), 1);
        QCOMPARE(html.count(QStringLiteral("16 Jan 2024")), 1);
        QVERIFY(html.indexOf(QStringLiteral("16 Jan 2024")) > html.indexOf(QStringLiteral(">b<")));
        QVERIFY(html.indexOf(QStringLiteral("16 Jan 2024")) < html.indexOf(QStringLiteral(">c<")));

        // A page starts with its own date box even when the day goes on.
        ExportTestData u;
        const QList<_ViberMsg*> sameDay = textMessages(u, 60);
        QCOMPARE(bubblePageHtml(sameDay, 1).count(QStringLiteral("15 Jan 2024")), 1);
        QCOMPARE(bubblePageHtml(sameDay, 2).count(QStringLiteral("15 Jan 2024")), 1);
    }

    void everyTextAndAttributeFromTheStoreIsEscaped()
    {
        QTemporaryDir media;
        ExportTestData t;
        t.bob = t.person(QStringLiteral("<b>Bob</b> & \"co\""), QStringLiteral("+4922"));
        t.group = t.chat(QStringLiteral("G"), QStringLiteral("g1"), {t.bob});
        const QString evilDir = media.filePath(QStringLiteral("a\"b'<c>#d?e"));
        QVERIFY(QDir().mkpath(evilDir));
        const QString photo = evilDir + QStringLiteral("/p\" onerror=\"x.jpg");
        ExportTestData::writeImage(photo);

        QList<_ViberMsg*> list;
        list << t.msg(t.group, MSG_TYPE_TEXT, ExportTestData::kDay,
                      QStringLiteral("<script>alert(1)</script> & \"q\" 'a'\nnext"), MSG_STATE_RECEIVED, t.bob);
        _ViberMsg* image = t.msg(t.group, MSG_TYPE_IMAGE, ExportTestData::kDay + 1,
                                 QStringLiteral("<i>caption</i>"), MSG_STATE_RECEIVED, t.bob);
        t.atta(image, photo, photo);
        _ViberMsg* voice = t.msg(t.group, MSG_TYPE_AUDIO, ExportTestData::kDay + 2, QString(), MSG_STATE_SENT);
        t.atta(voice, evilDir + QStringLiteral("/v\"><script>.m4a"), QString(), 3);
        _ViberMsg* place = t.msg(t.group, MSG_TYPE_LOCATION, ExportTestData::kDay + 3, QString(),
                                 MSG_STATE_RECEIVED, t.bob);
        place->setLocation(0, 0, QStringLiteral("<img src=x onerror=alert(1)>"));
        t.atta(place, QString(), QString());
        _ViberMsg* sys = t.msg(t.group, MSG_TYPE_SYSTEM, ExportTestData::kDay + 4, QStringLiteral("<u>G</u>"),
                               MSG_STATE_RECEIVED, t.bob);
        sys->systemType = SYS_NAME_CHANGED;

        list << image << voice << place << sys;
        const QString html = bubblePageHtml(list, 1);
        for (const char* raw : {"<script", "<b>", "<i>", "<u>", "onerror=\"", "<img src=x"})
            QVERIFY2(!html.contains(QLatin1String(raw)), raw);
        QVERIFY(html.contains(QStringLiteral("&lt;script&gt;alert(1)&lt;/script&gt; &amp; \"q\" 'a'<br/>next")));
        QVERIFY(html.contains(QStringLiteral("&lt;b&gt;Bob&lt;/b&gt; &amp;")));
        QVERIFY(html.contains(QStringLiteral("&lt;i&gt;caption&lt;/i&gt;")));
        QVERIFY(html.contains(QStringLiteral("&lt;img src=x onerror=alert(1)&gt;")));
        // Every attribute stays one attribute: the quote in a path is encoded
        // and "#" or "?" do not cut the file name short.
        static const QRegularExpression attr(QStringLiteral("(?:href|src)=\"([^\"]*)\""));
        int fileRefs = 0;
        for (auto it = attr.globalMatch(html); it.hasNext();) {
            QString value = it.next().captured(1);
            value.replace(QStringLiteral("&#39;"), QStringLiteral("'")).replace(QStringLiteral("&amp;"), QStringLiteral("&"));
            if (!value.startsWith(QLatin1String("file:")))
                continue;
            ++fileRefs;
            const QString path = QUrl(value).toLocalFile();
            QVERIFY2(path.startsWith(evilDir + u'/'), qPrintable(value));
        }
        QCOMPARE(fileRefs, 3); // the photo's link and picture, the voice link
    }

    void emoticonPicturesOnlyWhereThePictureExists()
    {
        ExportTestData t;
        const QList<_ViberMsg*> list = {
            t.msg(nullptr, MSG_TYPE_TEXT, ExportTestData::kDay,
                  QStringLiteral("hi (smiley) and (nosuchface) (smiley \U0001F600"), MSG_STATE_SENT)};
        const QString html = bubblePageHtml(list, 1);
        QVERIFY(html.contains(QStringLiteral("<img src=\"vb_emoji/(smiley).png\"")));
        QVERIFY(html.contains(QStringLiteral("(nosuchface)")));
        QVERIFY(!html.contains(QStringLiteral("vb_emoji/(nosuchface)")));
        // An unclosed token stays text; a Unicode emoji always becomes a picture.
        QVERIFY(html.contains(QStringLiteral("(smiley <img src=\"emoji/1F600.png\"")));
    }

    void missingPicturesShowThePlaceholderAndNoRemoteAddress()
    {
        QTemporaryDir media;
        ExportTestData t;
        t.anna = t.person(QStringLiteral("Anna"), QStringLiteral("+4911"));
        t.single = t.chat(QString(), QString(), {t.anna});
        const QString gone = media.filePath(QStringLiteral("gone.jpg"));
        const QString empty = media.filePath(QStringLiteral("empty.jpg"));
        QVERIFY(g_writeFile(empty, QByteArray()));
        _ViberMsg* image = t.msg(t.single, MSG_TYPE_IMAGE, ExportTestData::kDay, QString(), MSG_STATE_RECEIVED);
        t.atta(image, gone, empty);
        _ViberMsg* place = t.msg(t.single, MSG_TYPE_LOCATION, ExportTestData::kDay + 1, QString(), MSG_STATE_SENT);
        place->setLocation(52.5, 13.4, QString());
        t.atta(place, QString(), QString());
        _ViberMsg* sticker = t.msg(t.single, MSG_TYPE_STICKER, ExportTestData::kDay + 2, QString(),
                                   MSG_STATE_RECEIVED);
        t.atta(sticker, QString(), QString())->mediaId = QStringLiteral("12345");
        _ViberMsg* bare = t.msg(t.single, MSG_TYPE_IMAGE, ExportTestData::kDay + 3, QString(), MSG_STATE_SENT);

        const QString html = bubblePageHtml({image, place, sticker, bare}, 1);
        QCOMPARE(html.count(QStringLiteral("src=\"vbbb/empty_photo.jpg\"")), 3);
        // The missing photo stays clickable, so a click can say it is missing.
        QVERIFY(html.contains(QStringLiteral("<a href=\"%1\">").arg(QUrl::fromLocalFile(gone).toString())));
        QVERIFY(!html.contains(QStringLiteral("src=\"http")) && !html.contains(QStringLiteral("href=\"http")));
        QVERIFY(!html.contains(QStringLiteral("staticmap")));
        QVERIFY(!html.contains(QStringLiteral("stickers/")));
        // A picture message without its attachment still has its bubble and time.
        QCOMPARE(html.count(QStringLiteral("class=\"bb_time\"")), 4);
    }

    // A page of one chat names senders in groups only; a page of every chat
    // names each bubble's chat (one's own "To" it). The view's times are
    // written as the message list writes them, the export's as before.
    void handlesAndClock()
    {
        ExportTestData t;
        t.anna = t.person(QStringLiteral("Anna"), QStringLiteral("+4911"));
        t.bob = t.person(QStringLiteral("Bob"), QStringLiteral("+4922"));
        t.single = t.chat(QString(), QString(), {t.anna});
        t.group = t.chat(QStringLiteral("Hikers"), QStringLiteral("g1"), {t.anna, t.bob});
        _ViberMsg* fromAnna = t.msg(t.single, MSG_TYPE_TEXT, ExportTestData::kDay, QStringLiteral("a"), MSG_STATE_RECEIVED, t.anna);
        _ViberMsg* toAnna = t.msg(t.single, MSG_TYPE_TEXT, ExportTestData::kDay + 1, QStringLiteral("b"), MSG_STATE_SENT);
        _ViberMsg* fromBob = t.msg(t.group, MSG_TYPE_TEXT, ExportTestData::kDay + 2, QStringLiteral("c"), MSG_STATE_RECEIVED, t.bob);
        _ViberMsg* toGroup = t.msg(t.group, MSG_TYPE_TEXT, ExportTestData::kDay + 3, QStringLiteral("d"), MSG_STATE_SENT);
        const QList<_ViberMsg*> all{fromAnna, toAnna, fromBob, toGroup};
        static const QRegularExpression handle(QStringLiteral("<div class=\"handle\">([^<]*)</div>"));
        auto handles = [](const QString& html) {
            QStringList out;
            for (auto it = handle.globalMatch(html); it.hasNext();)
                out << it.next().captured(1);
            return out;
        };
        BubbleHtmlOptions one = BubbleHtmlOptions::forView();
        QCOMPARE(handles(bubblePageHtml(all, 1, one)), QStringList{QStringLiteral("Bob")});
        BubbleHtmlOptions mixed = one;
        mixed.nameChats = true;
        QCOMPARE(handles(bubblePageHtml(all, 1, mixed)),
                 (QStringList{QStringLiteral("Anna"), QStringLiteral("To Anna"),
                              QString::fromUtf16(u"Bob \u00B7 Hikers"), QStringLiteral("To Hikers")}));

        const QDateTime when = dtFromTimestamp(fromAnna->date);
        const QString systemTime = QLocale::system().toString(when.time(), QLocale::ShortFormat);
        QVERIFY2(bubblePageHtml({fromAnna}, 1, one).contains(QStringLiteral("<div class=\"bb_time\">") + systemTime + u'<'),
                 qPrintable(systemTime));
        const BubbleHtmlOptions exported = BubbleHtmlOptions::forExport([](const QString& p) { return p; });
        QVERIFY(showMessage(*fromAnna, exported).contains(QLocale::c().toString(when.time(), QStringLiteral("hh:mm ap"))));
    }

    void managerPagesAndAnchors()
    {
        ExportTestData t;
        const QList<_ViberMsg*> all = textMessages(t, 120);
        VBBubbleViewMgr mgr;

        mgr.showBubble({});
        QCOMPARE(mgr.currentPage(), 0);
        QCOMPARE(mgr.pageCount(), 0);
        QVERIFY(messageAnchors(mgr.pageHtml()).isEmpty());

        mgr.showBubble(all);
        QCOMPARE(mgr.pageCount(), 3);
        QCOMPARE(mgr.currentPage(), 1);
        QCOMPARE(mgr.anchor(), QStringLiteral("start"));
        QCOMPARE(messageAnchors(mgr.pageHtml()), idsOf(all, 0, 50));

        mgr.nextPage();
        QCOMPARE(mgr.currentPage(), 2);
        QCOMPARE(mgr.anchor(), QStringLiteral("start"));
        mgr.lastPage();
        QCOMPARE(mgr.currentPage(), 3);
        QCOMPARE(mgr.anchor(), QStringLiteral("end"));
        QCOMPARE(messageAnchors(mgr.pageHtml()), idsOf(all, 100, 120));
        int loads = mgr.pageLoads();
        mgr.nextPage();
        QCOMPARE(mgr.currentPage(), 3);
        QCOMPARE(mgr.pageLoads(), loads);
        mgr.previousPage();
        QCOMPARE(mgr.currentPage(), 2);
        QCOMPARE(mgr.anchor(), QStringLiteral("end"));
        mgr.firstPage();
        loads = mgr.pageLoads();
        mgr.previousPage();
        QCOMPARE(mgr.currentPage(), 1);
        QCOMPARE(mgr.pageLoads(), loads);

        // The page links work the same way.
        mgr.onLinkClicked(QUrl(QStringLiteral("file:///next_page")));
        QCOMPARE(mgr.currentPage(), 2);
        mgr.onLinkClicked(QUrl(QStringLiteral("file:///pre_page")));
        QCOMPARE(mgr.currentPage(), 1);
        QCOMPARE(mgr.anchor(), QStringLiteral("end"));

        // A selected row loads its page and scrolls when that page has loaded.
        mgr.scrollToPos(50);
        QCOMPARE(mgr.currentPage(), 2);
        QCOMPARE(mgr.anchor(), QStringLiteral("sms_%1").arg(all.at(50)->id));
        mgr.onLoadFinish(true);
        QCOMPARE(mgr.scrolledTo(), mgr.anchor());
        mgr.scrollToPos(49);
        QCOMPARE(mgr.currentPage(), 1);
        // A row on the shown page scrolls at once without rebuilding the page.
        loads = mgr.pageLoads();
        mgr.scrollToPos(10);
        QCOMPARE(mgr.pageLoads(), loads);
        QCOMPARE(mgr.scrolledTo(), QStringLiteral("sms_%1").arg(all.at(10)->id));
        mgr.scrollToPos(-1);
        mgr.scrollToPos(120);
        QCOMPARE(mgr.pageLoads(), loads);
        QCOMPARE(mgr.currentPage(), 1);

        // A new list starts over at its first page.
        mgr.lastPage();
        mgr.showBubble(all.mid(0, 51));
        QCOMPARE(mgr.pageCount(), 2);
        QCOMPARE(mgr.currentPage(), 1);
        QCOMPARE(mgr.anchor(), QStringLiteral("start"));
    }

    void clicksOpenOrSaveOnlyFilesOfTheSource()
    {
        QTemporaryDir source, elsewhere, target;
        const QDir src(source.path());
        ExportTestData::writeImage(src.filePath(QStringLiteral("photo.jpg")));
        ExportTestData::writeImage(src.filePath(QStringLiteral("PHOTO.JPG")));
        QVERIFY(g_writeFile(src.filePath(QStringLiteral("voice.m4a")), "voice-bytes"));
        QVERIFY(g_writeFile(elsewhere.filePath(QStringLiteral("secret.jpg")), "secret"));
        QVERIFY(QFile::link(elsewhere.filePath(QStringLiteral("secret.jpg")), src.filePath(QStringLiteral("link.jpg"))));

        VBBubbleViewMgr mgr;
        QList<QUrl> opened;
        mgr.setOpener([&](const QUrl& url) {
            opened << url;
            return true;
        });
        mgr.setSourceFolders({source.path()});
        const auto click = [&](const QString& path) { mgr.onLinkClicked(QUrl::fromLocalFile(path)); };

        click(src.filePath(QStringLiteral("photo.jpg")));
        QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(src.canonicalPath() + QStringLiteral("/photo.jpg"))});

        // Not the source's: neither a file elsewhere nor a link out of the folder.
        opened.clear();
        click(elsewhere.filePath(QStringLiteral("secret.jpg")));
        click(src.filePath(QStringLiteral("link.jpg")));
        click(src.filePath(QStringLiteral("../") + QFileInfo(elsewhere.path()).fileName() +
                           QStringLiteral("/secret.jpg")));
        QVERIFY(opened.isEmpty());
        QCOMPARE(ScriptedAnswers::shownBoxes().size(), 3);

        // Missing: a warning that names the end of the path.
        init();
        click(QStringLiteral("/x/y/media/chat/gone.jpg"));
        QCOMPARE(ScriptedAnswers::shownBoxes().size(), 1);
        QCOMPARE(ScriptedAnswers::shownBoxes().at(0).icon, QMessageBox::Warning);
        QVERIFY(ScriptedAnswers::shownBoxes().at(0).text.contains(QStringLiteral("can not find ...media/chat/gone.jpg.")));

        // Other files, and suffixes in upper case, are saved where the user says.
        init();
        const QString saved = QDir(target.path()).filePath(QStringLiteral("kept.m4a"));
        QVERIFY(g_writeFile(saved, "older"));
        ScriptedAnswers::answerNextFileDialog(saved);
        click(src.filePath(QStringLiteral("voice.m4a")));
        QCOMPARE(g_readFile(saved), QByteArray("voice-bytes"));
        QCOMPARE(ScriptedAnswers::fileDialogCaptions(), QStringList{QStringLiteral("Save Attachment")});
        QCOMPARE(ScriptedAnswers::shownBoxes().at(0).icon, QMessageBox::Information);

        init();
        ScriptedAnswers::answerNextFileDialog(QString()); // cancelled
        click(src.filePath(QStringLiteral("PHOTO.JPG")));
        QVERIFY(opened.isEmpty());
        QCOMPARE(ScriptedAnswers::fileDialogCaptions().size(), 1);
        QVERIFY(ScriptedAnswers::shownBoxes().isEmpty());

        // Saving an attachment onto itself keeps it rather than deleting it first.
        init();
        ScriptedAnswers::answerNextFileDialog(src.filePath(QStringLiteral("voice.m4a")));
        click(src.filePath(QStringLiteral("voice.m4a")));
        QCOMPARE(g_readFile(src.filePath(QStringLiteral("voice.m4a"))), QByteArray("voice-bytes"));

        // A target that cannot be written is reported as a failure.
        init();
        ScriptedAnswers::answerNextFileDialog(target.path() + QStringLiteral("/no/such/dir/v.m4a"));
        click(src.filePath(QStringLiteral("voice.m4a")));
        QCOMPARE(ScriptedAnswers::shownBoxes().size(), 1);
        QCOMPARE(ScriptedAnswers::shownBoxes().at(0).icon, QMessageBox::Critical);
    }

    void webAddressesGoToTheBrowserAndNothingElseDoes()
    {
        VBBubbleViewMgr mgr;
        QList<QUrl> opened;
        mgr.setOpener([&](const QUrl& url) {
            opened << url;
            return true;
        });
        mgr.onLinkClicked(QUrl(QStringLiteral("https://maps.example.org/x?center=1,2")));
        mgr.onLinkClicked(QUrl(QStringLiteral("javascript:alert(1)")));
        mgr.onLinkClicked(QUrl(QStringLiteral("data:text/html,<b>x</b>")));
        mgr.onLinkClicked(QUrl(QStringLiteral("http:///stickers/60/0/00012345.png")));
        QCOMPARE(opened, QList<QUrl>{QUrl(QStringLiteral("https://maps.example.org/x?center=1,2"))});
        QVERIFY(ScriptedAnswers::shownBoxes().isEmpty());
    }
};

QTEST_MAIN(TestBubbleView)
#include "test_bubble_view.moc"
