#include "chat_main_form.h"

#include "artwork.h"
#include "chat_lines.h"
#include "connect_dialog.h"
#include "settings_layout.h"
#include "text_format.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDebug>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QScreen>
#include <QShortcut>
#include <QShowEvent>
#include <QSplitter>
#include <QStackedLayout>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kovrel {

namespace {

constexpr QSize kDesignSize(500, 290);
constexpr int kUserPaneWidth = 118;
constexpr int kInputPaneHeight = 29;
constexpr int kMaxInputLength = 2048;

QToolButton* addToolButton(QToolBar* bar, const char* name, const QString& caption, const QString& hint,
                           int image)
{
    auto* button = new QToolButton(bar);
    button->setObjectName(QLatin1String(name));
    button->setText(caption);
    button->setToolTip(hint);
    button->setIcon(artwork::toolbarImage(image));
    button->setAutoRaise(true);
    bar->addWidget(button);
    QObject::connect(bar, &QToolBar::toolButtonStyleChanged, button, &QToolButton::setToolButtonStyle);
    return button;
}

} // namespace

TChatMainForm::TChatMainForm(QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Kovrel v 1.84"));
    setWindowIcon(artwork::applicationIcon());
    m_baseCaption = windowTitle();
    m_session = new ChatSession(*this, this);
    connect(&m_session->connection(), &ChatConnection::fieldsReceived, this,
            &TChatMainForm::ClientSocketRead);
    ConnectDialog = new TConnectDialog(this);

    createToolBar();
    auto* Panel1 = new QWidget(this);
    auto* panel1Layout = new QHBoxLayout(Panel1);
    panel1Layout->setContentsMargins(0, 0, 0, 0);
    Splitter1 = new QSplitter(Qt::Horizontal, Panel1);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->addWidget(createConversationArea());
    Splitter1->addWidget(createUserPane());
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setStretchFactor(1, 0);
    Splitter1->setHandleWidth(4);
    panel1Layout->addWidget(Splitter1);
    setCentralWidget(Panel1);
    createMenus();
    // The window sees Esc before any control: it minimises the program.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::showMinimized);
    try {
        RestoreLayout();
    } catch (const std::exception& error) {
        // A setting that cannot be read stops the restore where it is; the window stays usable.
        ReportAppError(QString::fromUtf8(error.what()), QString::fromLatin1(metaObject()->className()));
    }
}

TChatMainForm::~TChatMainForm()
{
    // The session calls back into this window; it goes first.
    delete std::exchange(m_session, nullptr);
    try {
        SaveLayout();
    } catch (const std::exception& error) {
        // Nothing is left to show it in: the window is going.
        qWarning().noquote() << "The window layout was not saved:" << error.what();
    }
}

void TChatMainForm::createToolBar()
{
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolButton1 = addToolButton(ToolBar1, "ToolButton1", QStringLiteral("Вход"),
                                QStringLiteral("Соединение с сервером"), 0);
    ToolButton2 = addToolButton(ToolBar1, "ToolButton2", QStringLiteral("Послать на..."),
                                QStringLiteral("Послать сообщение"), 1);
    ToolButton3 = addToolButton(ToolBar1, "ToolButton3", QStringLiteral("Зачистка"),
                                QStringLiteral("Очистить текущее окно чата"), 4);
    ToolButton4 = addToolButton(ToolBar1, "ToolButton4", QStringLiteral("Грохнуть окно"),
                                QStringLiteral("Закрыть текущее окно чата"), 3);
    ToolButton5 = addToolButton(ToolBar1, "ToolButton5", QStringLiteral("Лог"),
                                QStringLiteral("Сохранить / загрузить текущее окно чата"), 5);
    ToolButton6 = addToolButton(ToolBar1, "ToolButton6", QStringLiteral("Настройка"),
                                QStringLiteral("Конфигурация чата"), 6);
    addToolBar(Qt::TopToolBarArea, ToolBar1);
    connect(ToolButton1, &QToolButton::clicked, this, &TChatMainForm::Button1Click);
    connect(ToolButton2, &QToolButton::clicked, this, &TChatMainForm::Button2Click);
    connect(ToolButton3, &QToolButton::clicked, this, &TChatMainForm::ToolButton3Click);
    connect(ToolButton4, &QToolButton::clicked, this, &TChatMainForm::ToolButton4Click);
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
    PageControl1 = new QTabWidget(Splitter2);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setDocumentMode(true);
    PageControl1->setContextMenuPolicy(Qt::CustomContextMenu);
    Common = createConversationControl();
    Common->setObjectName(QStringLiteral("Common"));
    PageControl1->addTab(Common, QStringLiteral("Общий разговор"));
    Splitter2->addWidget(PageControl1);
    Splitter2->addWidget(createInputPane());
    Splitter2->setStretchFactor(0, 1);
    Splitter2->setStretchFactor(1, 0);
    Splitter2->setSizes({1000, kInputPaneHeight});
    layout->addWidget(Splitter2);
    connect(PageControl1, &QTabWidget::currentChanged, this, &TChatMainForm::PageControl1Change);
    return Panel2;
}

