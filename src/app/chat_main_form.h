#pragma once

#include "chat_session.h"
#include "dispatcher.h"
#include "input_history.h"
#include "roster.h"
#include "settings_layout.h"
#include "text_style.h"

#include <QMainWindow>
#include <QPointer>

class QAction;
class QActionGroup;
class QCheckBox;
class QComboBox;
class QFrame;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QStackedLayout;
class QTabWidget;
class QTextEdit;
class QToolBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class TConnectDialog;

namespace kovrel {

// The main window: tool bar, conversation pages, roster and input pane. It owns the session and
// translates user events into calls on the core classes; what it shows comes back through SessionHost
// and ChatEvents. Its code is split by subsystem over several files.
class TChatMainForm : public QMainWindow, public SessionHost, public ChatEvents
{
    Q_OBJECT

public:
    explicit TChatMainForm(QWidget* parent = nullptr);
    ~TChatMainForm() override;

    ChatSession& session() { return *m_session; }

    // The one routine that writes a line into a conversation: style 0 is the control's own attributes,
    // style 1 the style announced by the last "TextStyle".
    void WriteChatLine(QTextEdit* control, const QString& line, int style);
    // Appends a macro's text to the shown input.
    void InsertInputText(const QString& text);
    // Writes an error that escaped a handler as a line of the common conversation.
    void ReportAppError(const QString& message, const QString& className);

    int FindPrivatePage(const QString& nick) const;
    void OpenPrivatePage(const QString& nick);

    // Clicks the log-in button: what the command line and automatic log-in do.
    void Button1Click();
    void Button2Click();

    // Controls, named as in the design.
    QToolBar* ToolBar1 = nullptr;
    QToolButton* ToolButton1 = nullptr;
    QToolButton* ToolButton2 = nullptr;
    QToolButton* ToolButton3 = nullptr;
    QToolButton* ToolButton4 = nullptr;
    QToolButton* ToolButton5 = nullptr;
    QToolButton* ToolButton6 = nullptr;
    QSplitter* Splitter1 = nullptr;
    QSplitter* Splitter2 = nullptr;
    QTabWidget* PageControl1 = nullptr;
    QTextEdit* Common = nullptr;
    QTreeWidget* UserList = nullptr;
    QWidget* Panel3 = nullptr;
    QWidget* Panel4 = nullptr;
    QWidget* Panel6 = nullptr;
    QWidget* Panel7 = nullptr;
    QComboBox* MsgEdit = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QCheckBox* ImpotantBox = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    TConnectDialog* ConnectDialog = nullptr;

    // Menus and their items.
    QMenu* SendMenu = nullptr;
    QMenu* LogMenu = nullptr;
    QMenu* ConfMenu = nullptr;
    QMenu* PrivateMenu = nullptr;
    QMenu* UserMenu = nullptr;
    QAction* BeeponPublic1 = nullptr;
    QAction* BeeponPrivate1 = nullptr;
    QAction* ShowTime1 = nullptr;
    QAction* ScrollUpToDown1 = nullptr;
    QAction* ScrollDownToUp1 = nullptr;
    QAction* List1 = nullptr;
    QAction* ShowCaption1 = nullptr;
    QAction* Top1 = nullptr;
    QAction* Left1 = nullptr;
    QAction* Right1 = nullptr;
    QAction* Bottom1 = nullptr;
    QAction* MessageEditor1 = nullptr;
    QAction* Startup1 = nullptr;
    QAction* StartonRun1 = nullptr;
    QAction* Connect1 = nullptr;
    QAction* ClosePrivate1 = nullptr;
    QAction* ClosePrivateSeparator = nullptr;
    QAction* Ignore1 = nullptr;
    QAction* Private1 = nullptr;
    QAction* Public1 = nullptr;
    QAction* N8 = nullptr;
    QMenu* State1 = nullptr;
    QActionGroup* StateGroup = nullptr;
    QAction* GetIP1 = nullptr;
    QAction* Update1 = nullptr;
    QAction* Topic1 = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Composition (chat_main_form.cpp).
    void createToolBar();
    void createMenus();
    void createConfigurationMenu();
    void createUserMenu();
    QWidget* createConversationArea();
    QWidget* createInputPane();
    QWidget* createUserPane();
    void RestoreLayout();
    void restoreOptions();
    void restorePlacement();
    void SaveLayout();

    // SessionHost.
    bool runConnectDialog() override;
    void writeEventLine(const QString& text) override;
    void writeSystemLine(const QString& line) override;
    void sendAsPublicMessage(const QString& text) override;
    void clearRoster() override;
    void setLoginButtonCaption(const QString& caption) override;
    void setWaitCursor(bool waiting) override;

    // Receiving (chat_main_form_receive.cpp).
    void ClientSocketRead();
    void onAddUser(std::string_view nick) override;
    void onGetUser(std::string_view nick) override;
    void onDelUser(std::string_view nick) override;
    void onTopic(std::string_view topic) override;
    void onGetInfo(std::string_view card) override;
    void onTextStyle(const TextStyleValues& style) override;
    void onClearTextStyle() override;
    void onPublicMessage(std::string_view sender, std::string_view text) override;
    void onPrivateMessage(std::string_view from, std::string_view to, std::string_view text) override;
    void onDisconnect() override;
    void onExistUser(std::string_view answer) override;
    void onGetNick() override;
    void onStateUser(std::string_view nick, std::int32_t code) override;
    void onGetIPUser(std::string_view address) override;
    void onTestConnection(std::string_view message) override;
    void onUnknown(std::string_view command, std::string_view rest) override;

    // Conversations (chat_main_form_conversations.cpp).
    QTextEdit* conversationControl(int page) const;
    QTextEdit* createConversationControl();
    void writeArrivalOrDeparture(const QString& nick, const QString& line);
    void showImportantMessage(const QString& line);
    void ToolButton3Click();
    void ToolButton4Click();
    void PageControl1Change();
    void PrivateMenuPopup();
    void CommonSelectionChange();
    void ShowTopic(const QString& topic);
    void notifyIncoming(const QString& entryNick, int page);

    // Sending (chat_main_form_sending.cpp).
    QString shownInputText() const;
    void clearShownInput();
    void MsgEdit1KeyDown();
    void Memo1KeyDown();
    void MessageEditor1Click();
    void SpeedButton1Click();
    void applyMessageEditorMode(bool multiLine);

    // Users (chat_main_form_users.cpp).
    void AddRosterEntry(const QString& nick);
    void refreshRosterItem(std::size_t index);
    QTreeWidgetItem* rosterItem(std::size_t index) const;
    std::optional<std::size_t> selectedEntry() const;
    void SetIncomingMark(std::size_t index, bool mark);
    void UserListDblClick();
    void UserListChange(QTreeWidgetItem* item);
    void UserMenuPopup();
    void Ignore1Click();
    void State1Click(int code);
    void GetIP1Click();
    void Update1Click();
    void Topic1Click();

    // Options (chat_main_form_options.cpp).
    void toggleOption(QAction* item, ConfigFlag flag);
    void List1Click();
    void ShowCaption1Click();
    QAction* toolBarItem(int align) const;
    void placeToolBar(int align);
    void Startup1Click();
    void StartonRun1Click();
    void Connect1Click();
    void applyToolBarStyle();

    QString m_baseCaption;
    QStackedLayout* m_inputs = nullptr;
    ChatSession* m_session = nullptr;
    Roster m_roster;
    InputHistory m_history;
    TextStyle m_receivedStyle;
    TextStyle m_outputStyle;
    bool IsMinimized = false;
    bool m_alignToScreenEdge = false;
};

} // namespace kovrel
