#include "CommandTestSupport.h"
#include "shell/DataFolders.h"
#include "shell/FileRoutines.h"
#include "shell/LocalDbNames.h"
#include "shell/UserTexts.h"
#include "support/TestEnv.h"
#include "ui/commands/DeleteCommands.h"
#include "ui/commands/LocalDbCommands.h"
#include "ui/dialogs/LocalDbSelForm.h"

#include <QComboBox>
#include <QCryptographicHash>
#include <QTemporaryDir>
#include <QTest>

using namespace UiCommands;

namespace {
QByteArray storeDigest(const QString& dbName)
{
    return g_fileDigest(QDir(g_localDbFolder(g_testDataFolders(), dbName)).filePath(QLatin1String(kLocalDbStoreFile)));
}

int messageCount(const QString& dbName)
{
    return int(loadLocalDbThrow(g_testDataFolders(), dbName).messages().size());
}

// A database holding the whole sample.
void backUpAll(const QString& name, const QList<_ViberMsg*>& msgs)
{
    g_answerLocalDb(name);
    const LocalDbChange change = backupMessages(nullptr, g_testDataFolders(), name, msgs);
    QVERIFY(change.reload);
}
} // namespace

class TestLocalDbCommands : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    LoadedSample m_sample;

private slots:
    void initTestCase()
    {
        g_requireTestEnvironment();
        QVERIFY(m_tmp.isValid());
        // The data folder outlives a run; every run starts without databases.
        g_delDirCascade(g_testDataFolders().localDbDir().absolutePath());
        m_sample = g_loadSample(m_tmp.filePath(QStringLiteral("container")));
    }

    void init() { g_resetDialogScripts(); }

    void cleanup() { QCOMPARE(ScriptedAnswers::pendingDialogScripts(), 0); }

    void backupCreatesTheDatabaseAndAsksForAReload()
    {
        QStringList listed;
        QString proposed;
        g_answer<LocalDbSelForm>(QStringLiteral("LocalDbSelForm"), [&](LocalDbSelForm& f) {
            auto* cb = f.findChild<QComboBox*>(QStringLiteral("cbLocalDbNames"));
            for (int i = 0; i < cb->count(); ++i)
                listed << cb->itemText(i);
            proposed = cb->currentText();
            f.onBtnOkPress();
            return f.result();
        });
        const QList<_ViberMsg*> msgs = m_sample.data.messages();
        const LocalDbChange change = backupMessages(nullptr, g_testDataFolders(), proposedBackupName(QStringLiteral("Phone")), msgs);
        QCOMPARE(proposed, QStringLiteral("Phone_Backup"));
        QCOMPARE(listed.value(0), QString()); // an empty entry, then the databases
        QCOMPARE(change.dbName, QStringLiteral("Phone_Backup"));
        QVERIFY(change.reload);
        QVERIFY(g_boxTexts().contains(QStringLiteral("Successfully backed up %1 messages.").arg(msgs.size())));
        QCOMPARE(messageCount(change.dbName), int(msgs.size()));
        QVERIFY(g_localDbNames(g_testDataFolders()).contains(QStringLiteral("Phone_Backup")));
    }

    void badNamesAreRefusedAndTheDialogStaysOpen()
    {
        QList<int> resultsAfterEachTry;
        g_answer<LocalDbSelForm>(QStringLiteral("LocalDbSelForm"), [&](LocalDbSelForm& f) {
            auto* cb = f.findChild<QComboBox*>(QStringLiteral("cbLocalDbNames"));
            for (const QString& name : {QStringLiteral("   "), QStringLiteral("a/b"), QStringLiteral("x:y"),
                                        QStringLiteral("..")}) {
                cb->setEditText(name);
                f.onBtnOkPress();
                resultsAfterEachTry << f.result();
            }
            cb->setEditText(QStringLiteral(" Spaced "));
            f.onBtnOkPress();
            return f.result();
        });
        const LocalDbChange change = backupMessages(nullptr, g_testDataFolders(), QString(), m_sample.data.messages().mid(0, 2));
        QCOMPARE(resultsAfterEachTry, (QList<int>{0, 0, 0, 0}));
        const QStringList boxes = g_boxTexts();
        QCOMPARE(boxes.count(ids("IDS_PLEASE_SELECT_DATABASE_OR_INPUT_NEW_NAME")), 1);
        QCOMPARE(boxes.count(ids("IDS_INVALID_LOCALDB_NAME")), 3);
        // Used as typed, spaces included.
        QCOMPARE(change.dbName, QStringLiteral(" Spaced "));
        QVERIFY(QFileInfo(g_testDataFolders().localDbDir().filePath(QStringLiteral(" Spaced ")) + QStringLiteral("/") +
                          QLatin1String(kLocalDbStoreFile))
                    .isFile());
    }

    void aNameDifferingOnlyInCaseMergesIntoTheExistingDatabase()
    {
        backUpAll(QStringLiteral("Merge"), m_sample.data.messages().mid(0, 3));
        const int before = messageCount(QStringLiteral("Merge"));
        g_answerLocalDb(QStringLiteral("MERGE"));
        const LocalDbChange change = backupMessages(nullptr, g_testDataFolders(), QString(), m_sample.data.messages());
        QCOMPARE(change.dbName, QStringLiteral("Merge"));
        QVERIFY(change.reload);
        QVERIFY(messageCount(QStringLiteral("Merge")) > before);
        QVERIFY(!QFileInfo::exists(g_testDataFolders().localDbDir().filePath(QStringLiteral("MERGE"))) ||
                QFileInfo(g_testDataFolders().localDbDir().filePath(QStringLiteral("MERGE"))).canonicalFilePath() ==
                    QFileInfo(g_testDataFolders().localDbDir().filePath(QStringLiteral("Merge"))).canonicalFilePath());
    }

    void aNameMatchingSeveralDatabasesIsRefused()
    {
        backUpAll(QStringLiteral("twin"), m_sample.data.messages().mid(0, 1));
        // A backup into "Twin" would merge into "twin": made by hand, as
        // another tool or an older version could have.
        const QString twin = g_testDataFolders().localDbDir().filePath(QStringLiteral("Twin/Documents"));
        QVERIFY(QDir().mkpath(twin));
        QVERIFY(QFile::copy(QDir(g_localDbFolder(g_testDataFolders(), QStringLiteral("twin"))).filePath(QLatin1String(kLocalDbStoreFile)),
                            twin + QStringLiteral("/Contacts-tellurine.data")));
        ScriptedAnswers::reset();
        ScriptedAnswers::setStandingAnswer(QMessageBox::Ok);
        int firstTry = -1;
        g_answer<LocalDbSelForm>(QStringLiteral("LocalDbSelForm"), [&](LocalDbSelForm& f) {
            auto* cb = f.findChild<QComboBox*>(QStringLiteral("cbLocalDbNames"));
            cb->setEditText(QStringLiteral("TWIN"));
            f.onBtnOkPress();
            firstTry = f.result();
            cb->setEditText(QStringLiteral("Twin"));
            f.onBtnOkPress();
            return f.result();
        });
        const LocalDbChange change = backupMessages(nullptr, g_testDataFolders(), QString(), m_sample.data.messages().mid(0, 3));
        QCOMPARE(firstTry, 0);
        QVERIFY(g_boxTexts().first().contains(QStringLiteral("twin")));
        QCOMPARE(change.dbName, QStringLiteral("Twin"));
        QCOMPARE(messageCount(QStringLiteral("twin")), 1);
    }

    void cancelledBackupLeavesTheDatabaseAsItWas()
    {
        backUpAll(QStringLiteral("Keep"), m_sample.data.messages().mid(0, 4));
        const QByteArray before = storeDigest(QStringLiteral("Keep"));
        const int countBefore = messageCount(QStringLiteral("Keep"));
        ScriptedAnswers::reset();
        ScriptedAnswers::setStandingAnswer(QMessageBox::Ok);
        g_answerLocalDb(QStringLiteral("Keep"));
        g_cancelNextJob();
        const LocalDbChange change = backupMessages(nullptr, g_testDataFolders(), QString(), m_sample.data.messages());
        QCOMPARE(change.dbName, QStringLiteral("Keep"));
        QVERIFY(!change.reload);
        QCOMPARE(g_boxTexts(), QStringList()); // a cancel says nothing
        QCOMPARE(messageCount(QStringLiteral("Keep")), countBefore);
        QCOMPARE(storeDigest(QStringLiteral("Keep")), before);
    }

    void cancellingTheDialogWritesNothing()
    {
        g_answer<LocalDbSelForm>(QStringLiteral("LocalDbSelForm"), [](LocalDbSelForm& f) {
            f.findChild<QComboBox*>(QStringLiteral("cbLocalDbNames"))->setEditText(QStringLiteral("Never"));
            f.reject();
            return f.result();
        });
        const LocalDbChange change = backupMessages(nullptr, g_testDataFolders(), QString(), m_sample.data.messages());
        QCOMPARE(change.dbName, QString());
        QVERIFY(!change.reload);
        QVERIFY(!QFileInfo::exists(g_testDataFolders().localDbDir().filePath(QStringLiteral("Never"))));
    }

    void deletingSelectedMessagesAsksThenReloads()
    {
        backUpAll(QStringLiteral("Del"), m_sample.data.messages());
        ViberData db = loadLocalDbThrow(g_testDataFolders(), QStringLiteral("Del"));
        const int before = int(db.messages().size());
        QList<_ViberMsg*> doomed;
        for (_ViberMsg* m : db.messages())
            if (m->type == MSG_TYPE_TEXT && doomed.size() < 2)
                doomed << m;
        QCOMPARE(doomed.size(), 2);

        ScriptedAnswers::answerNextBox(QMessageBox::No);
        QVERIFY(!deleteMessages(nullptr, g_testDataFolders(), QStringLiteral("Del"), doomed, DeleteWhat::SelectedMessages));
        QCOMPARE(messageCount(QStringLiteral("Del")), before);
        // The question counts the messages and names the database.
        QCOMPARE(ScriptedAnswers::shownBoxes().constLast().text,
                 QStringLiteral("Delete the 2 selected messages from the local database \"Del\"?"));
        ScriptedAnswers::answerNextBox(QMessageBox::No);
        deleteMessages(nullptr, g_testDataFolders(), QStringLiteral("Del"), doomed.mid(0, 1), DeleteWhat::SelectedMessages);
        QCOMPARE(ScriptedAnswers::shownBoxes().constLast().text,
                 QStringLiteral("Delete the 1 selected message from the local database \"Del\"?"));

        const QByteArray digest = storeDigest(QStringLiteral("Del"));
        ScriptedAnswers::answerNextBox(QMessageBox::Yes);
        g_cancelNextJob();
        QVERIFY(!deleteMessages(nullptr, g_testDataFolders(), QStringLiteral("Del"), doomed, DeleteWhat::SelectedMessages));
        QCOMPARE(storeDigest(QStringLiteral("Del")), digest);

        ScriptedAnswers::answerNextBox(QMessageBox::Yes);
        QVERIFY(deleteMessages(nullptr, g_testDataFolders(), QStringLiteral("Del"), doomed, DeleteWhat::SelectedMessages));
        QCOMPARE(messageCount(QStringLiteral("Del")), before - 2);
        QVERIFY(g_boxTexts().contains(QStringLiteral("Successfully deleted 2 messages.")));
    }

    void deletingAChatRemovesItFromTheReloadedDatabase()
    {
        backUpAll(QStringLiteral("DelChat"), m_sample.data.messages());
        ViberData db = loadLocalDbThrow(g_testDataFolders(), QStringLiteral("DelChat"));
        const _ViberChat* group = nullptr;
        for (const _ViberChat* c : db.chats())
            if (!c->groupId.isEmpty())
                group = c;
        QVERIFY(group);
        const QString groupId = group->groupId;
        ScriptedAnswers::answerNextBox(QMessageBox::Yes);
        QVERIFY(deleteMessages(nullptr, g_testDataFolders(), QStringLiteral("DelChat"), group->msgs, DeleteWhat::Chat));
        QVERIFY(g_boxTexts().contains(ids("IDS_CONFIRM_DEL_THIS_CHAT").arg(group->display().toHtmlEscaped(),
                                                                          QStringLiteral("DelChat"))));
        // Held in a variable: the records live as long as their data set.
        const ViberData reloaded = loadLocalDbThrow(g_testDataFolders(), QStringLiteral("DelChat"));
        for (const _ViberChat* c : reloaded.chats())
            QVERIFY(c->groupId != groupId);
    }

    void deletingADatabaseRemovesItsFolderOnlyAfterYes()
    {
        backUpAll(QStringLiteral("Gone"), m_sample.data.messages().mid(0, 2));
        const QString folder = g_localDbFolder(g_testDataFolders(), QStringLiteral("Gone"));
        ScriptedAnswers::answerNextBox(QMessageBox::No);
        QVERIFY(!deleteLocalDb(nullptr, g_testDataFolders(), QStringLiteral("Gone")));
        QVERIFY(QFileInfo(folder).isDir());
        // It asks about the database by name, never about "this database".
        QCOMPARE(g_boxTexts().constLast(),
                 QStringLiteral("Delete the local database \"Gone\" with all its messages? This cannot be undone."));
        ScriptedAnswers::answerNextBox(QMessageBox::Yes);
        QVERIFY(deleteLocalDb(nullptr, g_testDataFolders(), QStringLiteral("Gone")));
        QVERIFY(!QFileInfo::exists(folder));
        QCOMPARE(g_boxTexts().constLast(), QStringLiteral("Deleted the local database \"Gone\"."));
        QVERIFY(!g_localDbNames(g_testDataFolders()).contains(QStringLiteral("Gone")));
    }
};

QTEST_MAIN(TestLocalDbCommands)
#include "test_localdb_commands.moc"
