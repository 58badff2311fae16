#include "CommandTestSupport.h"

#include "stores/IOSViberDb.h"
#include "ui/ProgressForm.h"
#include "ui/dialogs/LocalDbSelForm.h"
#include "ui/dialogs/PasscodeDlg.h"

#include <QComboBox>
#include <QDateTime>
#include <QLineEdit>
#include <QMessageBox>

LoadedSample g_loadSample(const QString& dir)
{
    LoadedSample s;
    ContainerFixture c(dir);
    s.keys = g_fillSampleStore(c);
    c.finish();
    s.root = c.root();
    IOSViberDb db(s.root, QStringLiteral("Documents/Contacts.data"), false);
    db.setPreviewRoot(QDir(s.root.filePath(QStringLiteral("../previews"))));
    s.data = db.loadDataThrow();
    return s;
}

void g_resetDialogScripts()
{
    ScriptedAnswers::reset();
    ScriptedAnswers::setStandingAnswer(QMessageBox::Ok);
    ScriptedAnswers::setRejectUnscriptedDialogs(true);
}

void g_answerPasscodes(const QStringList& typed, QStringList* fieldAfter)
{
    g_answer<PasscodeDlg>(QStringLiteral("PasscodeDlg"), [typed, fieldAfter](PasscodeDlg& d) {
        auto* field = d.findChild<QLineEdit*>(QStringLiteral("txtPasscode"));
        for (const QString& password : typed) {
            field->setText(password);
            d.btnOKPressed();
            *fieldAfter << field->text();
            if (d.result() == QDialog::Accepted)
                break;
        }
        return d.result();
    });
}

void g_answerLocalDb(const QString& name)
{
    g_answer<LocalDbSelForm>(QStringLiteral("LocalDbSelForm"), [name](LocalDbSelForm& f) {
        f.findChild<QComboBox*>(QStringLiteral("cbLocalDbNames"))->setEditText(name);
        f.onBtnOkPress();
        return f.result();
    });
}

void g_cancelNextJob()
{
    g_answer<ProgressForm>(QStringLiteral("ProgressForm"), [](ProgressForm& f) {
        f.cancel();
        return 0;
    });
}

QStringList g_boxTexts()
{
    QStringList texts;
    for (const ScriptedAnswers::ShownBox& b : ScriptedAnswers::shownBoxes())
        texts << b.text;
    return texts;
}

QString g_localTime(double recordTime, int addSeconds)
{
    const qint64 unix = qint64(recordTime) + 978307200 + addSeconds;
    return QDateTime::fromSecsSinceEpoch(unix).toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}
