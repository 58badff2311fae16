#pragma once

#include "model/ViberData.h"

#include <QItemSelection>
#include <QMainWindow>

class ItemModelMain;
class ItemModelSms;
class MyTreeView;
class QAction;
class QLabel;
class QLineEdit;
class UpdateCheck;
class VBBubbleViewMgr;
class QWebEngineView;
struct _ViberChat;
struct _ViberMsg;

// The application's main frame: the source tree with the local databases and
// their chats, the message list, and a reading pane. Commands that exist so
// far are on its menus and tool bar.
class MainFrame : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainFrame(QWidget* parent = nullptr);

    ItemModelMain* treeModel() const { return m_itemModelMain; }
    ItemModelSms* messageModel() const { return m_itemModelSms; }
    MyTreeView* sourceTree() const { return m_treeViewDS; }
    MyTreeView* messageList() const { return m_treeViewSMS; }
    QAction* exportAction() const { return m_actExport; }
    QString countText() const;
    QLineEdit* chatKeyword() const { return m_txtHandleKeyword; }
    QLineEdit* messageKeyword() const { return m_txtSMSKeyword; }
    VBBubbleViewMgr* bubbleViewMgr() const { return m_bubbleViewMgr; }

public slots:
    void onMainTreeSelected(const QItemSelection& selected, const QItemSelection& deselected);
    void onSMSSortIndicatorChanged(int logicalIndex, Qt::SortOrder order);
    void searchMessages();
    void searchCotnact();
    void miExportToolbar();
    void miOpenDBFolder();
    void miClearCache();
    void miCheckUpdate();
    void miAbout();

private:
    QWidget* buildSourcePane();
    QWidget* buildMessagePane();
    QWidget* buildReadingPane();
    void initMainMenu();
    void listLocalDatabases();
    void loadMessages(const ViberData& data, _ViberChat* chat, const QStringList& sourceFolders);
    void resetMessagesShow();
    void updateMenuActionState();
    QList<_ViberMsg*> selMessages() const;
    void exportMessages(const QList<_ViberMsg*>& msgs);

    ItemModelMain* m_itemModelMain;
    ItemModelSms* m_itemModelSms;
    MyTreeView* m_treeViewDS = nullptr;
    MyTreeView* m_treeViewSMS = nullptr;
    QLineEdit* m_txtHandleKeyword = nullptr;
    QLineEdit* m_txtSMSKeyword = nullptr;
    QLabel* m_lbSMSCount = nullptr;
    QLabel* m_lbChatName = nullptr;
    QWebEngineView* m_webViewSMS = nullptr;
    VBBubbleViewMgr* m_bubbleViewMgr;
    QAction* m_actExport = nullptr;
    UpdateCheck* m_updateCheck;
    ViberData m_shownData;
    _ViberChat* m_curChat = nullptr;
};
