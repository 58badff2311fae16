#include "export/ExportTestData.h"
#include "support/TestEnv.h"
#include "ui/ScriptedAnswers.h"
#include "ui/VBBubbleViewMgr.h"

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
