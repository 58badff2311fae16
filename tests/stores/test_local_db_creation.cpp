#include "sqlite/Sqlite3DB.h"
#include "shell/LocalDbNames.h"
#include "stores/IOSViberDb.h"
#include "stores/LocalDbSchema.h"
#include "support/TestEnv.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sqlite3.h>

namespace {
const char* const kKillAtEnv = "FERROWICK_TEST_KILL_AT_STEP";
const char* const kStoreEnv = "FERROWICK_TEST_STORE";

// The child's part: starts creating the store and is killed (SIGKILL, no
// clean-up of any kind) right after the chosen statement.
int createAndDie()
{
    const int killAt = qEnvironmentVariableIntValue(kKillAtEnv);
    try {
        Sqlite3DB db;
        db.openThrow(qEnvironmentVariable(kStoreEnv), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        g_ensureLocalDbSchemaThrow(db, QStringLiteral("child"), [&](int step) {
            if (step == killAt)
                std::raise(SIGKILL);
        });
    } catch (const std::exception& e) {
        fprintf(stderr, "%s\n", e.what());
        return 3;
    }
    return 0;
}

QString openError(const QDir& root)
{
    IOSViberDb db(root, QLatin1String(kLocalDbStoreFile), true);
    try {
        db.loadDataThrow();
        if (db.entities().value(QStringLiteral("Conversation")) == 0)
            return QStringLiteral("no entities");
    } catch (const std::runtime_error& e) {
        return QString::fromUtf8(e.what());
    }
    return QString();
}

// Runs the first n statements of the old creation script one by one outside
// a transaction, as a cut-short creation used to leave them.
void oldStyleCreation(const QString& path, int n)
{
    QFile script(QStringLiteral(":res/ios_viber_db.sql"));
    QVERIFY(script.open(QIODevice::ReadOnly));
    const QList<QByteArray> statements = script.readAll().split(';');
    Sqlite3DB db;
    db.openThrow(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    for (int i = 0; i < n; ++i) {
        QString err;
        QCOMPARE(db.exec(QString::fromUtf8(statements.at(i)), err), 0);
    }
}
} // namespace

class TestLocalDbCreation : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    int m_n = 0;

    QDir newDb(const QString& name = QString())
    {
        const QDir root(m_tmp.filePath(name.isEmpty() ? QStringLiteral("db%1").arg(++m_n) : name));
        root.mkpath(QStringLiteral("Documents"));
        return root;
    }

private slots:
    void initTestCase()
    {
        g_requireTestEnvironment();
        QVERIFY(m_tmp.isValid());
    }

    void killedAtEveryStepTheStoreIsMadeAgain()
    {
        const int steps = g_localDbSchemaSteps();
        QVERIFY(steps >= 27);
        for (int k = 1; k <= steps; ++k) {
            const QDir root = newDb();
            const QString store = root.filePath(QLatin1String(kLocalDbStoreFile));
            QProcess child;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QLatin1String(kKillAtEnv), QString::number(k));
            env.insert(QLatin1String(kStoreEnv), store);
            child.setProcessEnvironment(env);
            child.start(QCoreApplication::applicationFilePath(), {});
            QVERIFY(child.waitForFinished(60000));
            QCOMPARE(child.exitStatus(), QProcess::CrashExit);
            QVERIFY(QFileInfo::exists(store));
            QCOMPARE(openError(root), QString());
            // And it is a whole store from then on.
            QCOMPARE(openError(root), QString());
        }
    }

    void cutShortStoresWithoutRowsAreRemade()
    {
        // What the creation outside a transaction left: 20 objects, or every
        // table but no entity rows, or a file of no bytes.
        for (int n : {0, 1, 20, 26}) {
            const QDir root = newDb();
            oldStyleCreation(root.filePath(QLatin1String(kLocalDbStoreFile)), n);
            QCOMPARE(openError(root), QString());
        }
    }

    void cutShortStoresWithRowsAreDamaged()
    {
        const QDir root = newDb(QStringLiteral("Holiday 2024"));
        const QString store = root.filePath(QLatin1String(kLocalDbStoreFile));
        oldStyleCreation(store, 20);
        {
            Sqlite3DB db;
            db.openThrow(store, SQLITE_OPEN_READWRITE);
            db.executeThrow("insert into ZCONVERSATION (Z_PK, ZNAME) values (1, 'kept')");
        }
        const QString err = openError(root);
        QVERIFY2(err.contains(QLatin1String("\"Holiday 2024\" is damaged")), qPrintable(err));
        // Nothing was dropped.
        Sqlite3DB db;
        db.openThrow(store, SQLITE_OPEN_READWRITE);
        Sqlite3Cursor c = db.queryThrow("select ZNAME from ZCONVERSATION");
        QVERIFY(c.moveNext());
        QCOMPARE(c.getText(0), QStringLiteral("kept"));
    }

    void aLinkedStoreIsNotWrittenThrough()
    {
        QTemporaryDir elsewhere;
        const QString target = elsewhere.filePath(QStringLiteral("victim.data"));
        QVERIFY(g_writeFile(target, QByteArray()));
        const QDir root = newDb();
        QVERIFY(QFile::link(target, root.filePath(QLatin1String(kLocalDbStoreFile))));
        QVERIFY(!openError(root).isEmpty());
        QCOMPARE(QFileInfo(target).size(), 0);
    }
};

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsSet(kKillAtEnv))
        return createAndDie();
    QCoreApplication app(argc, argv);
    TestLocalDbCreation test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_local_db_creation.moc"
