// Drives the main window as a person would, on a data folder with fixture
// local databases and a stored device copy; every box and file dialog is
// answered through ScriptedAnswers.
#include "CommandTestSupport.h"
#include "device/IOSBackupTemp.h"
#include "itunes/BackupManifest.h"
#include "export/ExportPaths.h"
#include "fixtures/DesktopFixture.h"
#include "fixtures/StoreFixture.h"
#include "fixtures/ViberBackupFixture.h"
#include "jobs/BackupViberMsgThread.h"
#include "shell/DataFolders.h"
#include "shell/FileRoutines.h"
#include "shell/LocalDbNames.h"
#include "shell/UserTexts.h"
#include "stores/DemoHistory.h"
#include "stores/IOSViberDb.h"
#include "stores/PCViberDb.h"
#include "support/TestEnv.h"
#include "ui/ErrorReport.h"
#include "ui/ItemModelMain.h"
#include "ui/ItemModelSms.h"
#include "ui/MainWindow.h"
#include "ui/MyTreeView.h"
#include "ui/ProgressForm.h"
#include "ui/ScriptedAnswers.h"
#include "ui/Tips.h"
#include "ui/VBBubbleViewMgr.h"
#include "ui/WelcomePanel.h"
#include "ui/commands/ImportCommands.h"
#include "ui/commands/LocalDbCommands.h"
#include "ui/dialogs/DataSourceSelForm.h"
#include "ui/dialogs/ExportMessagesDlg.h"
#include "ui/dialogs/ItemModelLoadBk.h"
#include "ui/dialogs/LoadItunesBackupDlg.h"
#include "ui/dialogs/LocalDbSelForm.h"
#include "ui/dialogs/PasscodeDlg.h"

#include <QAction>
#include <QCollator>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSpinBox>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

namespace {
QByteArray g_readBytesForTest(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const QString kLongTitle = QStringLiteral("Abcdefghijklmnopqrstuvwxy"); // 25 characters
const QString kShortTitle = QStringLiteral("Abcdefghijklmnopqrst");    // 20 characters

QStringList texts(const QList<QAction*>& actions)
{
    QStringList out;
    for (const QAction* a : actions)
        out << (a->isSeparator() ? QStringLiteral("|") : a->text());
    return out;
}

QStringList enabledTexts(const QMenu* menu)
{
    QStringList out;
    for (const QAction* a : menu->actions()) {
        if (a->isEnabled())
            out << a->text();
    }
    return out;
}

// The export dialog writes path in the given format.
void answerExport(const QString& path, ExportFilter filter = EXPORT_FILTER_CSV)
{
    g_answer<ExportMessagesDlg>(QStringLiteral("ExportMessagesDlg"), [path, filter](ExportMessagesDlg& d) {
        d.findChild<QLineEdit*>(QStringLiteral("txtPath"))->setText(path);
        d.findChild<QComboBox*>(QStringLiteral("cbFormat"))->setCurrentIndex(filter);
        d.onBtnOkPress();
        return d.result();
    });
}

// The name the backup dialog proposed, kept as it accepts it.
void answerLocalDbAsProposed(QString* proposed)
{
    g_answer<LocalDbSelForm>(QStringLiteral("LocalDbSelForm"), [proposed](LocalDbSelForm& f) {
        *proposed = f.findChild<QComboBox*>(QStringLiteral("cbLocalDbNames"))->currentText();
        f.onBtnOkPress();
        return f.result();
    });
}

QStringList boxTexts()
{
    QStringList out;
    for (const auto& b : ScriptedAnswers::shownBoxes())
        out << b.text;
    return out;
}
} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    QString m_demo;
    int m_demoTotal = 0;
    // The data folder as the fixtures leave it, copied into place before
    // every test so that each runs alone and in any order.
    QString m_fixtureData;

