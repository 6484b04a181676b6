// SPDX-License-Identifier: GPL-3.0-or-later
#include "chat_main_form.h"

#include "advanced_send_form.h"
#include "artwork.h"
#include "attribute_set.h"
#include "chat_client.h"
#include "chat_lines.h"
#include "client_about_dialog.h"
#include "configuration_menu.h"
#include "connect_dialog.h"
#include "conversation_log.h"
#include "conversation_pages.h"
#include "conversation_view.h"
#include "find_bar.h"
#include "font_chooser_dialog.h"
#include "font_config_dlg.h"
#include "important_messages.h"
#include "info_form.h"
#include "input_pane.h"
#include "macros_form.h"
#include "main_tool_bar.h"
#include "message_notices.h"
#include "server_trust_dialog.h"
#include "settings_layout.h"
#include "settings_store.h"
#include "state_pictures.h"
#include "states_config_dlg.h"
#include "taskbar_entry.h"
#include "text_format.h"
#include "user_list_view.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLineEdit>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

namespace kovrel {

namespace {

constexpr QSize kDefaultSize(500, 290);
constexpr int kUserPaneWidth = 118;
// How long a multi-recipient send waits for the server's copy of one message: a thousand rounds of 1 ms.
constexpr std::chrono::milliseconds kOwnCopyWait{1000};
// How often and how long the window waits for its frame before placing itself at the screen's edge.
constexpr std::chrono::milliseconds kFramingCheckInterval{20};
constexpr int kFramingChecks = 25;
const QString kClassName = QStringLiteral("TChatMainForm");
const QString kLogFilters = QStringLiteral("Log файл (*.rtf);;Все файлы (*)");

Qt::ToolBarArea dockAreaOf(ToolBarSide side)
{
    switch (side) {
    case ToolBarSide::Bottom:
        return Qt::BottomToolBarArea;
    case ToolBarSide::Left:
        return Qt::LeftToolBarArea;
    case ToolBarSide::Right:
        return Qt::RightToolBarArea;
    case ToolBarSide::Top:
        break;
    }
    return Qt::TopToolBarArea;
}

} // namespace

TChatMainForm::TChatMainForm(QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Kovrel v 1.84"));
    setWindowIcon(artwork::applicationIcon());
    m_baseCaption = windowTitle();
    // The pages come first: whatever goes wrong from here on is told there.
    PageControl1 = new ConversationPages;
    m_client = new ChatClient(*this, this);
    SettingsStore::setProblemReporter(
        [this](const QString& problem) { m_client->reportError(problem, QStringLiteral("SettingsStore")); });
    ToolBar1 = new MainToolBar(this);
    addToolBar(Qt::TopToolBarArea, ToolBar1);
    ConfMenu = new ConfigurationMenu(*m_client, this);
    ConnectDialog = new TConnectDialog(this);
    FontConfigDlg = new TFontConfigDlg(this);
    MacrosForm = new TMacrosForm(this);
    AdvancedSendForm = new TAdvancedSendForm(m_client->roster(), *this, this);
    m_importantMessages = new ImportantMessages(this);
    m_statePictures = new StateImageList(this);
    m_notices = new MessageNotices(m_client->alerts(), this);

    auto* Panel1 = new QWidget(this);
    auto* panel1Layout = new QHBoxLayout(Panel1);
    panel1Layout->setContentsMargins(0, 0, 0, 0);
    Splitter1 = new QSplitter(Qt::Horizontal, Panel1);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(4);
    Splitter1->addWidget(createConversationArea());
    Splitter1->addWidget(createUserPane());
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setStretchFactor(1, 0);
    panel1Layout->addWidget(Splitter1);
    setCentralWidget(Panel1);
    createMenus();
    connectControls();
    connectSession();
    connectNotices();
    RestoreLayout();
}

TChatMainForm::~TChatMainForm()
{
    qApp->removeEventFilter(this);
    SettingsStore::setProblemReporter({});
    // The floating windows still open store their places now, so that the next start shows them again.
    UserList->closeFloatWindows();
    try {
        SaveLayout();
    } catch (const std::exception& error) {
        // Nothing is left to show it in: the window is going.
        qWarning().noquote() << "The window layout was not saved:" << error.what();
    }
}

QWidget* TChatMainForm::createConversationArea()
{
    auto* Panel2 = new QWidget;
    Panel2->setObjectName(QStringLiteral("Panel2"));
    auto* layout = new QVBoxLayout(Panel2);
    layout->setContentsMargins(0, 0, 0, 0);
    Splitter2 = new QSplitter(Qt::Vertical, Panel2);
    Splitter2->setObjectName(QStringLiteral("Splitter2"));
    Splitter2->setHandleWidth(3);
    Panel4 = new InputPane;
    auto* pages = new QWidget;
    auto* pagesLayout = new QVBoxLayout(pages);
    pagesLayout->setContentsMargins(0, 0, 0, 0);
    pagesLayout->setSpacing(0);
    pagesLayout->addWidget(PageControl1);
    m_findBar = new FindBar(pages);
    pagesLayout->addWidget(m_findBar);
    Splitter2->addWidget(pages);
    Splitter2->addWidget(Panel4);
    Splitter2->setStretchFactor(0, 1);
    Splitter2->setStretchFactor(1, 0);
    layout->addWidget(Splitter2);
    return Panel2;
}

QWidget* TChatMainForm::createUserPane()
{
    Panel3 = new QWidget;
    Panel3->setObjectName(QStringLiteral("Panel3"));
    auto* layout = new QVBoxLayout(Panel3);
    layout->setContentsMargins(0, 0, 0, 0);
    UserList = new UserListView(*m_client, *m_statePictures, Panel3);
    layout->addWidget(UserList);
    return Panel3;
}

void TChatMainForm::createMenus()
{
    SendMenu = new QMenu(this);
    SendMenu->setObjectName(QStringLiteral("SendMenu"));
    SendMenu->addAction(QStringLiteral("Послать"), this, &TChatMainForm::Button2Click)
        ->setObjectName(QStringLiteral("Send1"));
    SendMenu->addAction(QStringLiteral("Файл..."))->setVisible(false);
    SendMenu->addAction(QStringLiteral("Улучшенное"), this, &TChatMainForm::MultiSend1Click)
        ->setObjectName(QStringLiteral("MultiSend1"));
    ToolBar1->setSendMenu(SendMenu);

    LogMenu = new QMenu(this);
    LogMenu->setObjectName(QStringLiteral("LogMenu"));
    LogMenu->addAction(QStringLiteral("Загрузить"), this, &TChatMainForm::Load1Click)
        ->setObjectName(QStringLiteral("Load1"));
    LogMenu->addAction(QStringLiteral("Сохранить"), this, &TChatMainForm::Save1Click)
        ->setObjectName(QStringLiteral("Save1"));
    ToolBar1->setLogMenu(LogMenu);
    ToolBar1->setConfigurationMenu(ConfMenu);
}

void TChatMainForm::connectControls()
{
    connect(ToolBar1, &MainToolBar::loginClicked, this, &TChatMainForm::Button1Click);
    connect(ToolBar1, &MainToolBar::sendClicked, this, &TChatMainForm::Button2Click);
    connect(ToolBar1, &MainToolBar::clearClicked, PageControl1, &ConversationPages::ToolButton3Click);
    connect(ToolBar1, &MainToolBar::closeClicked, PageControl1, &ConversationPages::ToolButton4Click);
    connect(Panel4, &InputPane::sendRequested, this, &TChatMainForm::Button2Click);
    connect(Panel4, &InputPane::editorToggleRequested, ConfMenu, &ConfigurationMenu::toggleMessageEditor);
    connect(Panel4, &InputPane::styleRequested, this, &TChatMainForm::SpeedButton1Click);
    connect(PageControl1, &ConversationPages::conversationShown, m_client, &ChatClient::conversationShown);
    connect(PageControl1, &QTabWidget::currentChanged, this,
            [this] { m_findBar->setTarget(PageControl1->currentView()); });
    connect(PageControl1, &ConversationPages::textSelected, Panel4, &InputPane::offerSelection);
    connect(PageControl1, &ConversationPages::saveLogRequested, this, &TChatMainForm::Save1Click);
    connect(PageControl1, &ConversationPages::loadLogRequested, this, &TChatMainForm::Load1Click);
    connect(UserList, &UserListView::conversationRequested, this, &TChatMainForm::openRequestedConversation);
    connect(ConfMenu, &ConfigurationMenu::toolBarStyleChanged, this, &TChatMainForm::applyToolBarStyle);
    connect(ConfMenu, &ConfigurationMenu::toolBarSideChanged, this, &TChatMainForm::placeToolBar);
    connect(ConfMenu, &ConfigurationMenu::messageEditorChanged, Panel4, &InputPane::setMultiLine);
    connect(ConfMenu, &ConfigurationMenu::serverSettingsRequested, this, &TChatMainForm::Connect1Click);
    connect(ConfMenu, &ConfigurationMenu::ownCardRequested, this, &TChatMainForm::Info1Click);
    connect(ConfMenu, &ConfigurationMenu::fontsRequested, this, &TChatMainForm::Fonts1Click);
    connect(ConfMenu, &ConfigurationMenu::macrosRequested, this, &TChatMainForm::Macros1Click);
    connect(ConfMenu, &ConfigurationMenu::aboutRequested, this, [] { TClientAboutDialog::execute(); });
    connect(ConfMenu, &ConfigurationMenu::statesRequested, this, &TChatMainForm::States1Click);
    connect(UserList, &UserListView::programRequested, this, &TChatMainForm::N1Click);
    // A private page, of a partner or of a log, gets the private pages' attributes when it opens.
    connect(PageControl1, &ConversationPages::conversationOpened, this,
            [this](ConversationView* page) { applyAttributeSet(FontRow::Private, page); });
    connect(&m_client->roster(), &QAbstractItemModel::dataChanged, AdvancedSendForm,
            &TAdvancedSendForm::UserListChange);
    const RosterModel* roster = &m_client->roster();
    connect(roster, &QAbstractItemModel::dataChanged, this, &TChatMainForm::showPageMarks);
    connect(roster, &QAbstractItemModel::rowsRemoved, this, &TChatMainForm::showPageMarks);
    connect(roster, &QAbstractItemModel::modelReset, this, &TChatMainForm::showPageMarks);
    connect(m_statePictures, &StateImageList::changed, AdvancedSendForm, &TAdvancedSendForm::UserListChange);
    // The window sees keys before its controls (Esc minimises the program).
    qApp->installEventFilter(this);
}

void TChatMainForm::connectSession()
{
    ChatSession* session = &m_client->session();
    connect(session, &ChatSession::loginRunningChanged, this, &TChatMainForm::setLoginRunning);
    connect(session, &ChatSession::loginCaptionChanged, ToolBar1, &MainToolBar::setLoginCaption);
    connect(session, &ChatSession::waitingChanged, this, &TChatMainForm::setWaitCursor);
    connect(session, &ChatSession::serverSetupNeeded, this, &TChatMainForm::setUpServerThenLogIn,
            Qt::QueuedConnection);
    connect(session, &ChatSession::settled, this, &TChatMainForm::closeWhenSettled);
    connect(session, &ChatSession::encryptionChanged, ToolBar1, &MainToolBar::setEncryption);
    connect(session, &ChatSession::serverTrustNeeded, this, &TChatMainForm::askServerTrust,
            Qt::QueuedConnection);
    connect(session, &ChatSession::passwordNeeded, this, &TChatMainForm::askPassword, Qt::QueuedConnection);
    connect(Panel4, &InputPane::importanceChanged, m_client, &ChatClient::setMarkImportant);
}

void TChatMainForm::connectNotices()
{
    connect(m_notices, &MessageNotices::showRequested, this, &TChatMainForm::N1Click);
    connect(m_notices, &MessageNotices::frontRequested, this, &TChatMainForm::bringToFront);
    connect(m_notices, &MessageNotices::notificationWindowClicked, this, &TChatMainForm::BeepFormClick);
    connect(m_notices, &MessageNotices::trayAvailabilityChanged, this, &TChatMainForm::FormResize);
    // A click on a desktop notification brings the window back with that conversation shown.
    connect(m_notices, &MessageNotices::conversationRequested, this,
            [this](const std::optional<QString>& partner) {
                N1Click();
                openRequestedConversation(partner);
            });
    connect(m_notices, &MessageNotices::stateRequested, this, [this](int code) {
        if (m_client->isConnected()) {
            m_client->reportingErrors(kClassName, [&] { m_client->changeState(code); });
        }
    });
    m_notices->setOwnState([this]() -> std::optional<int> {
        const std::optional<int> own = m_client->roster().findOwnEntry();
        return own ? std::optional(m_client->roster().at(*own).state) : std::nullopt;
    });
}

void TChatMainForm::RestoreLayout()
{
    restorePlacement();
    m_client->session().LoadConnectionSettings();
    restoreOptions();
    ApplyFontSets();
    applyStoredPictures();
    m_client->session().setAutoLogin(ReadConfigFlag(ConfigFlag::StartOnRun));
    if (IsMinimized) {
        setWindowState(windowState() | Qt::WindowMinimized);
    }
}

void TChatMainForm::restorePlacement()
{
    fitToolBar();
    const QSize defaultSize = kDefaultSize.expandedTo(minimumSizeHint());
    resize(defaultSize);
    const QRect screen = this->screen()->availableGeometry();
    const int left = ReadMainFormValue(MainFormValue::Left);
    const int top = ReadMainFormValue(MainFormValue::Top);
    move(left == kAbsent ? screen.right() + 1 - defaultSize.width() : left,
         top == kAbsent ? screen.top() : top);
    m_builtInLeft = left == kAbsent;
    m_builtInTop = top == kAbsent;
    const int width = ReadMainFormValue(MainFormValue::Width);
    const int height = ReadMainFormValue(MainFormValue::Height);
    resize(width == kAbsent ? defaultSize.width() : width, height == kAbsent ? defaultSize.height() : height);
    const int userPane = ReadMainFormValue(MainFormValue::SplitterLeft);
    const int inputPane = ReadMainFormValue(MainFormValue::SplitterTop);
    Splitter1->setSizes({1000, userPane == kAbsent ? kUserPaneWidth : userPane});
    Splitter2->setSizes({1000, inputPane == kAbsent ? InputPane::kDefaultHeight : inputPane});
    markMinimized(ReadMinimized());
}

void TChatMainForm::restoreOptions()
{
    ConfMenu->restoreMarks();
    applyToolBarStyle();
    addToolBar(dockAreaOf(ConfMenu->toolBarSide()), ToolBar1);
    Panel4->setMultiLine(ConfMenu->multiLineEditor());
}

void TChatMainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (std::exchange(m_firstShow, false)) {
        QTimer::singleShot(0, this, &TChatMainForm::settleBuiltInPlacement);
    }
    // Once the window is mapped, the window manager can be asked about its task bar entry.
    QTimer::singleShot(0, this, &TChatMainForm::FormResize);
}

