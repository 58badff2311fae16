#include "support/ExportTestData.h"
#include "support/TestEnv.h"
#include "ui/EmojiItemDelegate.h"
#include "ui/ItemModelMain.h"
#include "ui/ItemModelSms.h"
#include "ui/MessageListSort.h"
#include "ui/MyTreeView.h"

#include <QAbstractItemModelTester>
#include <QCollator>
#include <QFontDatabase>
#include <QIcon>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <random>
#include <vector>

namespace {
// Two chats and a call, with the kinds of row the list shows differently.
struct Sample
{
    ExportTestData t;
    _ViberMsg* fromAnna = nullptr;
    _ViberMsg* toAnna = nullptr;
    _ViberMsg* bobInGroup = nullptr;
    _ViberMsg* call = nullptr;
    _ViberMsg* system = nullptr;

    Sample()
    {
        t.anna = t.person(QStringLiteral("Anna"), QStringLiteral("+15550101"));
        t.bob = t.person(QStringLiteral("Bob"), QStringLiteral("+15550102"));
        t.single = t.chat(QString(), QString(), {t.anna});
        t.group = t.chat(QStringLiteral("Hikers"), QStringLiteral("g1"), {t.anna, t.bob});
        t.single->date = ExportTestData::kDay + 50;
        t.group->date = ExportTestData::kDay + 10;
        fromAnna = t.msg(t.single, MSG_TYPE_TEXT, ExportTestData::kDay, QStringLiteral("hi"),
                         MSG_STATE_RECEIVED, t.anna);
        toAnna = t.msg(t.single, MSG_TYPE_TEXT, ExportTestData::kDay + 1, QStringLiteral("hello"),
                       MSG_STATE_SENT, t.anna);
        bobInGroup = t.msg(t.group, MSG_TYPE_TEXT, ExportTestData::kDay + 2, QStringLiteral("trail?"),
                           MSG_STATE_RECEIVED, t.bob);
        call =
            t.msg(t.single, MSG_TYPE_CALL, ExportTestData::kDay + 3, QString(), MSG_STATE_RECEIVED, t.anna);
        t.call(call, CALL_INCOMING, 30, t.anna);
        system =
            t.msg(t.group, MSG_TYPE_SYSTEM, ExportTestData::kDay + 4, QString(), MSG_STATE_RECEIVED, t.bob);
        system->systemType = SYS_NAME_CHANGED;
    }
};

QStringList childNames(const AbsTreeItemModel& model, const QModelIndex& parent)
{
    QStringList names;
    for (int r = 0; r < model.rowCount(parent); ++r)
        names << model.data(model.index(r, 0, parent)).toString();
    return names;
}
} // namespace

class TestItemModels : public QObject
{
    Q_OBJECT

private slots:
    // The text columns sort by the collator's order of the text shown, time
    // deciding between equal texts, exactly as one sort key per message would:
    // texts are ranked once, not per message, with repeats and texts that
    // differ in case or numbers among them.
    void textColumnsSortAsOneKeyPerMessageWould()
    {
        ExportTestData t;
        QList<_ViberChat*> chats;
        for (const char* name : {"anna", "Anna", "Bob 10", "Bob 2", "Zed"})
            chats << t.chat(QString(), QString(), {t.person(QString::fromLatin1(name), QStringLiteral("+49%1").arg(chats.size()))});
        const QStringList texts{QStringLiteral("hello"), QStringLiteral("Hello"), QStringLiteral("item 10"),
                                QStringLiteral("item 9"), QStringLiteral("\u00e9t\u00e9"), QString()};
        QList<_ViberMsg*> list;
        for (int i = 0; i < 300; ++i) {
            _ViberChat* chat = chats[i % chats.size()];
            list << t.msg(chat, MSG_TYPE_TEXT, ExportTestData::kDay + (i * 13) % 17, texts[i % texts.size()],
                          i % 3 ? MSG_STATE_RECEIVED : MSG_STATE_SENT, i % 3 ? chat->members.begin().value() : nullptr);
        }
        QCollator collator;
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        collator.setNumericMode(true);
        for (const int column : {int(ItemModelSms::COL_FLAG), int(ItemModelSms::COL_CONTACT), int(ItemModelSms::COL_CONTENT)}) {
            for (const Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
                QList<_ViberMsg*> expected = list;
                std::stable_sort(expected.begin(), expected.end(), [&](const _ViberMsg* a, const _ViberMsg* b) {
                    const int c = collator.sortKey(ItemModelSms::cellText(a, column, true))
                                      .compare(collator.sortKey(ItemModelSms::cellText(b, column, true)));
                    if (c != 0)
                        return order == Qt::DescendingOrder ? c > 0 : c < 0;
                    return a->date < b->date;
                });
                QList<_ViberMsg*> sorted = list;
                g_sortMessageList(sorted, column, order, true);
                QCOMPARE(sorted, expected);
            }
        }
    }