    static QModelIndex child(const ItemModelMain* tree, const QModelIndex& parent, const QString& name)
    {
        for (int r = 0; r < tree->rowCount(parent); ++r) {
            const QModelIndex i = tree->index(r, 0, parent);
            if (tree->data(i).toString() == name)
                return i;
        }
        return QModelIndex();
    }
    static QModelIndex localDb(const MainWindow& w, const QString& name)
    {
        const ItemModelMain* tree = w.treeModel();
        return child(tree, tree->indexOfItemNode(tree->rootLocalDb()), name);
    }
    static QModelIndex device(const MainWindow& w, const QString& name)
    {
        const ItemModelMain* tree = w.treeModel();
        return child(tree, tree->indexOfItemNode(tree->rootDevice()), name);
    }
    static void selectRows(MainWindow& w, const QList<int>& rows)
    {
        for (int r : rows)
            w.messageList()->selectionModel()->select(w.messageModel()->indexOfPos(r),
                                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    static void press(QWidget* widget)
    {
        QMouseEvent event(QEvent::MouseButtonPress, QPointF(5, 5), widget->mapToGlobal(QPointF(5, 5)),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(widget, &event);
    }
    // The count the last export box reported.
    static QString lastBox() { return boxTexts().isEmpty() ? QString() : boxTexts().last(); }

    void makeFixtures()
    {
        // The demo history as a local database, a folder without a store,
        // a database with chats of long and short names, a stored device copy.
        m_demo = m_tmp.filePath(QStringLiteral("demo"));
        g_writeDemoContainerThrow(m_demo);
        IOSViberDb demo(QDir(m_demo), QStringLiteral("Documents/Contacts.data"), false);
        const ViberData data = demo.loadDataThrow();
        m_demoTotal = int(data.messages().size());
        {
            ProgressForm form{QString()};
            BackupViberMsgThread job(data.messages(), QDir(g_testDataFolders().localDbDir().filePath(QStringLiteral("Demo"))), form);
            QCOMPARE(g_execJob(job, form), 1);
        }
        QVERIFY(QDir().mkpath(g_testDataFolders().localDbDir().filePath(QStringLiteral("No store/Documents"))));

        ContainerFixture names(g_testDataFolders().localDbDir().filePath(QStringLiteral("Names")), IOSStoreWriter::LocalDb);
        for (const QString& title : {kLongTitle, kShortTitle}) {
            const qint64 p = names.store().addPerson(QStringLiteral("+1555%1").arg(title.size()), {}, 0, title);
            const qint64 chat = names.store().addChat(700000000, {p});
            IOSStoreWriter::Message m;
            m.chat = chat;
            m.date = 700000000;
            m.text = QStringLiteral("hello ") + title;
            m.person = p;
            names.store().addMessage(m);
        }
        names.finish();

        const QString copy = g_testDataFolders().root().filePath(QStringLiteral("virtual_ios/Old Phone"));
        QVERIFY(g_copyDirThrowless(m_demo, copy));
    }

    static bool g_copyDirThrowless(const QString& from, const QString& to)
    {
        QDir().mkpath(to);
        for (const QFileInfo& fi : QDir(from).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
            const QString target = QDir(to).filePath(fi.fileName());
            if (fi.isDir() ? !g_copyDirThrowless(fi.filePath(), target) : !QFile::copy(fi.filePath(), target))
                return false;
        }
        return true;
    }

private slots:
    void initTestCase()
    {
        g_requireTestEnvironment();
        const QString data = g_testDataFolders().root().absolutePath();
        g_delDirCascade(data);
        g_resetDialogScripts(); // the fixture job's progress form is answered too
        makeFixtures();
        m_fixtureData = m_tmp.filePath(QStringLiteral("fixture-data"));
        QVERIFY(g_copyDirThrowless(data, m_fixtureData));
    }

    void init()
    {
        g_resetDialogScripts();
        const QString data = g_testDataFolders().root().absolutePath();
        g_delDirCascade(data);
        QVERIFY(!QFileInfo::exists(data));
        QVERIFY(g_copyDirThrowless(m_fixtureData, data));
    }

    void cleanup() { QCOMPARE(ScriptedAnswers::pendingDialogScripts(), 0); }

    // First run: two roots, nothing to act on but the imports.
    void startsEmpty()
    {
        QTemporaryDir dir;
        MainWindow w{DataFolders(dir.path())};
        const ItemModelMain* tree = w.treeModel();
        QCOMPARE(tree->rowCount(), 2);
        QCOMPARE(tree->rowCount(tree->indexOfItemNode(tree->rootDevice())), 0);
        QCOMPARE(tree->rowCount(tree->indexOfItemNode(tree->rootLocalDb())), 0);
        QCOMPARE(w.countText(), QStringLiteral("Messages: 0"));
        const MainActions& a = w.actions();
        for (QAction* act : {a.actBackup, a.actI2i, a.actDb2i, a.actExtractMedia, a.actExport, a.actExportCall,
                             a.actPrint, a.actDelete})
            QVERIFY2(!act->isEnabled(), qPrintable(act->text()));
        QVERIFY(a.actImportiTunes->isEnabled());
        QCOMPARE(w.messageList()->selectionMode(), QAbstractItemView::ExtendedSelection);

        // The tool bar in its two groups, each followed by a separator.
        auto* bar = w.findChild<QToolBar*>(QStringLiteral("mainToolBar"));
        QCOMPARE(bar->actions(), (QList<QAction*>{a.actBackup, a.actI2i, a.actDb2i, a.actImportiTunes,
                                                  bar->actions().at(4), a.actExtractMedia, a.actExport,
                                                  a.actExportCall, a.actPrint, a.actDelete, bar->actions().at(10)}));
        QVERIFY(bar->actions().at(4)->isSeparator() && bar->actions().at(10)->isSeparator());
        // The File menu holds the same commands with their long texts, then
        // the imports and the folder; without a web server configured the
        // pages it would open are not offered.
        const QList<QMenu*> menus = w.menuBar()->findChildren<QMenu*>(QString(), Qt::FindDirectChildrenOnly);
        QCOMPARE(menus.size(), 3);
        QCOMPARE(texts(menus.at(0)->actions()),
                 (QStringList{ids("IDS_MI_BACKUP_TOOLBAR"), ids("IDS_MI_I2I_TOOLBAR"), ids("IDS_MI_DB2I_TOOLBAR"),
                              QStringLiteral("|"), ids("IDS_MI_EXTRACT_MEDIA_TOOLBAR"), ids("IDS_MI_EXPORT_TOOLBAR"),
                              ids("IDS_MI_EXPORT_CALL_TOOLBAR"), ids("IDS_MI_PRINT_TOOLBAR"),
                              ids("IDS_MI_DELETE_TOOLBAR"), QStringLiteral("|"), ids("IDS_MI_IMPORT_FROM_ITUNES"),
                              ids("IDS_MI_IMPORT_FROM_PC"), ids("IDS_MI_OPEN_DB_FOLDER"), QStringLiteral("|"),
                              ids("IDS_MI_EXIT")}));
        QCOMPARE(menus.at(0)->actions().at(0), a.actBackup);
        if (!g_webHostConfigured()) {
            for (QMenu* menu : menus.mid(1)) {
                for (const QAction* act : menu->actions())
                    QVERIFY2(act->isVisible() == (act->text() == ids("IDS_CLEAR_CACHE") ||
                                                  act->text() == ids("IDS_MI_ABOUT")),
                             qPrintable(act->text()));
            }
        }
        QVERIFY(ScriptedAnswers::shownBoxes().isEmpty());
    }

    // A first start says what to do and every way it offers works: the
    // backup chooser says where it looked, the Viber Desktop import names
    // its folder, and the demo history opens as a stored iPhone.
    void firstStartSaysWhatToDo()
    {
        QTemporaryDir dir;
        const DataFolders folders(dir.path());
        MainWindow w(folders);
        WelcomePanel* welcome = w.welcomePanel();
        QVERIFY(welcome->isVisibleTo(&w));
        QVERIFY(!w.messageList()->isVisibleTo(&w));

        QString note;
        bool noteShown = false;
        g_answer<LoadItunesBackupDlg>(QStringLiteral("LoadItunesBackupDlg"), [&](LoadItunesBackupDlg& d) {
            note = d.emptyNote()->text();
            noteShown = d.emptyNote()->isVisibleTo(&d) && d.model()->rowCount() == 0;
            return int(QDialog::Rejected);
        });
        welcome->importBackupButton()->click();
        QVERIFY(noteShown);
        QVERIFY2(note.contains(QDir::toNativeSeparators(BackupManifest::iTunesBackupDir().absolutePath()).toHtmlEscaped()),
                 qPrintable(note));
        QVERIFY(note.contains(QStringLiteral("<a href")));

        ScriptedAnswers::answerNextBox(QMessageBox::No);
        welcome->importDesktopButton()->click();
        QVERIFY(lastBox().contains(QDir::toNativeSeparators(UiCommands::viberPCDir().absolutePath()).toHtmlEscaped()));
        QVERIFY(welcome->isVisibleTo(&w));

        welcome->demoButton()->click();
        QCoreApplication::processEvents();
        const QModelIndex demo = device(w, QStringLiteral("Demo iPhone"));
        QVERIFY(demo.isValid());
        QCOMPARE(w.sourceTree()->currentIndex(), demo);
        QVERIFY(!welcome->isVisibleTo(&w));
        QVERIFY(w.messageList()->isVisibleTo(&w));
        QVERIFY(w.messageModel()->rowCount() > 100);
        // All chats of the phone at once: every bubble says whose it is.
        QVERIFY(w.messageModel()->mixedChats());
        QVERIFY(w.bubbles()->pageHtml().contains(QStringLiteral("<div class=\"handle\">To ")));
        QVERIFY(QFileInfo(folders.storedDevicesDir().filePath(QStringLiteral("Demo iPhone/Documents/Contacts.data"))).isFile());
        // Asked again, it shows the same copy rather than a second one.
        welcome->demoButton()->click();
        QCoreApplication::processEvents();
        QCOMPARE(w.treeModel()->rowCount(w.treeModel()->indexOfItemNode(w.treeModel()->rootDevice())), 1);
    }

    // Window size, splitter and the export dialog's choices come back on the
    // next run from settings.ini in the data folder; a damaged file is ignored.
    void remembersLayoutAndExportChoices()
    {
        QTemporaryDir dir;
        const DataFolders folders(dir.path());
        QList<int> sizes;
        {
            MainWindow w(folders);
            w.show();
            w.resize(720, 520); // the offscreen screen is 800 x 600
            auto* splitter = w.findChild<QSplitter*>(QStringLiteral("splitter"));
            w.openDemo();
            QCoreApplication::processEvents();
            splitter->setSizes({150, 450, 300, 0});
            QCoreApplication::processEvents();
            sizes = splitter->sizes();

            ExportMessagesDlg dlg(QDir::home().filePath(QStringLiteral("chats(1)")));
            dlg.findChild<QComboBox*>(QStringLiteral("cbFormat"))->setCurrentIndex(EXPORT_FILTER_CSV);
            dlg.findChild<QLineEdit*>(QStringLiteral("txtPath"))->setText(dir.filePath(QStringLiteral("out/messages.csv")));
            QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("out"))));
            dlg.findChild<QCheckBox*>(QStringLiteral("chkKeepEmoji"))->setChecked(true);
            dlg.onBtnOkPress();
            QVERIFY(dlg.choice().options.keepEmoji);
            w.close();
        }
        const QString ini = dir.filePath(QStringLiteral("settings.ini"));
        QVERIFY(QFileInfo(ini).isFile());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("settings.ini")});
        {
            MainWindow w(folders);
            w.show();
            QCOMPARE(w.size(), QSize(720, 520));
            QCoreApplication::processEvents();
            QCOMPARE(w.findChild<QSplitter*>(QStringLiteral("splitter"))->sizes(), sizes);
            QVERIFY(device(w, QStringLiteral("Demo iPhone")).isValid());
            ExportMessagesDlg dlg(QDir::home().filePath(QStringLiteral("chats(2)")));
            QCOMPARE(dlg.findChild<QComboBox*>(QStringLiteral("cbFormat"))->currentIndex(), int(EXPORT_FILTER_CSV));
            QCOMPARE(dlg.findChild<QLineEdit*>(QStringLiteral("txtPath"))->text(),
                     QDir(dir.filePath(QStringLiteral("out"))).filePath(QStringLiteral("chats(2)")));
            auto* keep = dlg.findChild<QCheckBox*>(QStringLiteral("chkKeepEmoji"));
            QVERIFY(keep->isChecked() && keep->isEnabled());
            // The last source gone, the welcome panel takes the panes' room
            // (the splitter kept from the last run had none for it).
            w.sourceTree()->setCurrentIndex(device(w, QStringLiteral("Demo iPhone")));
            w.trigger(MainWindow::CMD_UNMOUNT_DEVICE, MainWindow::SCOPE_ALL);
            QCoreApplication::processEvents();
            QVERIFY(w.welcomePanel()->isVisible());
            QVERIFY2(w.welcomePanel()->width() > 300, qPrintable(QString::number(w.welcomePanel()->width())));
            // Formats that draw emoji take no such choice.
            dlg.findChild<QComboBox*>(QStringLiteral("cbFormat"))->setCurrentIndex(EXPORT_FILTER_PDF);
            QVERIFY(!keep->isEnabled());
            dlg.onBtnOkPress();
            QVERIFY(!dlg.choice().options.keepEmoji);
        }
        QFile damaged(ini);
        QVERIFY(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
        damaged.write("[window]\nsize=@Size(2000000 -5)\nsplitter=@ByteArray(garbage)\n[export]\nformat=99\npageSize=-4\n");
        damaged.close();
        MainWindow w(folders);
        QVERIFY(w.width() >= 640 && w.width() <= 4096 && w.height() >= 400);
        ExportMessagesDlg dlg(QDir::home().filePath(QStringLiteral("chats(3)")));
        QVERIFY(dlg.findChild<QComboBox*>(QStringLiteral("cbFormat"))->currentIndex() < ExportMessagesDlg::filters().size());
        QVERIFY(dlg.findChild<QSpinBox*>(QStringLiteral("spinPageSize"))->value() >= 0);
    }

    // At 1024 x 700 every tool-bar button gets the room its caption needs
    // (a squeezed button cuts its caption short); on a wide window the
    // contact column grows with the list, until the user sizes it.
    void toolBarCaptionsAndColumnsFit()
    {
        QTemporaryDir dir;
        MainWindow w{DataFolders(dir.path())};
        w.resize(1024, 700);
        w.show();
        QCoreApplication::processEvents();
        auto* bar = w.findChild<QToolBar*>(QStringLiteral("mainToolBar"));
        int buttons = 0;
        for (QToolButton* b : bar->findChildren<QToolButton*>()) {
            if (!b->defaultAction() || b->defaultAction()->isSeparator() || !bar->actions().contains(b->defaultAction()))
                continue;
            ++buttons;
            QVERIFY2(b->isVisible(), qPrintable(b->defaultAction()->text()));
            QVERIFY2(b->width() >= b->sizeHint().width(), qPrintable(b->defaultAction()->text()));
            // The tool tip keeps the whole command.
            QCOMPARE(b->toolTip(), b->defaultAction()->text());
        }
        QCOMPARE(buttons, 9);

        w.openDemo();
        QCoreApplication::processEvents();
        QTreeView* list = w.messageList();
        const int narrow = list->columnWidth(ItemModelSms::COL_CONTACT);
        w.resize(1900, 1000);
        QCoreApplication::processEvents();
        const int wide = list->columnWidth(ItemModelSms::COL_CONTACT);
        QVERIFY2(wide > narrow && wide >= list->viewport()->width() / 4, qPrintable(QString::number(wide)));
        QVERIFY(list->columnWidth(ItemModelSms::COL_CONTENT) > wide / 2);
        list->setColumnWidth(ItemModelSms::COL_CONTACT, 150); // by hand: kept from now on
        w.resize(1500, 900);
        QCoreApplication::processEvents();
        QCOMPARE(list->columnWidth(ItemModelSms::COL_CONTACT), 150);
    }

    void listsDatabasesAndStoredCopies()
    {
        ScriptedAnswers::reset();
        ScriptedAnswers::setStandingAnswer(QMessageBox::Ok);
        MainWindow w(g_testDataFolders());
        const ItemModelMain* tree = w.treeModel();
        const QModelIndex dbs = tree->indexOfItemNode(tree->rootLocalDb());
        QStringList names;
        for (int r = 0; r < tree->rowCount(dbs); ++r)
            names << tree->data(tree->index(r, 0, dbs)).toString();
        QCOMPARE(names, (QStringList{QStringLiteral("Demo"), QStringLiteral("Names")}));
        // Databases are read on first selection; stored copies at once.
        QCOMPARE(tree->rowCount(localDb(w, QStringLiteral("Demo"))), 0);
        const QModelIndex phone = device(w, QStringLiteral("Old Phone"));
        QVERIFY(phone.isValid());
        QCOMPARE(tree->rowCount(phone), 11);
        QVERIFY(ScriptedAnswers::shownBoxes().isEmpty());
    }

    void selectingShowsListTitleAndPicture()
    {
        MainWindow w(g_testDataFolders());
        const ItemModelMain* tree = w.treeModel();
        auto* title = w.findChild<QLabel*>(QStringLiteral("lbChatName"));
        const QModelIndex names = localDb(w, QStringLiteral("Names"));
        w.sourceTree()->setCurrentIndex(names);
        QCOMPARE(title->text(), QStringLiteral("All"));
        QCOMPARE(w.countText(), QStringLiteral("Messages: 2"));
        QCOMPARE(w.bubbles()->pageHtml().count(QStringLiteral("hello ")), 2);

        // Selecting a database already read swaps the list in one reset.
        w.sourceTree()->setCurrentIndex(tree->indexOfItemNode(tree->rootDevice()));
        QSignalSpy resets(w.messageModel(), &QAbstractItemModel::modelReset);
        w.sourceTree()->setCurrentIndex(names);
        QCOMPARE(resets.size(), 1);
        QCOMPARE(w.countText(), QStringLiteral("Messages: 2"));

        w.sourceTree()->setCurrentIndex(child(tree, names, kLongTitle));
        QCOMPARE(title->text(), kLongTitle.left(17) + QStringLiteral("..."));
        QCOMPARE(w.messageModel()->rowCount(), 1);
        QVERIFY(w.currentChat());
        // No picture file: the label stays hidden.
        QVERIFY(w.findChild<QLabel*>(QStringLiteral("lbChatImg"))->isHidden());
        w.sourceTree()->setCurrentIndex(child(tree, names, kShortTitle));
        QCOMPARE(title->text(), kShortTitle);

        // A contact's picture shows, and goes again for a group (which has
        // no one picture) instead of staying from the chat before.
        auto* picture = w.findChild<QLabel*>(QStringLiteral("lbChatImg"));
        const QModelIndex demo = localDb(w, QStringLiteral("Demo"));
        w.sourceTree()->setCurrentIndex(demo);
        w.sourceTree()->setCurrentIndex(child(tree, demo, QStringLiteral("Yuki Sato")));
        QVERIFY(!picture->isHidden());
        QCOMPARE(picture->pixmap().width(), 32);
        // A click on it opens the picture file.
        QStringList opened;
        w.setOpener([&](const QString& path) { opened << path; });
        press(picture);
        QCOMPARE(opened.size(), 1);
        QVERIFY(QFileInfo(opened.first()).isFile());
        QCOMPARE(opened.first(), w.currentChat()->members.cbegin().value()->picturePath);

        w.sourceTree()->setCurrentIndex(child(tree, demo, QStringLiteral("Family")));
        QVERIFY(picture->isHidden());
        press(picture);
        QCOMPARE(opened.size(), 1);
        QCOMPARE(title->text(), QStringLiteral("Family"));

        // A root resets the view.
        w.sourceTree()->setCurrentIndex(tree->indexOfItemNode(tree->rootDevice()));
        QCOMPARE(w.countText(), QStringLiteral("Messages: 0"));
        QVERIFY(!w.currentChat());
        QVERIFY(title->text().isEmpty());
    }

    void sortsByTheColumnClicked()
    {
        MainWindow w(g_testDataFolders());
        w.sourceTree()->setCurrentIndex(localDb(w, QStringLiteral("Demo")));
        QCOMPARE(w.messageModel()->rowCount(), m_demoTotal);
        QHeaderView* header = w.messageList()->header();
        const auto shown = [&] { return w.messageModel()->messages(); };
        QVERIFY(std::is_sorted(shown().cbegin(), shown().cend(), compareViberMsgAsc));
        header->setSortIndicator(0, Qt::DescendingOrder);
        QVERIFY(std::is_sorted(shown().cbegin(), shown().cend(), compareViberMsgDesc));
        // The bubbles follow: the first page now starts with the newest message.
        QVERIFY(w.bubbles()->pageHtml().contains(shown().first()->summary().toHtmlEscaped().left(10)));
        // Coming back to the source keeps the order chosen.
        w.sourceTree()->setCurrentIndex(w.treeModel()->indexOfItemNode(w.treeModel()->rootDevice()));
        w.sourceTree()->setCurrentIndex(localDb(w, QStringLiteral("Demo")));
        QCOMPARE(shown().size(), m_demoTotal);
        QVERIFY(std::is_sorted(shown().cbegin(), shown().cend(), compareViberMsgDesc));
        // The contact column sorts by the contact shown, time deciding within
        // one contact; the bubbles follow, and the indicator stays where it
        // was clicked (nothing resets the order silently).
        header->setSortIndicator(ItemModelSms::COL_CONTACT, Qt::AscendingOrder);
        QCOMPARE(header->sortIndicatorSection(), int(ItemModelSms::COL_CONTACT));
        QCOMPARE(shown().size(), m_demoTotal);
        const auto contactOf = [&](int row) {
            return w.messageModel()->data(w.messageModel()->index(row, ItemModelSms::COL_CONTACT)).toString();
        };
        QCollator collator;
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        collator.setNumericMode(true);
        for (int r = 1; r < m_demoTotal; ++r) {
            const int c = collator.compare(contactOf(r - 1), contactOf(r));
            QVERIFY2(c < 0 || (c == 0 && shown()[r - 1]->date <= shown()[r]->date), qPrintable(contactOf(r)));
        }
        QVERIFY(w.bubbles()->pageHtml().contains(QStringLiteral("sms_%1\"").arg(shown().first()->id)));
        // Kept when the source is shown again; the date column orders by time once more.
        w.sourceTree()->setCurrentIndex(w.treeModel()->indexOfItemNode(w.treeModel()->rootDevice()));
        w.sourceTree()->setCurrentIndex(localDb(w, QStringLiteral("Demo")));
        QCOMPARE(header->sortIndicatorSection(), int(ItemModelSms::COL_CONTACT));
        QCOMPARE(contactOf(0), [&] {
            QStringList all;
            for (int r = 0; r < m_demoTotal; ++r)
                all << contactOf(r);
            std::sort(all.begin(), all.end(), [&](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });
            return all.first();
        }());
        header->setSortIndicator(0, Qt::AscendingOrder);
        QVERIFY(std::is_sorted(shown().cbegin(), shown().cend(), compareViberMsgAsc));
        // Selecting a row scrolls the bubble view to it and marks its bubble.
        w.messageList()->setCurrentIndex(w.messageModel()->indexOfPos(5));
        QVERIFY(!w.bubbles()->scrolledTo().isEmpty());
        QCOMPARE(w.bubbles()->highlighted(), QStringLiteral("sms_%1").arg(shown()[5]->id));
    }

    // Return in a search box and its button both search.
    void searchBoxesAreWired()
    {
        MainWindow w(g_testDataFolders());
        const ItemModelMain* tree = w.treeModel();
        const QModelIndex demo = localDb(w, QStringLiteral("Demo"));
        w.sourceTree()->setCurrentIndex(demo);
        w.chatKeyword()->setText(QStringLiteral("lena"));
        QMetaObject::invokeMethod(w.findChild<QToolButton*>(QStringLiteral("btnSearchHandle")), "pressed");
        QCOMPARE(tree->data(w.sourceTree()->currentIndex()).toString(), QStringLiteral("Lena Fischer"));
        w.chatKeyword()->setText(QStringLiteral("fam"));
        QTest::keyClick(w.chatKeyword(), Qt::Key_Return);
        QCOMPARE(tree->data(w.sourceTree()->currentIndex()).toString(), QStringLiteral("Family"));

        const QList<_ViberMsg*> shown = w.messageModel()->messages();
        const QString word = shown.at(3)->summary();
        QList<int> matching;
        for (int r = 0; r < shown.size(); ++r) {
            if (shown.at(r)->summary().contains(word, Qt::CaseInsensitive))
                matching << r;
        }
        w.messageKeyword()->setText(word);
        QTest::keyClick(w.messageKeyword(), Qt::Key_Return);
        QCOMPARE(w.messageList()->currentIndex().row(), matching.first());
        QMetaObject::invokeMethod(w.findChild<QToolButton*>(QStringLiteral("btnSearchSMS")), "pressed");
        QCOMPARE(w.messageList()->currentIndex().row(), matching.at(1 % matching.size()));
    }

    // One stored iPhone: transfers between iPhones stay off everywhere,
    // transfers from a database to it are offered.
    void enableRulesFollowTheCurrentNode()
    {
        MainWindow w(g_testDataFolders());
        const MainActions& a = w.actions();
        const QModelIndex phone = device(w, QStringLiteral("Old Phone"));
        w.sourceTree()->setCurrentIndex(phone);
        QVERIFY(a.actBackup->isEnabled());
        QVERIFY(!a.actI2i->isEnabled());
        QVERIFY(!a.actDb2i->isEnabled());
        QVERIFY(!a.actDelete->isEnabled());
        QVERIFY(a.actExport->isEnabled() && a.actExportCall->isEnabled() && a.actPrint->isEnabled() &&
                a.actExtractMedia->isEnabled());
        w.sourceTree()->setCurrentIndex(w.treeModel()->index(0, 0, phone)); // a chat follows its source
        QVERIFY(a.actBackup->isEnabled() && !a.actDelete->isEnabled());

        const QModelIndex demo = localDb(w, QStringLiteral("Demo"));
        w.sourceTree()->setCurrentIndex(demo);
        QVERIFY(!a.actBackup->isEnabled());
        QVERIFY(a.actDb2i->isEnabled());
        QVERIFY(a.actDelete->isEnabled());
        w.sourceTree()->setCurrentIndex(w.treeModel()->indexOfItemNode(w.treeModel()->rootLocalDb()));
        QVERIFY(!a.actExport->isEnabled() && !a.actDelete->isEnabled() && !a.actDb2i->isEnabled());
    }

    void contextMenusDependOnTheNode()
    {
        MainWindow w(g_testDataFolders());
        const ItemModelMain* tree = w.treeModel();
        QVERIFY(!w.buildMainTreeMenu());
        QVERIFY(!w.buildSMSMenu()); // no current node: no menu
        w.sourceTree()->setCurrentIndex(tree->indexOfItemNode(tree->rootDevice()));
        QVERIFY(!w.buildMainTreeMenu());
        QVERIFY(!w.buildSMSMenu());

        w.sourceTree()->setCurrentIndex(tree->indexOfItemNode(tree->rootLocalDb()));
        std::unique_ptr<QMenu> menu(w.buildMainTreeMenu());
        QCOMPARE(texts(menu->actions()), (QStringList{ids("IDS_MI_OPEN_DB_FOLDER"), ids("IDS_MI_IMPORT_FROM_ITUNES"),
                                                      ids("IDS_MI_IMPORT_FROM_PC")}));

        const QModelIndex phone = device(w, QStringLiteral("Old Phone"));
        w.sourceTree()->setCurrentIndex(phone);
        menu.reset(w.buildMainTreeMenu());
        QCOMPARE(menu->actions().size(), 8);
        QVERIFY(!enabledTexts(menu.get()).contains(ids("IDS_MI_I2I_ALL")));
        QVERIFY(enabledTexts(menu.get()).contains(ids("IDS_MI_UNMOUNT_DEVICE")));
        menu.reset(w.buildSMSMenu());
        QCOMPARE(texts(menu->actions()),
                 (QStringList{ids("IDS_MI_BACKUP_SEL"), ids("IDS_MI_I2I_SEL"), ids("IDS_MI_EXTRACT_MEDIA_SEL"),
                              ids("IDS_MI_EXPORT_SEL"), ids("IDS_MI_PRINT_SEL")}));
        // A chat's entries say "this Contact", a group's "this Chat".
        const auto chatText = [](const char* key, const QModelIndex& chat) {
            const auto* node = static_cast<const _ChatSessionItemNode*>(AbsTreeItemModel::nodeOf(chat));
            return ids(key).arg(ids(node->chat->groupId.isEmpty() ? "IDS_WITH_THIS_CONTACT" : "IDS_IN_THIS_CHAT"));
        };
        w.sourceTree()->setCurrentIndex(tree->index(0, 0, phone));
        menu.reset(w.buildMainTreeMenu());
        QVERIFY(!texts(menu->actions()).contains(chatText("IDS_MI_DELETE_CHAT", tree->index(0, 0, phone))));
        QVERIFY(texts(menu->actions()).contains(chatText("IDS_MI_BACKUP_CHAT", tree->index(0, 0, phone))));

        const QModelIndex demo = localDb(w, QStringLiteral("Demo"));
        w.sourceTree()->setCurrentIndex(demo);
        menu.reset(w.buildMainTreeMenu());
        QCOMPARE(menu->actions().size(), 9);
        QVERIFY(enabledTexts(menu.get()).contains(ids("IDS_MI_DB2I_ALL")));
        // The database's own entry deletes the database and says so.
        QVERIFY(texts(menu->actions()).contains(QStringLiteral("Delete Database")));
        QVERIFY(!texts(menu->actions()).contains(QStringLiteral("Delete Messages")));
        QStringList seen;
        for (int row = 0; row < tree->rowCount(demo); ++row) {
            const QModelIndex chat = tree->index(row, 0, demo);
            w.sourceTree()->setCurrentIndex(chat);
            menu.reset(w.buildMainTreeMenu());
            const bool group = !static_cast<const _ChatSessionItemNode*>(AbsTreeItemModel::nodeOf(chat))->chat->groupId.isEmpty();
            const QString deleteText = group ? QStringLiteral("Delete Messages in this Chat")
                                             : QStringLiteral("Delete Messages with this Contact");
            QVERIFY2(texts(menu->actions()).contains(deleteText), qPrintable(texts(menu->actions()).join(u'|')));
            seen << deleteText;
        }
        QVERIFY(seen.contains(QStringLiteral("Delete Messages in this Chat")));
        QVERIFY(seen.contains(QStringLiteral("Delete Messages with this Contact")));
        w.sourceTree()->setCurrentIndex(tree->index(0, 0, demo));
        menu.reset(w.buildMainTreeMenu());
        QCOMPARE(texts(menu->actions()).first(), chatText("IDS_MI_DB2I_CHAT", tree->index(0, 0, demo)));
        QVERIFY(texts(menu->actions()).contains(chatText("IDS_MI_DELETE_CHAT", tree->index(0, 0, demo))));
        menu.reset(w.buildSMSMenu());
        QCOMPARE(texts(menu->actions()).size(), 6);
        QVERIFY(texts(menu->actions()).contains(ids("IDS_MI_DELETE_SEL")));

        // A menu entry reaches its command: print shows its preview.
        menu.reset(w.buildMainTreeMenu());
        for (QAction* act : menu->actions()) {
            if (act->text() == chatText("IDS_MI_PRINT_CHAT", tree->index(0, 0, demo)))
                act->trigger();
        }
        QCOMPARE(ScriptedAnswers::shownDialogs(), QStringList{QStringLiteral("PrintPreviewDialog")});
        QVERIFY(ScriptedAnswers::shownBoxes().isEmpty());
    }

    // The four entries of a family pick different messages for the one
    // command function; the export's count tells which.
    void familyEntriesChooseTheirMessages()
    {
        MainWindow w(g_testDataFolders());
        const ItemModelMain* tree = w.treeModel();
        const QModelIndex demo = localDb(w, QStringLiteral("Demo"));
        w.sourceTree()->setCurrentIndex(demo);
        const QModelIndex chat = tree->index(0, 0, demo);
        w.sourceTree()->setCurrentIndex(chat);
        const int inChat = w.messageModel()->rowCount();
        QVERIFY(inChat > 3 && inChat < m_demoTotal);
        const QString out = m_tmp.filePath(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(out));
        const auto exported = [](int n) { return ids("IDS_SUC_EXPORT_%1_MMS", n); };

        selectRows(w, {0, 2, 3});
        answerExport(out + QStringLiteral("/sel.csv"));
        w.trigger(MainWindow::CMD_EXPORT, MainWindow::SCOPE_SELECTION);
        QCOMPARE(lastBox(), exported(3));
        answerExport(out + QStringLiteral("/bar.csv"));
        w.trigger(MainWindow::CMD_EXPORT, MainWindow::SCOPE_TOOLBAR);
        QCOMPARE(lastBox(), exported(3));
        answerExport(out + QStringLiteral("/chat.csv"));
        w.trigger(MainWindow::CMD_EXPORT, MainWindow::SCOPE_CHAT);
        QCOMPARE(lastBox(), exported(inChat));
        answerExport(out + QStringLiteral("/all.csv"));
        w.trigger(MainWindow::CMD_EXPORT, MainWindow::SCOPE_ALL);
        QCOMPARE(lastBox(), exported(m_demoTotal));

        // The tool bar without selected rows: the chat on a chat node, the
        // whole source on the source node.
        w.messageList()->clearSelection();
        answerExport(out + QStringLiteral("/bar-chat.csv"));
        w.exportAction()->trigger();
        QCOMPARE(lastBox(), exported(inChat));
        w.sourceTree()->setCurrentIndex(demo);
        answerExport(out + QStringLiteral("/bar-all.csv"));
        w.exportAction()->trigger();
        QCOMPARE(lastBox(), exported(m_demoTotal));

        // No rows selected: the selection entry says so instead of doing nothing.
        const int before = int(ScriptedAnswers::shownBoxes().size());
        w.trigger(MainWindow::CMD_EXPORT, MainWindow::SCOPE_SELECTION);
        QCOMPARE(ScriptedAnswers::shownBoxes().size(), before + 1);
        QCOMPARE(lastBox(), ids("IDS_NO_MESSAGES_CHOSEN"));
        QCOMPARE(ScriptedAnswers::shownDialogs().count(QStringLiteral("ExportMessagesDlg")), 6);

        // A JSON export names the source it came from.
        answerExport(out + QStringLiteral("/named.json"), EXPORT_FILTER_JSON);
        w.trigger(MainWindow::CMD_EXPORT, MainWindow::SCOPE_ALL);
        QVERIFY(g_readBytesForTest(out + QStringLiteral("/named.json"))
                    .contains(R"("source":{"kind":"localdb","name":"Demo")"));
    }

    void callsAndAttachmentsRunTheirJobs()
    {
        MainWindow w(g_testDataFolders());
        const QModelIndex demo = localDb(w, QStringLiteral("Demo"));
        w.sourceTree()->setCurrentIndex(demo);
        const QString out = m_tmp.filePath(QStringLiteral("calls"));
        QVERIFY(QDir().mkpath(out));
        ScriptedAnswers::answerNextFileDialog(out + QStringLiteral("/calls.txt"));
        w.trigger(MainWindow::CMD_EXPORT_CALLS, MainWindow::SCOPE_ALL);
        QCOMPARE(lastBox(), ids("IDS_SUC_EXPORT_%1_CALLS", 19));
        // With rows selected the tool bar still takes the whole list shown.
        selectRows(w, {0});
        ScriptedAnswers::answerNextFileDialog(out + QStringLiteral("/calls2.txt"));
        w.trigger(MainWindow::CMD_EXPORT_CALLS, MainWindow::SCOPE_TOOLBAR);
        QCOMPARE(lastBox(), ids("IDS_SUC_EXPORT_%1_CALLS", 19));

        w.messageList()->clearSelection();
        ScriptedAnswers::answerNextFileDialog(out);
        w.trigger(MainWindow::CMD_EXTRACT_MEDIA, MainWindow::SCOPE_ALL);
        const QStringList made = QDir(out).entryList({QStringLiteral("attachments(*")}, QDir::Dirs);
        QCOMPARE(made.size(), 1);
        QVERIFY(!QDir(QDir(out).filePath(made.first())).isEmpty());
        QVERIFY(lastBox().startsWith(ids("IDS_SUC_EXTRACT_MEDIA_FILES_TO_%1").section(u'%', 0, 0)));
    }

    // Backing up a stored iPhone proposes "<name>_Backup", makes it, reads
    // it and makes it current; a second backup into it (typed in another
    // case) adds no second node.
    void backupMakesALocalDatabase()
    {
        MainWindow w(g_testDataFolders());
        const ItemModelMain* tree = w.treeModel();
        w.sourceTree()->setCurrentIndex(device(w, QStringLiteral("Old Phone")));
        QString proposed;
        answerLocalDbAsProposed(&proposed);
        w.trigger(MainWindow::CMD_BACKUP, MainWindow::SCOPE_TOOLBAR);
        QCOMPARE(proposed, QStringLiteral("Old Phone_Backup"));
        QCOMPARE(lastBox(), ids("IDS_SUC_BACKUP_%1_MESSAGES", m_demoTotal));
        const QModelIndex made = localDb(w, QStringLiteral("Old Phone_Backup"));
        QVERIFY(made.isValid());
        QCOMPARE(w.sourceTree()->currentIndex(), made);
        QCOMPARE(w.countText(), QStringLiteral("Messages: %1").arg(m_demoTotal));
        QVERIFY(tree->rowCount(made) > 0);

        w.sourceTree()->setCurrentIndex(tree->index(2, 0, device(w, QStringLiteral("Old Phone"))));
        g_answerLocalDb(QStringLiteral("old phone_BACKUP"));
        w.trigger(MainWindow::CMD_BACKUP, MainWindow::SCOPE_CHAT);
        QCOMPARE(tree->rowCount(tree->indexOfItemNode(tree->rootLocalDb())), 3);
        QCOMPARE(w.sourceTree()->currentIndex(), localDb(w, QStringLiteral("Old Phone_Backup")));
        QCOMPARE(w.countText(), QStringLiteral("Messages: %1").arg(m_demoTotal));

        // A name that cannot be a folder is refused and the dialog stays
        // open; giving up there changes nothing.
        const int boxes = int(ScriptedAnswers::shownBoxes().size());
        bool stayedOpen = false;
        g_answer<LocalDbSelForm>(QStringLiteral("LocalDbSelForm"), [&](LocalDbSelForm& f) {
            f.findChild<QComboBox*>(QStringLiteral("cbLocalDbNames"))->setEditText(QStringLiteral("../escape"));
            f.onBtnOkPress();
            stayedOpen = f.result() != QDialog::Accepted;
            return int(QDialog::Rejected);
        });
        w.trigger(MainWindow::CMD_BACKUP, MainWindow::SCOPE_ALL);
        QVERIFY(stayedOpen);
        QCOMPARE(ScriptedAnswers::shownBoxes().size(), boxes + 1);
        QCOMPARE(ScriptedAnswers::shownBoxes().last().icon, QMessageBox::Warning);
        QCOMPARE(tree->rowCount(tree->indexOfItemNode(tree->rootLocalDb())), 3);
        QVERIFY(!QFileInfo::exists(g_testDataFolders().localDbDir().filePath(QStringLiteral("../escape"))));
    }

    void deletesFromALocalDatabase()
    {
        MainWindow w(g_testDataFolders());
        const ItemModelMain* tree = w.treeModel();
        const QString name = QStringLiteral("Old Phone_Backup");
        w.sourceTree()->setCurrentIndex(device(w, QStringLiteral("Old Phone")));
        g_answerLocalDb(name);
        w.trigger(MainWindow::CMD_BACKUP, MainWindow::SCOPE_ALL);
        QVERIFY(localDb(w, name).isValid());
        w.sourceTree()->setCurrentIndex(localDb(w, name));
        const QModelIndex chat = tree->index(0, 0, localDb(w, name));
        const QString chatName = tree->data(chat).toString();
        w.sourceTree()->setCurrentIndex(chat);
        const int inChat = w.messageModel()->rowCount();

        // Refused: nothing changes.
        selectRows(w, {0, 1});
        ScriptedAnswers::answerNextBox(QMessageBox::No);
        w.trigger(MainWindow::CMD_DELETE, MainWindow::SCOPE_TOOLBAR);
        QCOMPARE(w.messageModel()->rowCount(), inChat);

        // Cancelled under way: the store and the view stay as they were.
        ScriptedAnswers::answerNextBox(QMessageBox::Yes);
        g_cancelNextJob();
        w.trigger(MainWindow::CMD_DELETE, MainWindow::SCOPE_SELECTION);
        QCOMPARE(tree->data(w.sourceTree()->currentIndex()).toString(), chatName);
        QCOMPARE(w.messageModel()->rowCount(), inChat);
        QCOMPARE(int(UiCommands::loadLocalDbThrow(g_testDataFolders(), name).messages().size()), m_demoTotal);

        ScriptedAnswers::answerNextBox(QMessageBox::Yes);
        w.trigger(MainWindow::CMD_DELETE, MainWindow::SCOPE_SELECTION);
        QCOMPARE(lastBox(), ids("IDS_SUC_DEL_%1_VIBER_MESSAGES", 2));
        // The same chat is current again, two messages shorter.
        QCOMPARE(tree->data(w.sourceTree()->currentIndex()).toString(), chatName);
        QCOMPARE(w.messageModel()->rowCount(), inChat - 2);

        ScriptedAnswers::answerNextBox(QMessageBox::Yes);
        w.trigger(MainWindow::CMD_DELETE, MainWindow::SCOPE_TOOLBAR); // no rows selected on a chat: the whole chat
        QCOMPARE(lastBox(), ids("IDS_SUC_DEL_%1_VIBER_MESSAGES", inChat - 2));
        QVERIFY(!child(tree, localDb(w, name), chatName).isValid());
        QCOMPARE(tree->data(w.sourceTree()->currentIndex()).toString(), name);
        QCOMPARE(w.countText(), QStringLiteral("Messages: %1").arg(m_demoTotal - inChat));

        // A stored iPhone is never changed by deletion.
        w.sourceTree()->setCurrentIndex(device(w, QStringLiteral("Old Phone")));
        const int boxes = int(ScriptedAnswers::shownBoxes().size());
        w.trigger(MainWindow::CMD_DELETE, MainWindow::SCOPE_ALL);
        w.trigger(MainWindow::CMD_DELETE, MainWindow::SCOPE_SELECTION);
        QCOMPARE(ScriptedAnswers::shownBoxes().size(), boxes);

        w.sourceTree()->setCurrentIndex(localDb(w, name));
        ScriptedAnswers::answerNextBox(QMessageBox::Yes);
        w.trigger(MainWindow::CMD_DELETE, MainWindow::SCOPE_TOOLBAR);
        QCOMPARE(lastBox(), ids("IDS_DEL_LOCALDB_SUC").arg(name.toHtmlEscaped()));
        QVERIFY(!localDb(w, name).isValid());
        QVERIFY(!QFileInfo::exists(g_testDataFolders().localDbDir().filePath(name)));
        QCOMPARE(w.countText(), QStringLiteral("Messages: 0"));
    }

    void folderCommandsOpenTheirFolders()
    {
        MainWindow w(g_testDataFolders());
        QStringList opened;
        w.setOpener([&](const QString& path) { opened << path; });
        w.miOpenDBFolder();
        w.sourceTree()->setCurrentIndex(device(w, QStringLiteral("Old Phone")));
        w.trigger(MainWindow::CMD_VIEW_CACHE, MainWindow::SCOPE_ALL);
        QCOMPARE(opened, (QStringList{g_testDataFolders().localDbDir().absolutePath(),
                                      g_testDataFolders().root().absoluteFilePath(QStringLiteral("virtual_ios/Old Phone"))}));

        QVERIFY(QDir().mkpath(g_testDataFolders().root().filePath(QStringLiteral("ios_cache/x/y"))));
        QVERIFY(QDir().mkpath(iosbackup_temp_dir().filePath(QStringLiteral("udid/Snapshot"))));
        // Asked first, naming both folders; No keeps everything.
        ScriptedAnswers::answerNextBox(QMessageBox::No);
        w.miClearCache();
        QVERIFY(lastBox().contains(QDir::toNativeSeparators(iosbackup_temp_dir().absolutePath()).toHtmlEscaped()));
        QVERIFY(QFileInfo::exists(g_testDataFolders().root().filePath(QStringLiteral("ios_cache/x/y"))));
        QVERIFY(iosbackup_temp_dir().exists());
        ScriptedAnswers::answerNextBox(QMessageBox::Yes);
        w.miClearCache();
        QVERIFY(!QFileInfo::exists(g_testDataFolders().root().filePath(QStringLiteral("ios_cache"))));
        QVERIFY(!iosbackup_temp_dir().exists());
        QCOMPARE(lastBox(), ids("IDS_SUC_CLEAR_CACHE"));

        // "Disconnect Device" takes the node off the tree, and only it.
        w.trigger(MainWindow::CMD_UNMOUNT_DEVICE, MainWindow::SCOPE_ALL);
        QVERIFY(!device(w, QStringLiteral("Old Phone")).isValid());
        QCOMPARE(w.countText(), QStringLiteral("Messages: 0"));
        QVERIFY(localDb(w, QStringLiteral("Demo")).isValid());

        w.miAbout();
        QVERIFY(lastBox().contains(g_productName()));
    }

    // The account chosen is read from a copy into "ViberPC-<account>", or
    // into the database the command was started on; the user's store is
    // left byte for byte as it was.
    void importsFromViberDesktop()
    {
        MainWindow w(g_testDataFolders());
        w.miImportPCPort(); // declined: the standing answer is no answer to a question
        QVERIFY(lastBox().contains(QDir::toNativeSeparators(UiCommands::viberPCDir().absolutePath()).toHtmlEscaped()));

        const QString store = UiCommands::viberPCDir().filePath(QStringLiteral("4915550001/viber.db"));
        QVERIFY(store.startsWith(QDir::homePath()));
        QVERIFY(QDir().mkpath(QFileInfo(store).absolutePath()));
        {
            DesktopFixture f(store);
            g_fillDesktopSample(f);
            f.finish();
        }
        const QByteArray before = g_readBytesForTest(store);
        const int total = int(PCViberDb(store).loadDataThrow().messages().size());
        QVERIFY(total > 3);
        const auto pickFirstAccount = [] {
            g_answer<DataSourceSelForm>(QStringLiteral("DataSourceSelForm"), [](DataSourceSelForm& d) {
                d.onBtnOkPress();
                return d.result();
            });
        };
        pickFirstAccount();
        QString proposed;
        answerLocalDbAsProposed(&proposed);
        w.miImportPCPort();
        QCOMPARE(proposed, QStringLiteral("ViberPC-4915550001"));
        QCOMPARE(lastBox(), ids("IDS_SUC_BACKUP_%1_MESSAGES", total));
        const QModelIndex made = localDb(w, proposed);
        QVERIFY(made.isValid());
        QCOMPARE(w.sourceTree()->currentIndex(), made);
        QCOMPARE(w.countText(), QStringLiteral("Messages: %1").arg(total));

        w.sourceTree()->setCurrentIndex(localDb(w, QStringLiteral("Demo")));
        pickFirstAccount();
        answerLocalDbAsProposed(&proposed);
        w.trigger(MainWindow::CMD_IMPORT_DESKTOP_HERE, MainWindow::SCOPE_ALL);
        QCOMPARE(proposed, QStringLiteral("Demo"));
        QCOMPARE(w.sourceTree()->currentIndex(), localDb(w, QStringLiteral("Demo")));
        QCOMPARE(w.countText(), QStringLiteral("Messages: %1").arg(m_demoTotal + total));
        QCOMPARE(g_readBytesForTest(store), before);
        QCOMPARE(ScriptedAnswers::pendingDialogScripts(), 0);
        QDir(UiCommands::viberPCDir()).removeRecursively();
    }

    // The chooser takes a backup from elsewhere (refusing one listed
    // already); an encrypted one asks for its password until it is right.
    void importsAnITunesBackup()
    {
        const QString bk = m_tmp.filePath(QStringLiteral("bk"));
        QVERIFY(QDir().mkpath(bk));
        ViberBackupLayout layout;
        layout.photoLibrary = false;
        const QString plain = g_writeViberBackup(m_demo, ViberBackupSample(), bk, QStringLiteral("plain"), layout);
        layout.password = "right one";
        const QString locked = g_writeViberBackup(m_demo, ViberBackupSample(), bk, QStringLiteral("locked"), layout);
        const auto chooseAdding = [](const QString& folder, bool twice) {
            g_answer<LoadItunesBackupDlg>(QStringLiteral("LoadItunesBackupDlg"), [=](LoadItunesBackupDlg& d) {
                d.addBackupFolder(folder);
                if (twice)
                    d.addBackupFolder(folder);
                d.btnLoadClicked();
                return d.result();
            });
        };

        MainWindow w(g_testDataFolders());
        g_answer<LoadItunesBackupDlg>(QStringLiteral("LoadItunesBackupDlg"), [](LoadItunesBackupDlg&) {
            return int(QDialog::Rejected);
        });
        w.miImportiTunes(); // cancelled: nothing
        QVERIFY(ScriptedAnswers::shownBoxes().isEmpty());

        chooseAdding(plain, true);
        QString proposed;
        answerLocalDbAsProposed(&proposed);
        w.miImportiTunes();
        QVERIFY(boxTexts().contains(ids("IDS_LOAD_BK_EXISTS")));
        QVERIFY(proposed.endsWith(QStringLiteral("_Backup")));
        QCOMPARE(lastBox(), ids("IDS_SUC_BACKUP_%1_MESSAGES", m_demoTotal));
        QCOMPARE(w.sourceTree()->currentIndex(), localDb(w, proposed));
        QCOMPARE(w.countText(), QStringLiteral("Messages: %1").arg(m_demoTotal));
        QVERIFY(!ScriptedAnswers::shownDialogs().contains(QStringLiteral("PasscodeDlg")));

        w.sourceTree()->setCurrentIndex(localDb(w, QStringLiteral("Names")));
        chooseAdding(locked, false);
        QStringList fieldAfter;
        g_answerPasscodes({QStringLiteral("wrong one"), QStringLiteral("right one")}, &fieldAfter);
        answerLocalDbAsProposed(&proposed);
        w.trigger(MainWindow::CMD_IMPORT_ITUNES_HERE, MainWindow::SCOPE_ALL);
        QCOMPARE(fieldAfter, (QStringList{QString(), QStringLiteral("right one")}));
        QVERIFY(boxTexts().contains(ids("IDS_INVALID_PASSWORD")));
        QCOMPARE(proposed, QStringLiteral("Names"));
        QCOMPARE(w.sourceTree()->currentIndex(), localDb(w, QStringLiteral("Names")));
        QCOMPARE(w.countText(), QStringLiteral("Messages: %1").arg(m_demoTotal + 2));
        QCOMPARE(ScriptedAnswers::pendingDialogScripts(), 0);
    }

    // Messages written into a backup come back when that backup is imported.
    void writesIntoAnITunesBackup()
    {
        const QString bk = m_tmp.filePath(QStringLiteral("bk-target"));
        QVERIFY(QDir().mkpath(bk));
        ViberBackupLayout layout;
        layout.photoLibrary = false;
        ContainerFixture names(m_tmp.filePath(QStringLiteral("names-container")));
        const qint64 p = names.store().addPerson(QStringLiteral("+15550007"), {}, 0, QStringLiteral("Target"));
        IOSStoreWriter::Message m;
        m.chat = names.store().addChat(700000000, {p});
        m.date = 700000000;
        m.text = QStringLiteral("already in the backup");
        m.person = p;
        names.store().addMessage(m);
        names.finish();
        const QString target = g_writeViberBackup(names.root().absolutePath(), ViberBackupSample(), bk,
                                                  QStringLiteral("target"), layout);
        const auto choose = [](const QString& folder) {
            g_answer<LoadItunesBackupDlg>(QStringLiteral("LoadItunesBackupDlg"), [folder](LoadItunesBackupDlg& d) {
                d.addBackupFolder(folder);
                d.btnLoadClicked();
                return d.result();
            });
        };

        MainWindow w(g_testDataFolders());
        const QModelIndex demo = localDb(w, QStringLiteral("Demo"));
        w.sourceTree()->setCurrentIndex(demo);
        w.sourceTree()->setCurrentIndex(w.treeModel()->index(0, 0, demo));
        const int inChat = w.messageModel()->rowCount();
        choose(target);
        w.trigger(MainWindow::CMD_TO_ITUNES_BACKUP, MainWindow::SCOPE_CHAT);
        QVERIFY2(lastBox().startsWith(QStringLiteral("Successfully transferred")), qPrintable(lastBox()));

        // The import lists its database; the user reads on in the same chat.
        const QPersistentModelIndex reading = w.sourceTree()->currentIndex();
        choose(target);
        g_answerLocalDb(QStringLiteral("From target"));
        w.miImportiTunes();
        QVERIFY(localDb(w, QStringLiteral("From target")).isValid());
        QCOMPARE(w.sourceTree()->currentIndex(), QModelIndex(reading));
        QCOMPARE(w.countText(), QStringLiteral("Messages: %1").arg(inChat));
        w.sourceTree()->setCurrentIndex(localDb(w, QStringLiteral("From target")));
        QCOMPARE(w.countText(), QStringLiteral("Messages: %1").arg(inChat + 1));
    }

    // The preview gets the messages of the entry: a few selected rows fit
    // on fewer pages than the whole source.
    void printPreviewsTheChosenMessages()
    {
        MainWindow w(g_testDataFolders());
        w.sourceTree()->setCurrentIndex(localDb(w, QStringLiteral("Demo")));
        const auto previewPages = [](int* pages) {
            g_answer<QPrintPreviewDialog>(QStringLiteral("PrintPreviewDialog"), [pages](QPrintPreviewDialog& d) {
                auto* preview = d.findChild<QPrintPreviewWidget*>();
                preview->updatePreview();
                *pages = preview->pageCount();
                return int(QDialog::Rejected);
            });
        };
        int all = 0;
        previewPages(&all);
        w.trigger(MainWindow::CMD_PRINT, MainWindow::SCOPE_ALL);
        selectRows(w, {0});
        int one = 0;
        previewPages(&one);
        w.trigger(MainWindow::CMD_PRINT, MainWindow::SCOPE_TOOLBAR);
        QCOMPARE(one, 1);
        QVERIFY2(all > one, qPrintable(QString::number(all)));
        QCOMPARE(ScriptedAnswers::shownDialogs().count(QStringLiteral("PrintPreviewDialog")), 2);
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