// The built-in place at the right edge of the screen is made flush once the window manager has framed the
// window (its frame is known a little after showing).
void TChatMainForm::settleBuiltInPlacement()
{
    if (!m_builtInLeft) {
        return;
    }
    const bool framed = frameGeometry() != geometry() || ++m_framingChecks > kFramingChecks;
    if (!framed) {
        QTimer::singleShot(kFramingCheckInterval, this, &TChatMainForm::settleBuiltInPlacement);
        return;
    }
    m_builtInLeft = false;
    const QRect screen = this->screen()->availableGeometry();
    move(screen.right() + 1 - frameGeometry().width(), m_builtInTop ? screen.top() : frameGeometry().top());
}

void TChatMainForm::SaveLayout()
{
    const QRect bounds = normalGeometry().isValid() ? normalGeometry() : geometry();
    WriteMainFormValue(MainFormValue::Left, frameGeometry().left());
    WriteMainFormValue(MainFormValue::Top, frameGeometry().top());
    WriteMainFormValue(MainFormValue::Width, bounds.width());
    WriteMainFormValue(MainFormValue::Height, bounds.height());
    WriteMinimized(IsMinimized);
    WriteMainFormValue(MainFormValue::SplitterLeft, Splitter1->sizes().value(1));
    WriteMainFormValue(MainFormValue::SplitterTop, Splitter2->sizes().value(1));
    WriteConfigFlag(ConfigFlag::BeepOnPublic, ConfMenu->beepOnPublic());
    WriteConfigFlag(ConfigFlag::BeepOnPrivate, ConfMenu->beepOnPrivate());
}