    // Turning the date order of a sorted list in one pass gives exactly what
    // the stable sort gives, equal times included; other lists are left to
    // the sort.
    void turningTheDateOrderIsTheStableSort()
    {
        std::vector<_ViberMsg> store(200);
        QList<_ViberMsg*> shuffled;
        for (int i = 0; i < int(store.size()); ++i) {
            store[size_t(i)].id = i;
            store[size_t(i)].date = double((i * 7) % 23); // many equal times
            shuffled << &store[size_t(i)];
        }
        std::mt19937 random(7);
        std::shuffle(shuffled.begin(), shuffled.end(), random);
        QList<_ViberMsg*> asc = shuffled;
        std::stable_sort(asc.begin(), asc.end(), compareViberMsgAsc);
        QList<_ViberMsg*> keyed = shuffled;
        g_stableSortByDate(keyed);
        QCOMPARE(keyed, asc);
        QList<_ViberMsg*> expectDesc = asc;
        std::stable_sort(expectDesc.begin(), expectDesc.end(), compareViberMsgDesc);

        QList<_ViberMsg*> turned = asc;
        QVERIFY(g_turnDateOrder(turned, true));
        QCOMPARE(turned, expectDesc);
        QList<_ViberMsg*> expectAsc = turned;
        std::stable_sort(expectAsc.begin(), expectAsc.end(), compareViberMsgAsc);
        QVERIFY(g_turnDateOrder(turned, false));
        QCOMPARE(turned, expectAsc);

        QList<_ViberMsg*> viaHeader = asc;
        g_sortMessageList(viaHeader, ItemModelSms::COL_DATE, Qt::DescendingOrder, true);
        QCOMPARE(viaHeader, expectDesc);

        QList<_ViberMsg*> unsorted = shuffled;
        QVERIFY(!g_turnDateOrder(unsorted, true));
        QCOMPARE(unsorted, shuffled);
        g_sortMessageList(unsorted, ItemModelSms::COL_DATE, Qt::DescendingOrder, true);
        QList<_ViberMsg*> stable = shuffled;
        std::stable_sort(stable.begin(), stable.end(), compareViberMsgDesc);
        QCOMPARE(unsorted, stable);
    }

    void initTestCase() { g_requireTestEnvironment(); }

    void treeHoldsRootsSourcesAndChats()
    {
        Sample s;
        ItemModelMain model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(childNames(model, QModelIndex()),
                 (QStringList{QStringLiteral("Devices"), QStringLiteral("Local Databases")}));

        QSignalSpy layouts(&model, &QAbstractItemModel::layoutChanged);
        _LocalDbItemNode* db = model.addLocalDb(QStringLiteral("Archive"));
        model.addIOSDevice(QStringLiteral("Anna's iPhone"), QStringLiteral("00008030-001"));
        model.addIOSDevice(QStringLiteral("Spare"), QStringLiteral("/copies/spare"));
        QCOMPARE(model.rootDevice()->deviceCount(ITEMNODE_IOS_DEVICE), 2);
        QCOMPARE(model.rootDevice()->deviceCount(ITEMNODE_LOCAL_DB), 0);

        db->data = s.t.data;
        model.listChats(db);
        QCOMPARE(layouts.count(), 4); // one per add, one for the whole chat list
        const QModelIndex dbIndex = model.indexOfItemNode(db);
        // Most recent activity first: the one-to-one chat is newer.
        QCOMPARE(childNames(model, dbIndex), (QStringList{s.t.single->display(), s.t.group->display()}));
        const QModelIndex chat = model.index(0, 0, dbIndex);
        QCOMPARE(model.parent(chat), dbIndex);
        QCOMPARE(static_cast<_ChatSessionItemNode*>(AbsTreeItemModel::nodeOf(chat))->chat, s.t.single);
        QCOMPARE(model.data(chat, Qt::SizeHintRole).toSize(), QSize(0, 25));
        QCOMPARE(model.data(chat, Qt::ToolTipRole), model.data(chat));
        for (const QModelIndex& i :
             {model.index(0, 0), model.index(1, 0), dbIndex, chat, model.index(1, 0, dbIndex)}) {
            const QImage icon = model.data(i, Qt::DecorationRole).value<QImage>();
            QVERIFY2(!icon.isNull(), qPrintable(model.data(i).toString()));
            QCOMPARE(icon.width(), 18);
        }
    }

