#include "support/TestEnv.h"
#include "ui/ErrorReport.h"
#include "ui/FileDialogs.h"
#include "ui/ScriptedAnswers.h"
#include "ui/Tips.h"
#include "ui/UpdateCheck.h"
#include "ui/WinMovable.h"

#include <QApplication>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrlQuery>

namespace {
// Decodes one value of the error report the way the server does: form
// decoding, then the two substitutions back, then Base64.
QString decodeField(const QByteArray& body, const QString& key)
{
    const QUrlQuery query(QString::fromLatin1(body));
    QString value = query.queryItemValue(key, QUrl::FullyDecoded);
    value.replace(u'!', u'/');
    value.replace(u'-', u'=');
    return QString::fromUtf8(
        QByteArray::fromBase64(value.toLatin1(), QByteArray::AbortOnBase64DecodingErrors));
}
} // namespace

class TestMessageBoxes : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { g_requireTestEnvironment(); }
    void init() { ScriptedAnswers::reset(); }

    void questionsAreAnsweredByTheHook()
    {
        ScriptedAnswers::answerNextBox(QMessageBox::Yes);
        ScriptedAnswers::answerNextBox(QMessageBox::No);
        // Closing the box is no Yes.
        ScriptedAnswers::answerNextBox(QMessageBox::NoButton);
        QVERIFY(Tips::question(QStringLiteral("Delete?")));
        QVERIFY(!Tips::question(QStringLiteral("Delete?")));
        QVERIFY(!Tips::question(QStringLiteral("Delete?")));
        QCOMPARE(ScriptedAnswers::pendingBoxAnswers(), 0);
        const auto boxes = ScriptedAnswers::shownBoxes();
        QCOMPARE(boxes.size(), 3);
        QCOMPARE(boxes[0].answer, QMessageBox::Yes);
        QCOMPARE(boxes[1].answer, QMessageBox::No);
        QCOMPARE(boxes[2].answer, QMessageBox::No);
        QCOMPARE(boxes[0].buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(boxes[0].icon, QMessageBox::Question);
        QCOMPARE(boxes[0].title, g_productName());
    }

    void everyKindOfBoxIsBuiltTheSameWay()
    {
        ScriptedAnswers::setStandingAnswer(QMessageBox::Ok);
        // Looks at the live box while it is up.
        QStringList looks;
        auto inspect = [&] {
            QTimer::singleShot(0, [&] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                if (!box) {
                    looks << QStringLiteral("no box");
                    return;
                }
                looks << QStringLiteral("%1|%2|%3")
                             .arg(box->windowFlags().testFlag(Qt::FramelessWindowHint))
                             .arg(!box->styleSheet().isEmpty())
                             .arg(box->findChild<WinMovable*>() != nullptr);
            });
        };
        inspect();
        Tips::info(QStringLiteral("saved"));
        inspect();
        Tips::warning(QStringLiteral("careful"));
        inspect();
        Tips::error(QStringLiteral("broken &lt;x&gt;"));
        inspect();
        Tips::errorWithoutPrefix(QStringLiteral("plain"));
        QCOMPARE(looks, QStringList(4, QStringLiteral("1|1|1")));
        const auto boxes = ScriptedAnswers::shownBoxes();
        QCOMPARE(boxes.size(), 4);
        QCOMPARE(boxes[0].icon, QMessageBox::Information);
        QCOMPARE(boxes[1].icon, QMessageBox::Warning);
        QCOMPARE(boxes[2].icon, QMessageBox::Critical);
        QVERIFY(boxes[2].text.startsWith(
            QStringLiteral("An Error Occurred. <br/><br/>broken &lt;x&gt;<br/><br/>")));
        QCOMPARE(boxes[3].text, QStringLiteral("plain"));
        for (const auto& b : boxes)
            QCOMPARE(b.answer, QMessageBox::Ok);
    }

    void fileDialogsAreAnsweredInOrder()
    {
        ScriptedAnswers::answerNextFileDialog(QStringLiteral("/tmp/out/chats.csv"));
        ScriptedAnswers::answerNextFileDialog(QString());
        ScriptedAnswers::answerNextFileDialog(QStringLiteral("/tmp/media"));
        QString filter = QStringLiteral("Text (*.txt)");
        QCOMPARE(
            g_getSaveFileName(nullptr, QStringLiteral("Save as"), QString(), QStringLiteral("*"), &filter),
            QStringLiteral("/tmp/out/chats.csv"));
        QCOMPARE(filter, QStringLiteral("Text (*.txt)"));
        QCOMPARE(g_getOpenFileName(nullptr, QStringLiteral("Open"), QString(), QString()), QString());
        QCOMPARE(g_getExistingDirectory(nullptr, QStringLiteral("Folder"), QString()),
                 QStringLiteral("/tmp/media"));
        QCOMPARE(ScriptedAnswers::fileDialogCaptions(),
                 (QStringList{QStringLiteral("Save as"), QStringLiteral("Open"), QStringLiteral("Folder")}));
        QCOMPARE(ScriptedAnswers::pendingFileAnswers(), 0);
    }

    void framelessWindowsFollowALeftDrag()
    {
        QWidget w;
        w.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        w.resize(200, 100);
        w.move(100, 100);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        new WinMovable(&w);
        const QPoint start = w.pos();
        auto send = [&](QEvent::Type type, QPoint local, Qt::MouseButton button, QPoint global) {
            QMouseEvent e(type, local, global, button, type == QEvent::MouseMove ? Qt::LeftButton : button,
                          Qt::NoModifier);
            QApplication::sendEvent(&w, &e);
        };
        // A right-button drag does not move the window.
        send(QEvent::MouseButtonPress, QPoint(10, 10), Qt::RightButton, start + QPoint(10, 10));
        send(QEvent::MouseMove, QPoint(40, 30), Qt::NoButton, start + QPoint(40, 30));
        send(QEvent::MouseButtonRelease, QPoint(40, 30), Qt::RightButton, start + QPoint(40, 30));
        QCOMPARE(w.pos(), start);
        send(QEvent::MouseButtonPress, QPoint(10, 10), Qt::LeftButton, start + QPoint(10, 10));
        send(QEvent::MouseMove, QPoint(10, 10), Qt::NoButton, start + QPoint(60, 50));
        QCOMPARE(w.pos(), start + QPoint(50, 40));
        send(QEvent::MouseButtonRelease, QPoint(10, 10), Qt::LeftButton, start + QPoint(60, 50));
        send(QEvent::MouseMove, QPoint(10, 10), Qt::NoButton, start + QPoint(200, 200));
        QCOMPARE(w.pos(), start + QPoint(50, 40));
    }

    // The report must reach the server as written: "+" of Base64 would be
    // read as a space by form decoding if it were sent bare.
    void errorReportFieldsSurviveFormDecoding()
    {
        QCOMPARE(base64_var(QStringLiteral("~~~?")), QStringLiteral("fn5+Pw--"));
        QCOMPARE(base64_var(QStringLiteral("\u00ff\u00ff")), QStringLiteral("w7!Dvw--"));
        const QByteArray body =
            g_errorReportBody(QStringLiteral("load error.<br/>~~~ &lt;Contacts.data&gt;< BR />end"));
        QVERIFY(!body.contains(' '));
        QCOMPARE(decodeField(body, QStringLiteral("err")),
                 QStringLiteral("load error.\r\n~~~ <Contacts.data>\r\nend"));
        QCOMPARE(decodeField(body, QStringLiteral("prod")), g_productName());
        QCOMPARE(decodeField(body, QStringLiteral("ver")), QStringLiteral("3.1.18(18)"));
    }

    // The update check and the error report talk to the maker's server
    // over HTTPS only, and open only HTTPS links it sends.
    void webAddressesAreHttpsOnly()
    {
        QCOMPARE(g_webUrl(QStringLiteral("example.org"), QStringLiteral("/sms_check_update.php?pid=7&ver=18&q=1")),
                 QUrl(QStringLiteral("https://example.org/sms_check_update.php?pid=7&ver=18&q=1")));
        QCOMPARE(g_webUrl(QStringLiteral(" example.org:8443 "), QStringLiteral("/err_report.php")),
                 QUrl(QStringLiteral("https://example.org:8443/err_report.php")));
        QCOMPARE(g_webUrl(QStringLiteral("example.org"), QStringLiteral("/help.html")).scheme(), QStringLiteral("https"));
        QVERIFY(g_isSecureLink("https://example.org/download/new.deb"));
        QVERIFY(g_isSecureLink("  HTTPS://example.org/new  "));
        for (const char* refused : {"http://example.org/new", "https:///no-host", "https//example.org",
                                    "javascript:alert(1)", "file:///etc/passwd", "ftp://example.org/new", ""})
            QVERIFY2(!g_isSecureLink(refused), refused);
    }

    void updateCheckRunsAtMostOnceADay()
    {
        QTemporaryDir dir;
        const QDir data(dir.path());
        const qint64 now = 1800000000;
        const QString stamp = data.filePath(QStringLiteral("last-check-version-time"));
        QVERIFY(UpdateCheck::isDue(data, now));
        for (const auto& [content, due] : std::initializer_list<std::pair<QByteArray, bool>>{
                 {QByteArray::number(now - 86400), false},
                 {QByteArray::number(now - 86401), true},
                 {QByteArray::number(now + 5000), true}, // a clock set back
                 {"0", true},
                 {"yesterday", true}}) {
            QVERIFY(g_writeFile(stamp, content));
            QVERIFY2(UpdateCheck::isDue(data, now) == due, content.constData());
        }
    }

    void updateAnswersAreRecordedAndOffered()
    {
        QTemporaryDir dir;
        const QDir data(dir.path());
        UpdateCheck check(data);
        // Off while the build names no host.
        QVERIFY(!check.start() || g_webHostConfigured());
        QSignalSpy quit(&check, &UpdateCheck::quitRequested);

        check.handleVersionAnswer(200, "no update", 1800000000);
        QVERIFY(ScriptedAnswers::shownBoxes().isEmpty());
        // A plain http:// link could have been changed on its way: not offered.
        check.handleVersionAnswer(200, "http://example.invalid/new", 1800000000);
        QVERIFY(ScriptedAnswers::shownBoxes().isEmpty());
        ScriptedAnswers::answerNextBox(QMessageBox::No);
        check.handleVersionAnswer(200, "HTTPS://example.invalid/new\n", 1800000001);
        QCOMPARE(ScriptedAnswers::shownBoxes().size(), 1);
        QCOMPARE(quit.count(), 0);
        check.handleVersionAnswer(404, "https://example.invalid/new", 1800000002);
        QCOMPARE(ScriptedAnswers::shownBoxes().size(), 1);

        check.handleNoticeAnswer(200, "<A href=\"x\">Sale</A>");
        check.handleNoticeAnswer(500, "<a href=\"y\">ignored</a>");
        check.handleNoticeAnswer(200, "plain text");
        QCOMPARE(g_readFile(data.filePath(QStringLiteral("last-check-version-time"))),
                 QByteArray("1800000002"));
        QCOMPARE(g_readFile(data.filePath(QStringLiteral("last-adv"))),
                 QByteArray("<a style=\"color:#FF8B00;text-decoration:none;\" href=\"x\">Sale</A>"));
    }
};

QTEST_MAIN(TestMessageBoxes)
#include "test_message_boxes.moc"