void TChatMainForm::writeLine(const ChatLine& line)
{
    PageControl1->writeLine(line);
}

// A line the user is typing stays with the page it was begun on: a new conversation then opens behind it,
// its tab and roster entry marked, and Enter still sends to the page in front.
void TChatMainForm::openConversation(const QString& partner)
{
    if (Panel4->holdsTypedText()) {
        PageControl1->addConversation(partner);
    } else {
        openPage(partner);
    }
}

// A page created in front is the conversation shown, without counting as a page change (its mark stays).
bool TChatMainForm::openPage(const QString& partner)
{
    if (!PageControl1->openConversation(partner)) {
        return false;
    }
    m_client->conversationOpened(partner);
    return true;
}

void TChatMainForm::showImportantMessage(const QString& line)
{
    m_importantMessages->show(line);
}

void TChatMainForm::showCard(const PersonalCard& card)
{
    TInfoForm::showCard(card, this);
}

void TChatMainForm::showTopic(const QString& topic)
{
    setWindowTitle(lines::TopicCaption(topic, m_baseCaption));
}

void TChatMainForm::setLoginRunning(bool running)
{
    ToolBar1->setEnabled(!running);
}

void TChatMainForm::setWaitCursor(bool waiting)
{
    if (waiting) {
        QApplication::setOverrideCursor(Qt::BusyCursor);
    } else {
        while (QApplication::overrideCursor()) {
            QApplication::restoreOverrideCursor();
        }
    }
}