    void chatIconIsTheContactsPictureWhenItLoads()
    {
        QTemporaryDir dir;
        Sample s;
        QImage red(40, 20, QImage::Format_RGB32);
        red.fill(Qt::red);
        s.t.anna->picturePath = dir.filePath(QStringLiteral("anna.png"));
        QVERIFY(red.save(s.t.anna->picturePath));
        ItemModelMain model;
        _LocalDbItemNode* db = model.addLocalDb(QStringLiteral("A"));
        db->data = s.t.data;
        model.listChats(db);
        const QImage icon =
            model.data(model.index(0, 0, model.indexOfItemNode(db)), Qt::DecorationRole).value<QImage>();
        QCOMPARE(icon.size(), QSize(18, 9));
        QCOMPARE(icon.pixelColor(9, 4), QColor(Qt::red));

        // An unreadable picture falls back to the drawn contact icon.
        QVERIFY(g_writeFile(s.t.anna->picturePath, "not an image"));
        const QImage fallback =
            model.data(model.index(0, 0, model.indexOfItemNode(db)), Qt::DecorationRole).value<QImage>();
        QCOMPARE(fallback.width(), 18);
        QVERIFY(fallback.pixelColor(9, 4) != QColor(Qt::red));
    }

    // Rows move when an earlier sibling goes: an index remembered from before
    // must not be used as it was.
    void nodesAreFoundAfterEarlierSiblingsGo()
    {
        Sample s;
        ItemModelMain model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        _LocalDbItemNode* a = model.addLocalDb(QStringLiteral("A"));
        _LocalDbItemNode* b = model.addLocalDb(QStringLiteral("B"));
        _LocalDbItemNode* c = model.addLocalDb(QStringLiteral("C"));
        // Never handed out by index(): still found at its row.
        QCOMPARE(model.indexOfItemNode(c).row(), 2);
        b->data = s.t.data;
        model.listChats(b);

        QSignalSpy removing(&model, &QAbstractItemModel::rowsAboutToBeRemoved);
        model.removeNode(b);
        QCOMPARE(removing.count(), 2);
        // The chats go first, under B, then B itself under the root.
        QCOMPARE(removing[0][0].value<QModelIndex>().data().toString(), QStringLiteral("B"));
        QCOMPARE(removing[0][1].toInt(), 0);
        QCOMPARE(removing[0][2].toInt(), 1);
        QCOMPARE(removing[1][0].value<QModelIndex>().data().toString(), QStringLiteral("Local Databases"));
        QCOMPARE(removing[1][1].toInt(), 1);
        QCOMPARE(childNames(model, model.indexOfItemNode(model.rootLocalDb())),
                 (QStringList{QStringLiteral("A"), QStringLiteral("C")}));
        QCOMPARE(model.indexOfItemNode(c).row(), 1);

        model.removeNode(a);
        QCOMPARE(model.indexOfItemNode(c).row(), 0);
        QCOMPARE(model.parent(model.index(0, 0, model.indexOfItemNode(model.rootLocalDb()))),
                 model.indexOfItemNode(model.rootLocalDb()));

        // A node of another model is left alone.
        ItemModelMain other;
        _LocalDbItemNode* foreign = other.addLocalDb(QStringLiteral("X"));
        model.removeNode(foreign);
        model.clearChilds(foreign);
        QVERIFY(!model.indexOfItemNode(foreign).isValid());
        QCOMPARE(other.rowCount(other.indexOfItemNode(other.rootLocalDb())), 1);
    }