QWidget* TChatMainForm::createInputPane()
{
    Panel4 = new QWidget;
    Panel4->setObjectName(QStringLiteral("Panel4"));
    Panel4->setMinimumHeight(kInputPaneHeight);
    auto* layout = new QHBoxLayout(Panel4);
    layout->setContentsMargins(4, 2, 2, 2);
    layout->setSpacing(4);

    m_inputs = new QStackedLayout;
    Panel6 = new QWidget;
    Panel6->setObjectName(QStringLiteral("Panel6"));
    auto* panel6Layout = new QVBoxLayout(Panel6);
    panel6Layout->setContentsMargins(0, 0, 0, 0);
    MsgEdit = new QComboBox(Panel6);
    MsgEdit->setObjectName(QStringLiteral("MsgEdit"));
    MsgEdit->setEditable(true);
    MsgEdit->setInsertPolicy(QComboBox::NoInsert);
    MsgEdit->lineEdit()->setMaxLength(kMaxInputLength);
    MsgEdit->installEventFilter(this);
    MsgEdit->lineEdit()->installEventFilter(this);
    panel6Layout->addWidget(MsgEdit);
    panel6Layout->addStretch();
    Panel7 = new QWidget;
    Panel7->setObjectName(QStringLiteral("Panel7"));
    auto* panel7Layout = new QVBoxLayout(Panel7);
    panel7Layout->setContentsMargins(0, 0, 0, 0);
    Memo1 = new QPlainTextEdit(Panel7);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->installEventFilter(this);
    Memo1->viewport()->installEventFilter(this);
    panel7Layout->addWidget(Memo1);
    m_inputs->addWidget(Panel6);
    m_inputs->addWidget(Panel7);
    layout->addLayout(m_inputs, 1);

    auto* Panel5 = new QWidget;
    Panel5->setObjectName(QStringLiteral("Panel5"));
    auto* panel5Layout = new QHBoxLayout(Panel5);
    panel5Layout->setContentsMargins(0, 0, 0, 0);
    panel5Layout->setSpacing(4);
    SpeedButton1 = new QToolButton(Panel5);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setIcon(artwork::toolbarImage(6));
    SpeedButton1->setToolTip(QStringLiteral("Настройка"));
    ImpotantBox = new QCheckBox(QStringLiteral("Важность"), Panel5);
    ImpotantBox->setObjectName(QStringLiteral("ImpotantBox"));
    ImpotantBox->setToolTip(QStringLiteral("Важность"));
    panel5Layout->addWidget(SpeedButton1, 0, Qt::AlignTop);
    panel5Layout->addWidget(ImpotantBox, 0, Qt::AlignTop);
    layout->addWidget(Panel5, 0, Qt::AlignTop);

    connect(SpeedButton1, &QToolButton::clicked, this, &TChatMainForm::SpeedButton1Click);
    connect(Memo1, &QPlainTextEdit::textChanged, this, [this] {
        if (Memo1->toPlainText().size() > kMaxInputLength) {
            Memo1->undo();
        }
    });
    return Panel4;
}

QWidget* TChatMainForm::createUserPane()
{
    Panel3 = new QWidget;
    Panel3->setObjectName(QStringLiteral("Panel3"));
    auto* layout = new QVBoxLayout(Panel3);
    layout->setContentsMargins(0, 0, 0, 0);
    UserList = new QTreeWidget(Panel3);
    UserList->setObjectName(QStringLiteral("UserList"));
    UserList->setHeaderLabels({QStringLiteral("Чатовцы")});
    UserList->setRootIsDecorated(false);
    UserList->setUniformRowHeights(true);
    UserList->setMouseTracking(true);
    UserList->setContextMenuPolicy(Qt::CustomContextMenu);
    UserList->header()->setStretchLastSection(true);
    UserList->setIconSize(QSize(16, 16));
    layout->addWidget(UserList);
    Panel3->resize(kUserPaneWidth, Panel3->height());
    connect(UserList, &QTreeWidget::itemDoubleClicked, this, &TChatMainForm::UserListDblClick);
    connect(UserList, &QTreeWidget::itemChanged, this, &TChatMainForm::UserListChange);
    connect(UserList, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { UserMenu->popup(UserList->viewport()->mapToGlobal(at)); });
    return Panel3;
}