// Runs once the log-in that found no server has ended, never inside it: the dialog is the user's, and a
// confirmed one is the log-in asked for again.
void TChatMainForm::setUpServerThenLogIn()
{
    if (!ConnectDialog->isVisible() && ConnectDialog->ExecuteConnectDialog()) {
        Button1Click();
    }
}

void TChatMainForm::askServerTrust(const TlsFailure& question)
{
    TServerTrustDialog dialog(question.server, question.presented, question.trusted, this);
    const bool trusted = dialog.exec() == QDialog::Accepted;
    m_client->reportingErrors(kClassName, [&] { m_client->session().answerTrust(question, trusted); });
}

void TChatMainForm::askPassword(const QString& nick, const QString& server)
{
    bool typed = false;
    const QString password = QInputDialog::getText(
        this, QStringLiteral("Пароль"), QStringLiteral("Пароль ника %1 на сервере %2:").arg(nick, server),
        QLineEdit::Password, QString(), &typed);
    if (typed && !password.isEmpty()) {
        m_client->reportingErrors(kClassName, [&] { m_client->session().providePassword(password); });
    }
}

void TChatMainForm::reportError(const QString& message, const QString& className)
{
    m_client->reportError(message, className);
}

void TChatMainForm::Button1Click()
{
    m_client->reportingErrors(kClassName, [this] { m_client->ToggleLogin(); });
}