    // Without a view asking for indexes in between, the rows a node was last
    // handed out under go stale.
    void rememberedRowsAreCheckedBeforeUse()
    {
        ItemModelMain model;
        _LocalDbItemNode* a = model.addLocalDb(QStringLiteral("A"));
        model.addLocalDb(QStringLiteral("B"));
        _LocalDbItemNode* c = model.addLocalDb(QStringLiteral("C"));
        model.addLocalDb(QStringLiteral("D"));
        const QModelIndex dbs = model.indexOfItemNode(model.rootLocalDb());
        QCOMPARE(model.index(2, 0, dbs).internalPointer(), c);
        model.removeNode(a);
        QCOMPARE(model.indexOfItemNode(c).row(), 1);
        QSignalSpy removing(&model, &QAbstractItemModel::rowsAboutToBeRemoved);
        model.removeNode(c);
        QCOMPARE(removing.count(), 1);
        QCOMPARE(removing[0][1].toInt(), 1);
        QCOMPARE(childNames(model, dbs), (QStringList{QStringLiteral("B"), QStringLiteral("D")}));
    }

    void clearingAndRelistingChatsDoesNotDuplicate()
    {
        Sample s;
        ItemModelMain model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        _LocalDbItemNode* db = model.addLocalDb(QStringLiteral("A"));
        db->data = s.t.data;
        model.listChats(db);
        model.clearChilds(db);
        QCOMPARE(model.rowCount(model.indexOfItemNode(db)), 0);
        model.listChats(db);
        QCOMPARE(model.rowCount(model.indexOfItemNode(db)), 2);
    }

    void removingTheSelectedNodeLeavesTheViewConsistent()
    {
        Sample s;
        ItemModelMain model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        _LocalDbItemNode* keep = model.addLocalDb(QStringLiteral("Keep"));
        _LocalDbItemNode* gone = model.addLocalDb(QStringLiteral("Gone"));
        gone->data = s.t.data;
        model.listChats(gone);
        MyTreeView view;
        view.setModel(&model);
        view.expandAll();
        view.show();
        QSignalSpy selections(&view, &MyTreeView::selectionUpdated);
        const QModelIndex chat = model.index(1, 0, model.indexOfItemNode(gone));
        view.setCurrentIndex(chat);
        QCOMPARE(selections.count(), 1);

        model.removeNode(gone);
        QCoreApplication::processEvents();
        const QModelIndex current = view.currentIndex();
        QVERIFY(!current.isValid() || AbsTreeItemModel::nodeOf(current) == keep ||
                AbsTreeItemModel::nodeOf(current) == model.rootLocalDb());
        for (const QModelIndex& i : view.selectionModel()->selectedIndexes())
            QVERIFY(AbsTreeItemModel::nodeOf(i) != static_cast<_ItemNode*>(gone));
        QCOMPARE(childNames(model, model.indexOfItemNode(model.rootLocalDb())),
                 QStringList{QStringLiteral("Keep")});
    }

    void messageRowsShowTheirKind()
    {
        Sample s;
        ItemModelSms model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.loadSMS({s.fromAnna, s.toAnna, s.bobInGroup, s.call, s.system});
        QCOMPARE(model.columnCount(), 4);
        QCOMPARE(model.headerData(3, Qt::Horizontal).toString(), QStringLiteral("Content"));
        auto text = [&](int row, int col) { return model.data(model.index(row, col)).toString(); };
        QCOMPARE(text(0, 1), QStringLiteral("From"));
        QCOMPARE(text(1, 1), QStringLiteral("To"));
        // A one-to-one chat always shows the chat, a group the sender.
        QCOMPARE(text(0, 2), s.t.single->fullDisplay());
        QCOMPARE(text(1, 2), s.t.single->fullDisplay());
        QCOMPARE(text(2, 2), s.t.bob->fullDisplay());
        QCOMPARE(text(3, 1), QString());
        QCOMPARE(text(3, 2), QStringLiteral("<Call>"));
        QCOMPARE(text(4, 1), QString());
        QCOMPARE(text(4, 2), QStringLiteral("<System>"));
        QCOMPARE(text(1, 3), QStringLiteral("hello"));
        QVERIFY(!text(0, 0).isEmpty());

        QCOMPARE(model.data(model.index(1, 2), Qt::BackgroundRole).value<QBrush>().color(),
                 QColor(245, 255, 226));
        QCOMPARE(model.data(model.index(0, 2), Qt::BackgroundRole).value<QBrush>().color(),
                 QColor(255, 255, 255));
        QVERIFY(!model.data(model.index(0, 0), Qt::DecorationRole).value<QImage>().isNull());
        QVERIFY(!model.data(model.index(0, 1), Qt::DecorationRole).isValid());

        // Only column 0 carries the message.
        QCOMPARE(ItemModelSms::messageOf(model.indexOfPos(2)), s.bobInGroup);
        QCOMPARE(model.index(2, 2).internalPointer(), nullptr);
        QCOMPARE(ItemModelSms::messageOf(model.index(2, 2)), nullptr);
        QVERIFY(!model.indexOfPos(5).isValid());
        QVERIFY(!model.indexOfPos(-1).isValid());
    }

