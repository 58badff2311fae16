// Pictures of a transfer for the documentation: the first local database's
// messages go to the one attached (simulated) iPhone, which takes them only by
// a restore from its backup. The tool plays the person: it answers every box
// and dialog as it comes, and saves the restore question, the transfer's
// result and the window afterwards. Meant to run under Xvfb with a simulated
// phone (scripts/transfer-screenshots.sh makes one).
#include "shell/DataFolders.h"
#include "ui/AppStartup.h"
#include "ui/ItemModelMain.h"
#include "ui/MainWindow.h"
#include "ui/MyTreeView.h"
#include "ui/dialogs/DataSourceSelForm.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QMessageBox>
#include <QSet>
#include <QTimer>
#include <cstdio>
#include <functional>

namespace {
bool saveWidget(QWidget* w, const QString& file)
{
    const bool ok = w->grab().save(file);
    std::fprintf(stderr, "%s %s\n", ok ? "saved" : "could not save", qPrintable(file));
    return ok;
}

// Runs the event loop until done() holds or the time is up.
bool waitFor(const std::function<bool()>& done, int ms)
{
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return done();
}

const _IOSDeviceItemNode* loadedPhone(const MainWindow& w)
{
    for (const _ItemNode* n : w.treeModel()->rootDevice()->children) {
        const auto* phone = static_cast<const _IOSDeviceItemNode*>(n);
        if (n->type == ITEMNODE_IOS_DEVICE && phone->device && phone->loaded)
            return phone;
    }
    return nullptr;
}

// The person in front of the window: answers what is asked, saving the
// boxes worth a picture.
class Player : public QObject
{
public:
    explicit Player(const QDir& out) : m_out(out)
    {
        connect(&m_timer, &QTimer::timeout, this, &Player::look);
        m_timer.start(150);
    }
    QStringList saved;

private:
    void look()
    {
        QWidget* top = QApplication::activeModalWidget();
        if (!top || m_seen.contains(top) || !top->isVisible())
            return;
        m_seen.insert(top);
        if (auto* box = qobject_cast<QMessageBox*>(top)) {
            const QString text = box->text();
            std::fprintf(stderr, "box: %s\n", qPrintable(text));
            QString file;
            if (box->button(QMessageBox::Yes) && text.contains(QLatin1String("restarts")))
                file = QStringLiteral("restore-question.png");
            else if (text.startsWith(QLatin1String("Successfully transferred")) ||
                     text.startsWith(QLatin1String("Nothing was added")))
                file = QStringLiteral("transfer-result.png");
            if (!file.isEmpty() && saveWidget(box, m_out.filePath(file)))
                saved << file;
            // A phone without Viber messages is asked about: it has none.
            QAbstractButton* answer = box->button(QMessageBox::Yes);
            if (text.contains(QLatin1String("Does it have any Viber messages")))
                answer = box->button(QMessageBox::No);
            if (!answer)
                answer = box->button(QMessageBox::Ok);
            if (answer)
                QTimer::singleShot(0, answer, &QAbstractButton::click);
            else
                QTimer::singleShot(0, box, &QWidget::close);
        } else if (auto* chooser = qobject_cast<DataSourceSelForm*>(top)) {
            QTimer::singleShot(0, chooser, &DataSourceSelForm::onBtnOkPress);
        } else if (top->objectName() != QLatin1String("ProgressForm")) {
            std::fprintf(stderr, "unexpected dialog %s: rejected\n", qPrintable(top->objectName()));
            QTimer::singleShot(0, top, [top] {
                if (auto* d = qobject_cast<QDialog*>(top))
                    d->reject();
            });
        }
    }

    QDir m_out;
    QTimer m_timer;
    QSet<const QWidget*> m_seen; // boxes already answered
};
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const DataFolders folders = g_resolveDataFolders();
    if (const int failed = g_prepareApplication(folders))
        return failed;
    const QDir out(QString::fromLocal8Bit(argv[1]));
    out.mkpath(QStringLiteral("."));

    Player player(out);
    MainWindow w(folders);
    w.resize(1280, 760);
    w.show();
    const ItemModelMain* tree = w.treeModel();
    if (tree->rootLocalDb()->children.isEmpty()) {
        std::fprintf(stderr, "no local database in %s\n", qPrintable(folders.localDbDir().absolutePath()));
        return 1;
    }
    if (!waitFor([&] { return loadedPhone(w) != nullptr; }, 120000)) {
        std::fprintf(stderr, "no simulated iPhone arrived and loaded\n");
        return 1;
    }
    // The arrival selects the phone once the view has settled; the user then
    // opens the database.
    waitFor([] { return false; }, 1000);
    const _ItemNode* db = tree->rootLocalDb()->children.first();
    w.sourceTree()->setCurrentIndex(tree->indexOfItemNode(db));
    // A large database is read in the background; its commands wait for it.
    waitFor([db] { return static_cast<const _LocalDbItemNode*>(db)->loaded; }, 120000);
    bool finished = false;
    QTimer::singleShot(0, &w, [&] {
        w.trigger(MainWindow::CMD_DB2I, MainWindow::SCOPE_ALL);
        finished = true;
    });
    waitFor([&] { return finished; }, 300000);

    // The phone's node afterwards, its first chat open.
    bool ok = finished && player.saved.size() == 2;
    if (const _IOSDeviceItemNode* phone = loadedPhone(w); phone && !phone->children.isEmpty()) {
        w.sourceTree()->setCurrentIndex(tree->indexOfItemNode(phone->children.first()));
        waitFor([] { return false; }, 3000);
        ok = saveWidget(&w, out.filePath(QStringLiteral("transfer-target.png"))) && ok;
    } else {
        ok = false;
    }
    if (!ok)
        std::fprintf(stderr, "not every picture was taken (%s)\n", qPrintable(player.saved.join(u',')));
    return ok ? 0 : 1;
}