void TChatMainForm::Button2Click()
{
    const QString text = Panel4->text();
    SendResult result = SendResult::NotConnected;
    m_client->reportingErrors(kClassName,
                              [&] { result = m_client->send(PageControl1->currentPartner(), text); });
    if (result == SendResult::Sent) {
        Panel4->messageSent(text);
    } else if (result == SendResult::ForbiddenCharacter) {
        warnOfForbiddenCharacter();
    }
}

void TChatMainForm::warnOfForbiddenCharacter()
{
    QMessageBox::warning(this, QStringLiteral("Kovrel"),
                         QStringLiteral("Строка содержит недопустимый символ: |..."));
}

void TChatMainForm::SpeedButton1Click()
{
    const TextStyle& own = m_client->outputStyle();
    const std::optional<FontChooserDialog::Choice> chosen =
        FontChooserDialog::getChoice({FontFromTextStyle(own, font()), ColorFromNumber(own.color, palette())},
                                     this, QStringLiteral("Шрифт"));
    if (!chosen) {
        return;
    }
    m_client->reportingErrors(kClassName, [&] {
        m_client->setOutputStyle(TextStyleFromChoice(chosen->font, chosen->color, own, palette()));
    });
}

void TChatMainForm::applyToolBarStyle()
{
    ToolBar1->applyCaptionStyle(ConfMenu->listStyle(), ConfMenu->showCaptions());
    fitToolBar();
}

void TChatMainForm::placeToolBar(ToolBarSide side)
{
    addToolBar(dockAreaOf(side), ToolBar1);
    fitToolBar();
}

// The window is never narrower (or, with the bar at a side, lower) than the tool bar with every button in
// view: a bar that had to fold would unfold a second row over the pages and the user list.
void TChatMainForm::fitToolBar()
{
    const int length = ToolBar1->lengthShowingAllButtons();
    const bool across = ToolBar1->orientation() == Qt::Horizontal;
    ToolBar1->setMinimumSize(across ? length : 0, across ? 0 : length);
}