    // The list as a person reads it: emoji and Viber's emoticons drawn as
    // emoji, a sticker with its picture and no number; among the messages of
    // every chat a group row names its group, and one's own group message
    // names the group rather than its members.
    void rowsReadAsThePersonWroteThem()
    {
        Sample s;
        QTemporaryDir dir;
        QImage sticker(120, 120, QImage::Format_ARGB32);
        sticker.fill(Qt::magenta);
        QVERIFY(sticker.save(dir.filePath(QStringLiteral("1026.png"))));
        _ViberMsg* emoji = s.t.msg(s.t.single, MSG_TYPE_TEXT, ExportTestData::kDay + 5,
                                   QString::fromUtf16(u"thanks (heart) \U0001F44D"), MSG_STATE_RECEIVED, s.t.anna);
        _ViberMsg* stick = s.t.msg(s.t.single, MSG_TYPE_STICKER, ExportTestData::kDay + 6, QString(),
                                   MSG_STATE_RECEIVED, s.t.anna);
        _ViberAtta atta;
        atta.mediaId = QStringLiteral("1026");
        atta.thumbPath = dir.filePath(QStringLiteral("1026.png"));
        stick->atta = &atta;
        _ViberMsg* ownInGroup = s.t.msg(s.t.group, MSG_TYPE_TEXT, ExportTestData::kDay + 7, QStringLiteral("yes"),
                                        MSG_STATE_SENT, nullptr);

        ItemModelSms model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.loadSMS({emoji, stick, ownInGroup, s.bobInGroup, s.fromAnna});
        auto text = [&](int row, int col) { return model.data(model.index(row, col)).toString(); };
        QCOMPARE(text(0, ItemModelSms::COL_CONTENT), QString::fromUtf16(u"thanks \u2764\uFE0F \U0001F44D"));
        QCOMPARE(text(1, ItemModelSms::COL_CONTENT), QStringLiteral("[STICKER]"));
        const QIcon icon = model.data(model.index(1, ItemModelSms::COL_CONTENT), Qt::DecorationRole).value<QIcon>();
        QVERIFY(!icon.isNull());
        QCOMPARE(icon.pixmap(QSize(36, 36)).toImage().pixelColor(18, 18), QColor(Qt::magenta));
        QVERIFY(!model.data(model.index(0, ItemModelSms::COL_CONTENT), Qt::DecorationRole).isValid());
        QCOMPARE(text(2, ItemModelSms::COL_CONTACT), QStringLiteral("Hikers"));
        QCOMPARE(text(3, ItemModelSms::COL_CONTACT), s.t.bob->fullDisplay());
        // The tool tip holds the whole text a narrow column cuts.
        QCOMPARE(model.data(model.index(3, ItemModelSms::COL_CONTACT), Qt::ToolTipRole).toString(),
                 text(3, ItemModelSms::COL_CONTACT));

        model.loadSMS({ownInGroup, s.bobInGroup, s.fromAnna}, true);
        QVERIFY(model.mixedChats());
        QCOMPARE(text(0, ItemModelSms::COL_CONTACT), QStringLiteral("Hikers"));
        QCOMPARE(text(1, ItemModelSms::COL_CONTACT), QStringLiteral("Hikers: ") + s.t.bob->fullDisplay());
        QCOMPARE(text(2, ItemModelSms::COL_CONTACT), s.t.single->fullDisplay());
    }