void TChatMainForm::RestoreLayout()
{
    restoreOptions();
    restorePlacement();
    m_session->LoadConnectionSettings();
    // The own style starts from the platform's default font in the window text colour.
    TextStyle windowText;
    windowText.color = kWindowTextColor;
    m_outputStyle = LoadTextStyle(kOutputStyleSet, TextStyleFromFont(QApplication::font(), windowText));
    m_session->setAutoLogin(StartonRun1->isChecked());
    if (IsMinimized) {
        setWindowState(windowState() | Qt::WindowMinimized);
    }
}

void TChatMainForm::restoreOptions()
{
    BeeponPublic1->setChecked(ReadConfigFlag(ConfigFlag::BeepOnPublic));
    BeeponPrivate1->setChecked(ReadConfigFlag(ConfigFlag::BeepOnPrivate));
    ShowTime1->setChecked(ReadConfigFlag(ConfigFlag::ShowTime));
    Startup1->setChecked(IsAutostartOn());
    StartonRun1->setChecked(ReadConfigFlag(ConfigFlag::StartOnRun));
    (ReadConfigFlag(ConfigFlag::FromUpToDown) ? ScrollUpToDown1 : ScrollDownToUp1)->setChecked(true);
    List1->setChecked(ReadConfigFlag(ConfigFlag::ListButton));
    ShowCaption1->setChecked(ReadConfigFlag(ConfigFlag::ShowCaption));
    applyToolBarStyle();
    // Positions are 1 top, 2 bottom, 3 left, 4 right; anything else leaves the bar at the top.
    const int align = ReadToolsAlign();
    if (align >= 1 && align <= 4) {
        placeToolBar(align);
    }
    const bool multiLine = ReadConfigFlag(ConfigFlag::MsgEditor);
    MessageEditor1->setChecked(multiLine);
    applyMessageEditorMode(multiLine);
}

void TChatMainForm::restorePlacement()
{
    // The design size, widened where the tool bar's captions need more room than they had in the design.
    const QSize designSize =
        kDesignSize.expandedTo(minimumSizeHint()).expandedTo(QSize(ToolBar1->sizeHint().width(), 0));
    resize(designSize);
    const QRect screen = this->screen()->availableGeometry();
    const int left = ReadMainFormValue(MainFormValue::Left);
    const int top = ReadMainFormValue(MainFormValue::Top);
    move(left == kAbsent ? screen.right() + 1 - designSize.width() : left,
         top == kAbsent ? screen.top() : top);
    m_alignToScreenEdge = left == kAbsent;
    const int width = ReadMainFormValue(MainFormValue::Width);
    const int height = ReadMainFormValue(MainFormValue::Height);
    resize(width == kAbsent ? designSize.width() : width, height == kAbsent ? designSize.height() : height);
    const int userPane = ReadMainFormValue(MainFormValue::SplitterLeft);
    const int inputPane = ReadMainFormValue(MainFormValue::SplitterTop);
    Splitter1->setSizes({1000, userPane == kAbsent ? kUserPaneWidth : userPane});
    Splitter2->setSizes({1000, inputPane == kAbsent ? kInputPaneHeight : inputPane});
    IsMinimized = ReadMinimized();
}

void TChatMainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    // The frame is known only once the window manager has framed the shown window: then the default place
    // is made flush with the right edge of the screen.
    if (std::exchange(m_alignToScreenEdge, false)) {
        QTimer::singleShot(0, this, [this] {
            const QRect screen = this->screen()->availableGeometry();
            move(screen.right() + 1 - frameGeometry().width(), frameGeometry().top());
        });
    }
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
    WriteConfigFlag(ConfigFlag::BeepOnPublic, BeeponPublic1->isChecked());
    WriteConfigFlag(ConfigFlag::BeepOnPrivate, BeeponPrivate1->isChecked());
}

bool TChatMainForm::runConnectDialog()
{
    return ConnectDialog->ExecuteConnectDialog();
}

void TChatMainForm::writeEventLine(const QString& text)
{
    WriteChatLine(Common, lines::TimePrefix() + text, 0);
}

void TChatMainForm::writeSystemLine(const QString& line)
{
    WriteChatLine(Common, line, 0);
}

void TChatMainForm::setLoginButtonCaption(const QString& caption)
{
    ToolButton1->setText(caption);
    ToolButton1->setIcon(artwork::toolbarImage(caption == QStringLiteral("выход") ? 2 : 0));
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

void TChatMainForm::ReportAppError(const QString& message, const QString& className)
{
    WriteChatLine(Common, lines::ErrorReport(lines::TimePrefix(), message, className), 0);
}

void TChatMainForm::Button1Click()
{
    ToolBar1->setEnabled(false);
    // The bar comes back on every way out, an error included.
    const auto enableBar = qScopeGuard([this] { ToolBar1->setEnabled(true); });
    m_session->ToggleLogin();
}

} // namespace kovrel