void TChatMainForm::showPageMarks()
{
    const RosterModel& roster = m_client->roster();
    for (const QString& partner : PageControl1->privatePartners()) {
        const std::optional<int> row = roster.find(partner);
        PageControl1->setPageMarked(partner, row && roster.at(*row).incoming);
    }
}

void TChatMainForm::Connect1Click()
{
    QPushButton* button = ConnectDialog->connectButton();
    const QString caption = button->text();
    button->setText(QStringLiteral("Применить"));
    ConnectDialog->ExecuteConnectDialog();
    button->setText(caption);
}

void TChatMainForm::openRequestedConversation(const std::optional<QString>& partner)
{
    if (!partner || !openPage(*partner)) {
        PageControl1->showConversation(partner);
    }
}

bool TChatMainForm::eventFilter(QObject* watched, QEvent* event)
{
    return handleWindowKey(watched, event) || QMainWindow::eventFilter(watched, event);
}

// Keys pressed in one of this window's controls. Esc that closes a drop-down list, a menu, a dialog or the
// find bar is theirs.
bool TChatMainForm::handleWindowKey(QObject* receiver, QEvent* event)
{
    const auto* widget = qobject_cast<const QWidget*>(receiver);
    if (event->type() != QEvent::KeyPress || !widget || widget->window() != this ||
        QApplication::activePopupWidget() || QApplication::activeModalWidget()) {
        return false;
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    const QString macro = MacrosForm->FindMacro(key->key(), key->modifiers());
    if (!macro.isEmpty()) {
        Panel4->InsertInputText(macro);
        return true;
    }
    if (key->matches(QKeySequence::Find)) {
        openFindBar();
        return true;
    }
    if (key->key() == Qt::Key_Escape && !m_findBar->isAncestorOf(widget)) {
        showMinimized();
        return true;
    }
    return false;
}

void TChatMainForm::openFindBar()
{
    m_findBar->setTarget(PageControl1->currentView());
    m_findBar->open();
}

void TChatMainForm::closeEvent(QCloseEvent* event)
{
    ChatSession& session = m_client->session();
    if (session.isLoggingIn() || session.isLoggingOut()) {
        // The log-in or log-out under way ends first (a log-in is cut short); then the window closes.
        m_closeRequested = true;
        session.cancelLogIn();
        event->ignore();
        return;
    }
    m_closeRequested = false;
    if (m_client->isConnected()) {
        Button1Click();
    }
    event->accept();
}

void TChatMainForm::closeWhenSettled()
{
    if (m_closeRequested) {
        QTimer::singleShot(0, this, &QWidget::close);
    }
}

// "Показать": the flash stops and the program comes back.
void TChatMainForm::N1Click()
{
    m_client->alerts().stopFlash();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    bringToFront();
    FormResize();
}

void TChatMainForm::bringToFront()
{
    show();
    raise();
    activateWindow();
}

// The notification window's button: the program comes back with the conversation shown, opened from its
// roster entry as a double click would, so that it counts as seen.
void TChatMainForm::BeepFormClick()
{
    N1Click();
    UserList->openEntry(PageControl1->currentPartner().value_or(m_client->nick()));
}

// Where the desktop shows tray icons the program is reached through its icon and keeps out of the task bar;
// without them its task bar entry is the way back.
void TChatMainForm::FormResize()
{
    SetTaskbarEntryHidden(this, m_notices->trayAvailable());
}

void TChatMainForm::Info1Click()
{
    const std::optional<PersonalCard> edited = TInfoForm::editOwnCard(m_client->ownCard(), this);
    if (edited) {
        m_client->reportingErrors(kClassName, [&] { m_client->saveOwnCard(*edited); });
    }
}

void TChatMainForm::Save1Click()
{
    QTextEdit* page = PageControl1->currentView();
    const QString proposed = PageControl1->currentCaption() + QStringLiteral(".rtf");
    QFileDialog dialog(this, QStringLiteral("Сохранение Log файла..."), QDir::homePath(), kLogFilters);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.selectFile(proposed);
    // A log is rich text: a name typed without an extension gets ".rtf".
    dialog.setDefaultSuffix(QStringLiteral("rtf"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const QString path = dialog.selectedFiles().front();
    m_client->reportingErrors(kClassName, [&] { SaveLog(*page->document(), path); });
}

// A log is shown on a page of its own, known by the file's full path; loading the same file again
// replaces that page's text.
void TChatMainForm::Load1Click()
{
    QFileDialog dialog(this, QStringLiteral("Зогрузка Log файла..."), QDir::homePath(), kLogFilters);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const QString path = QFileInfo(dialog.selectedFiles().front()).absoluteFilePath();
    openPage(path);
    m_client->reportingErrors(kClassName, [&] { LoadLog(path, PageControl1->viewOf(path)); });
}

// Each area of the window in its attribute set; the own style is loaded anew and the received one starts
// over.
void TChatMainForm::ApplyFontSets()
{
    applyAttributeSet(FontRow::Common, PageControl1->viewOf(std::nullopt));
    for (QWidget* input : Panel4->inputs()) {
        applyAttributeSet(FontRow::MsgInput, input);
    }
    applyAttributeSet(FontRow::MsgInput, AdvancedSendForm->messageBox());
    applyAttributeSet(FontRow::Users, AdvancedSendForm->recipientList());
    for (ConversationView* page : PageControl1->privateViews()) {
        applyAttributeSet(FontRow::Private, page);
    }
    applyAttributeSet(FontRow::Users, UserList);
    m_client->applyTextStyles(PlatformTextStyle(QApplication::font()));
}

void TChatMainForm::applyAttributeSet(FontRow row, QWidget* control)
{
    const QString set = FontConfigDlg->setName(row);
    ApplyAttributeSet(control, LoadAttributeSet(set, AttributeSetOf(control)));
}

void TChatMainForm::Fonts1Click()
{
    m_client->reportingErrors(kClassName, [this] {
        if (FontConfigDlg->ExecuteFontDialog()) {
            ApplyFontSets();
        }
    });
}

void TChatMainForm::Macros1Click()
{
    if (MacrosForm->ExecuteMacroList()) {
        Panel4->InsertInputText(MacrosForm->chosenText());
    }
}

void TChatMainForm::MultiSend1Click()
{
    AdvancedSendForm->OpenMultiSend(Panel4->text());
}

std::optional<QString> TChatMainForm::shownPartner() const
{
    return PageControl1->currentPartner();
}

bool TChatMainForm::maySend(const QString& text)
{
    const SendResult check = m_client->checkSend(text);
    if (check == SendResult::ForbiddenCharacter) {
        warnOfForbiddenCharacter();
    }
    return check == SendResult::Sent;
}

// What the window's own send does on the conversation's page, then a wait for the server's copy, so that
// the messages of a multi-recipient send go out one after the other.
void TChatMainForm::sendPrivately(const QString& nick, const QString& text)
{
    openRequestedConversation(nick);
    Panel4->setText(text);
    const int copies = m_client->ownCopiesTo(nick);
    Button2Click();
    m_client->waitForOwnCopy(nick, copies, kOwnCopyWait);
}

void TChatMainForm::returnToConversation(const std::optional<QString>& partner)
{
    PageControl1->returnToConversation(partner);
    m_client->conversationOpened(partner);
}

QString TChatMainForm::macroFor(const QKeyEvent& key) const
{
    return MacrosForm->FindMacro(key.key(), key.modifiers());
}

QIcon TChatMainForm::statePicture(int index) const
{
    return m_statePictures->picture(index);
}

// A stored picture whose file cannot be read leaves the built-in one and is told in the conversation.
void TChatMainForm::applyStoredPictures()
{
    for (const QString& problem : ApplyStoredPictures(*m_statePictures)) {
        m_client->reportError(problem, QStringLiteral("TStatesConfigDlg"));
    }
}

// The roster and the floating windows show the new pictures by themselves once they are in use.
void TChatMainForm::States1Click()
{
    m_client->reportingErrors(kClassName, [this] {
        TStatesConfigDlg dialog(*m_statePictures, this);
        dialog.ExecuteStatesDialog(*UserList);
    });
}

// Whether the window is away decides how messages are told of.
void TChatMainForm::markMinimized(bool minimized)
{
    IsMinimized = minimized;
    m_client->setMinimized(minimized);
    m_notices->setWindowMinimized(minimized);
}

void TChatMainForm::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::WindowStateChange) {
        markMinimized(isMinimized());
        FormResize();
    }
    QMainWindow::changeEvent(event);
}

} // namespace kovrel
