// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chat_view.h"
#include "multi_send_host.h"
#include "server_trust.h"

#include <QMainWindow>

#include <memory>
#include <optional>

class QMenu;
class QSplitter;

namespace kovrel {

class ChatClient;
class ConfigurationMenu;
class TConnectDialog;
class FindBar;
class StateImageList;
class TFontConfigDlg;
class TMacrosForm;
class TAdvancedSendForm;
class ConversationPages;
class ImportantMessages;
class InputPane;
class MainToolBar;
class MessageNotices;
class UserListView;
enum class ToolBarSide;
enum class FontRow;

// The main window: tool bar, conversation pages, user list and input pane. It owns the client core,
// shows what the core tells it (ChatView) and turns the user's actions into calls on the core. Its place,
// its panes and its options are restored at start and its place stored at the end.
class TChatMainForm : public QMainWindow, private ChatView, private MultiSendHost
{
    Q_OBJECT

public:
    explicit TChatMainForm(QWidget* parent = nullptr);
    ~TChatMainForm() override;

    ChatClient& client() { return *m_client; }

    // The log-in button's action: what the command line asks for at start.
    void Button1Click();
    // An error that escaped a handler, as a line of the common conversation.
    void reportError(const QString& message, const QString& className);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // Sees every key meant for this window before its controls do.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // ChatView.
    void writeLine(const ChatLine& line) override;
    void openConversation(const QString& partner) override;
    void showImportantMessage(const QString& line) override;
    void showTopic(const QString& topic) override;
    void showCard(const PersonalCard& card) override;

    // The log-in's progress.
    void connectSession();
    void setLoginRunning(bool running);
    void setWaitCursor(bool waiting);
    void setUpServerThenLogIn();
    // A certificate only the user can judge: the answer goes back to the session.
    void askServerTrust(const TlsFailure& question);
    // A registered nick whose password no secret store holds: typed for this run.
    void askPassword(const QString& nick, const QString& server);

    // MultiSendHost.
    std::optional<QString> shownPartner() const override;
    bool maySend(const QString& text) override;
    void sendPrivately(const QString& nick, const QString& text) override;
    void returnToConversation(const std::optional<QString>& partner) override;
    QString macroFor(const QKeyEvent& key) const override;
    QIcon statePicture(int index) const override;
    void MultiSend1Click();
    void warnOfForbiddenCharacter();

    QWidget* createConversationArea();
    QWidget* createUserPane();
    void createMenus();
    void connectControls();
    void connectNotices();
    void RestoreLayout();
    void restorePlacement();
    void restoreOptions();
    void settleBuiltInPlacement();
    void SaveLayout();

    void Button2Click();
    void SpeedButton1Click();
    void applyToolBarStyle();
    void placeToolBar(ToolBarSide side);
    void fitToolBar();
    // The private pages' tabs carry the incoming marks of their roster entries.
    void showPageMarks();
    void Connect1Click();
    void openRequestedConversation(const std::optional<QString>& partner);
    bool openPage(const QString& partner);
    // The window's own keys, seen before its controls: Esc minimises, Ctrl+F finds in the conversation.
    bool handleWindowKey(QObject* receiver, QEvent* event);
    void openFindBar();
    void closeWhenSettled();

    // Notifications.
    void N1Click();
    void bringToFront();
    void BeepFormClick();
    void FormResize();
    void markMinimized(bool minimized);
    void Info1Click();

    // Fonts and colours, macros, about.
    void ApplyFontSets();
    void applyAttributeSet(FontRow row, QWidget* control);
    void Fonts1Click();
    void Macros1Click();

    // State pictures.
    void applyStoredPictures();
    void States1Click();

    // Logs.
    void Save1Click();
    void Load1Click();

    ConversationPages* PageControl1;
    FindBar* m_findBar;
    ChatClient* m_client;
    MainToolBar* ToolBar1;
    InputPane* Panel4;
    QWidget* Panel3;
    UserListView* UserList;
    QSplitter* Splitter1;
    QSplitter* Splitter2;
    ConfigurationMenu* ConfMenu;
    QMenu* SendMenu;
    QMenu* LogMenu;
    TConnectDialog* ConnectDialog;
    TFontConfigDlg* FontConfigDlg;
    TMacrosForm* MacrosForm;
    TAdvancedSendForm* AdvancedSendForm;
    ImportantMessages* m_importantMessages;
    // The state pictures in use; the built-in ones are BuiltInStatePictures().
    StateImageList* m_statePictures;
    MessageNotices* m_notices;
    QString m_baseCaption;
    bool IsMinimized = false;
    bool m_firstShow = true;
    bool m_builtInLeft = false;
    bool m_builtInTop = false;
    int m_framingChecks = 0;
    bool m_closeRequested = false;
};

} // namespace kovrel