    // A heart that an ordinary font also has is painted in colour in the
    // list, like the emoji only the colour font has; rows without emoji are
    // left to the usual drawing.
    void listDrawsEmojiInColour()
    {
        if (!QFontDatabase::families().contains(QStringLiteral("Noto Color Emoji")))
            QSKIP("the colour emoji font (fonts-noto-color-emoji) is not installed");
        Sample s;
        _ViberMsg* heart = s.t.msg(s.t.single, MSG_TYPE_TEXT, ExportTestData::kDay + 5,
                                   QStringLiteral("thanks (heart)"), MSG_STATE_RECEIVED, s.t.anna);
        ItemModelSms model;
        model.loadSMS({heart, s.fromAnna});
        MyTreeView view;
        view.setModel(&model);
        view.setItemDelegate(new EmojiItemDelegate(&view));
        view.resize(700, 120);
        view.setColumnWidth(0, 160);
        view.show();
        QCoreApplication::processEvents();
        const QImage shot = view.viewport()->grab().toImage();
        auto redPixels = [&](int row) {
            const QRect cell = view.visualRect(model.index(row, ItemModelSms::COL_CONTENT));
            int n = 0;
            for (int y = cell.top(); y <= cell.bottom(); ++y)
                for (int x = cell.left(); x <= cell.right(); ++x) {
                    const QColor c = shot.pixelColor(x * shot.width() / view.viewport()->width(),
                                                     y * shot.height() / view.viewport()->height());
                    n += c.hsvSaturation() > 150 && c.value() > 120 && (c.hue() < 15 || c.hue() > 340);
                }
            return n;
        };
        QVERIFY2(redPixels(0) > 5, qPrintable(QString::number(redPixels(0))));
        QCOMPARE(redPixels(1), 0);
    }

    // The list is replaced in one reset; a selection of the old list does
    // not survive into the new one.
    void listSwapWhileARowIsSelected()
    {
        Sample s;
        ItemModelSms model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.loadSMS({s.fromAnna, s.toAnna, s.bobInGroup, s.call, s.system});
        MyTreeView view;
        view.setModel(&model);
        view.setSelectionMode(QAbstractItemView::ExtendedSelection);
        view.show();
        view.setCurrentIndex(model.indexOfPos(4));
        view.selectionModel()->select(model.indexOfPos(3),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QCOMPARE(view.selectionModel()->selectedRows().size(), 2);

        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        QSignalSpy inserts(&model, &QAbstractItemModel::rowsInserted);
        model.loadSMS({s.toAnna});
        QCOMPARE(resets.count(), 1);
        QCOMPARE(inserts.count(), 0);
        QVERIFY(view.selectionModel()->selectedRows().isEmpty());
        const QModelIndex current = view.currentIndex();
        QVERIFY(!current.isValid() || ItemModelSms::messageOf(current.siblingAtColumn(0)) == s.toAnna);

        model.loadSMS({});
        QCOMPARE(model.rowCount(), 0);
        QVERIFY(!view.currentIndex().isValid());
    }

    void aMillionMessagesCostOnePointerEach()
    {
        Sample s;
        const _ViberMsg* pool[] = {s.fromAnna, s.toAnna, s.bobInGroup, s.call, s.system};
        QList<_ViberMsg*> list;
        list.reserve(1000000);
        for (int i = 0; i < 1000000; ++i)
            list.append(const_cast<_ViberMsg*>(pool[i % 5]));
        ItemModelSms model;
        MyTreeView view;
        view.setUniformRowHeights(true);
        view.setModel(&model);
        view.resize(600, 400);
        view.show();
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        model.loadSMS(list);
        QCOMPARE(resets.count(), 1);
        QCOMPARE(model.rowCount(), 1000000);
        view.scrollToBottom();
        QCoreApplication::processEvents();
        QCOMPARE(model.data(model.index(999999, 3)).toString(), s.system->summary());
        QCOMPARE(ItemModelSms::messageOf(model.indexOfPos(999998)), s.call);
    }
};

QTEST_MAIN(TestItemModels)
#include "test_item_models.moc"
