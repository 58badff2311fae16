#include "support/ExportTestData.h"
#include "support/TestEnv.h"
#include "ui/ScriptedAnswers.h"
#include "ui/VBBubbleViewMgr.h"

#include <QFileInfo>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>

namespace {
// The value of an expression evaluated in the application's script world
// (the page's own scripts are off).
QVariant evaluate(QWebEnginePage* page, const QString& expression)
{
    QVariant result;
    bool done = false;
    page->runJavaScript(expression, QWebEngineScript::ApplicationWorld, [&](const QVariant& v) {
        result = v;
        done = true;
    });
    for (int waited = 0; !done && waited < 20000; waited += 20)
        QTest::qWait(20);
    return result;
}
} // namespace

// Loads real pages into a web engine view.
class TestBubbleWebview : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { g_requireTestEnvironment(); }

    void pageLoadsAndAClickReachesTheApplication()
    {
        QTemporaryDir media;
        ExportTestData t;
        t.anna = t.person(QStringLiteral("Anna"), QStringLiteral("+4911"));
        t.single = t.chat(QString(), QString(), {t.anna});
        QList<_ViberMsg*> list;
        for (int i = 0; i < 49; ++i)
            list << t.msg(t.single, MSG_TYPE_TEXT, ExportTestData::kDay + i, QStringLiteral("line %1").arg(i),
                          MSG_STATE_RECEIVED, t.anna);
        const QString voicePath = media.filePath(QStringLiteral("voice.m4a"));
        QVERIFY(g_writeFile(voicePath, "voice-bytes"));
        _ViberMsg* voice = t.msg(t.single, MSG_TYPE_AUDIO, ExportTestData::kDay + 100, QString(), MSG_STATE_SENT);
        t.atta(voice, voicePath, QString(), 12);
        list << voice;

        QWebEngineView view;
        view.resize(420, 300);
        VBBubbleViewMgr mgr;
        mgr.setWebview(&view);
        mgr.setSourceFolders({media.path()});
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));

        // The view starts on an empty page of its own; wait until that is done.
        QSignalSpy loaded(view.page(), &QWebEnginePage::loadFinished);
        QTRY_VERIFY_WITH_TIMEOUT(!loaded.isEmpty(), 30000);
        loaded.clear();
        QSignalSpy clicked(view.page(), SIGNAL(linkClicked(QUrl)));
        mgr.showBubble(list);
        QTRY_VERIFY_WITH_TIMEOUT(!loaded.isEmpty(), 30000);
        QCOMPARE(loaded.first().first().toBool(), true);
        QCOMPARE(view.title(), QStringLiteral("Bubble"));
        QCOMPARE(evaluate(view.page(), QStringLiteral("document.getElementsByClassName('bb1').length")).toInt(), 49);

        // The last message is far below: the selection scrolls down to it.
        mgr.scrollToPos(49);
        QTRY_VERIFY_WITH_TIMEOUT(evaluate(view.page(), QStringLiteral("window.scrollY")).toInt() > 0, 20000);

        // Clicking the voice link asks where to save it; the view stays on the page.
        const QVariantList box = evaluate(view.page(),
                                          QStringLiteral("(function(){var r=document.querySelector('.bb2 a')"
                                                         ".getBoundingClientRect();return [r.left+r.width/2,"
                                                         "r.top+r.height/2];})()"))
                                     .toList();
        QCOMPARE(box.size(), 2);
        const QPoint at(qRound(box.at(0).toDouble()), qRound(box.at(1).toDouble()));
        QWidget* target = view.focusProxy() ? view.focusProxy() : &view;
        ScriptedAnswers::reset();
        ScriptedAnswers::answerNextFileDialog(QString());
        QTest::mouseClick(target, Qt::LeftButton, {}, at);
        QTRY_COMPARE_WITH_TIMEOUT(clicked.size(), 1, 20000);
        QCOMPARE(clicked.first().first().toUrl(), QUrl::fromLocalFile(voicePath));
        QCOMPARE(ScriptedAnswers::fileDialogCaptions(), QStringList{QStringLiteral("Save Attachment")});
        QTest::qWait(300);
        // A refused navigation may report a failed load; nothing else loaded.
        for (qsizetype i = 1; i < loaded.size(); ++i)
            QCOMPARE(loaded.at(i).first().toBool(), false);
        QCOMPARE(evaluate(view.page(), QStringLiteral("document.getElementsByClassName('bb1').length")).toInt(), 49);
        QCOMPARE(view.title(), QStringLiteral("Bubble"));
    }

    // One click on a picture hands the file to the desktop once; the bubble
    // of the message selected in the list is marked on the page.
    void pictureClickOpensOneViewerAndSelectionIsMarked()
    {
        QTemporaryDir media;
        ExportTestData t;
        t.anna = t.person(QStringLiteral("Anna"), QStringLiteral("+4911"));
        t.single = t.chat(QString(), QString(), {t.anna});
        const QString photo = media.filePath(QStringLiteral("photo.jpg"));
        QImage img(120, 90, QImage::Format_RGB32);
        img.fill(Qt::darkCyan);
        QVERIFY(img.save(photo, "JPG"));
        QList<_ViberMsg*> list;
        list << t.msg(t.single, MSG_TYPE_TEXT, ExportTestData::kDay, QStringLiteral("first"), MSG_STATE_RECEIVED, t.anna);
        _ViberMsg* picture = t.msg(t.single, MSG_TYPE_IMAGE, ExportTestData::kDay + 60, QString(), MSG_STATE_RECEIVED, t.anna);
        t.atta(picture, photo, photo);
        list << picture;

        QWebEngineView view;
        view.resize(420, 300);
        VBBubbleViewMgr mgr;
        QList<QUrl> opened;
        mgr.setOpener([&](const QUrl& url) {
            opened << url;
            return true;
        });
        mgr.setWebview(&view);
        mgr.setSourceFolders({media.path()});
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QSignalSpy loaded(view.page(), &QWebEnginePage::loadFinished);
        QTRY_VERIFY_WITH_TIMEOUT(!loaded.isEmpty(), 30000);
        loaded.clear();
        mgr.showBubble(list);
        QTRY_VERIFY_WITH_TIMEOUT(!loaded.isEmpty(), 30000);

        mgr.scrollToPos(0);
        QTRY_COMPARE_WITH_TIMEOUT(
            evaluate(view.page(), QStringLiteral("document.querySelectorAll('.bb1.found').length")).toInt(), 1, 20000);
        QCOMPARE(evaluate(view.page(), QStringLiteral("document.querySelector('.bb1.found').textContent")).toString().contains(
                     QStringLiteral("first")),
                 true);
        mgr.scrollToPos(1);
        QTRY_VERIFY_WITH_TIMEOUT(
            evaluate(view.page(), QStringLiteral("document.querySelector('.bb1.found img')!==null")).toBool(), 20000);
        QCOMPARE(evaluate(view.page(), QStringLiteral("document.querySelectorAll('.found').length")).toInt(), 1);

        const QVariantList box = evaluate(view.page(),
                                          QStringLiteral("(function(){var r=document.querySelector('.bb1 a img')"
                                                         ".getBoundingClientRect();return [r.left+r.width/2,"
                                                         "r.top+r.height/2];})()"))
                                     .toList();
        QCOMPARE(box.size(), 2);
        QWidget* target = view.focusProxy() ? view.focusProxy() : &view;
        QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(qRound(box.at(0).toDouble()), qRound(box.at(1).toDouble())));
        QTRY_COMPARE_WITH_TIMEOUT(opened.size(), 1, 20000);
        QTest::qWait(1000);
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened.first(), QUrl::fromLocalFile(QFileInfo(photo).canonicalFilePath()));
    }
};

int main(int argc, char* argv[])
{
    // The web engine shares its graphics context with the widgets.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TestBubbleWebview test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_bubble_webview.moc"
