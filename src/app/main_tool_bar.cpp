// SPDX-License-Identifier: GPL-3.0-or-later
#include "main_tool_bar.h"

#include "artwork.h"

#include <QLabel>
#include <QMenu>
#include <QStyle>
#include <QToolButton>

#include <algorithm>

namespace kovrel {

namespace {

// Every caption the log-in button shows: before the first log-in, online, after a log-out, after a loss.
const QString kLoginCaptions[] = {QStringLiteral("Вход"), QStringLiteral("выход"), QStringLiteral("вход"),
                                  QStringLiteral("Connect")};
const QString kOnlineCaption = QStringLiteral("выход");

// Pictures of the tool bar artwork.
constexpr int kOfflineImage = 0;
constexpr int kOnlineImage = 2;

} // namespace

MainToolBar::MainToolBar(QWidget* parent) : QToolBar(parent)
{
    setObjectName(QStringLiteral("ToolBar1"));
    setWindowTitle(QStringLiteral("Панель инструментов"));
    setMovable(false);
    setFloatable(false);
    setIconSize(QSize(16, 16));
    ToolButton1 =
        addButton("ToolButton1", kLoginCaptions[0], QStringLiteral("Соединение с сервером"), kOfflineImage);
    ToolButton2 =
        addButton("ToolButton2", QStringLiteral("Послать на..."), QStringLiteral("Послать сообщение"), 1);
    ToolButton3 =
        addButton("ToolButton3", QStringLiteral("Зачистка"), QStringLiteral("Очистить текущее окно чата"), 4);
    ToolButton4 = addButton("ToolButton4", QStringLiteral("Грохнуть окно"),
                            QStringLiteral("Закрыть текущее окно чата"), 3);
    ToolButton5 = addButton("ToolButton5", QStringLiteral("Лог"),
                            QStringLiteral("Сохранить / загрузить текущее окно чата"), 5);
    ToolButton6 =
        addButton("ToolButton6", QStringLiteral("Настройка"), QStringLiteral("Конфигурация чата"), 6);
    connect(ToolButton1, &QToolButton::clicked, this, &MainToolBar::loginClicked);
    connect(ToolButton2, &QToolButton::clicked, this, &MainToolBar::sendClicked);
    connect(ToolButton3, &QToolButton::clicked, this, &MainToolBar::clearClicked);
    connect(ToolButton4, &QToolButton::clicked, this, &MainToolBar::closeClicked);
    addEncryptionLock();
}

void MainToolBar::addEncryptionLock()
{
    auto* spacer = new QWidget(this);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    addWidget(spacer);
    EncryptionLock = new QLabel(this);
    EncryptionLock->setObjectName(QStringLiteral("EncryptionLock"));
    EncryptionLock->setPixmap(artwork::lockPicture().pixmap(iconSize()));
    EncryptionLock->setContentsMargins(4, 0, 4, 0);
    EncryptionLock->setAccessibleName(QStringLiteral("Соединение зашифровано"));
    m_lockAction = addWidget(EncryptionLock);
    m_lockAction->setVisible(false);
}

void MainToolBar::setEncryption(bool encrypted, const QString& details)
{
    const QString description = QStringLiteral("Соединение зашифровано (TLS): ") + details;
    EncryptionLock->setToolTip(encrypted ? description : QString());
    EncryptionLock->setAccessibleDescription(encrypted ? description : QString());
    m_lockAction->setVisible(encrypted);
}

QToolButton* MainToolBar::addButton(const char* name, const QString& caption, const QString& hint, int image)
{
    auto* button = new QToolButton(this);
    button->setObjectName(QLatin1String(name));
    button->setText(caption);
    button->setToolTip(hint);
    button->setAccessibleName(caption);
    button->setAccessibleDescription(hint);
    button->setIcon(artwork::toolbarImage(image));
    button->setAutoRaise(true);
    addWidget(button);
    connect(this, &QToolBar::toolButtonStyleChanged, button, &QToolButton::setToolButtonStyle);
    return button;
}

void MainToolBar::setLoginCaption(const QString& caption)
{
    ToolButton1->setText(caption);
    ToolButton1->setAccessibleName(caption);
    ToolButton1->setIcon(artwork::toolbarImage(caption == kOnlineCaption ? kOnlineImage : kOfflineImage));
}

void MainToolBar::applyCaptionStyle(bool listStyle, bool showCaptions)
{
    if (!showCaptions) {
        setToolButtonStyle(Qt::ToolButtonIconOnly);
    } else {
        setToolButtonStyle(listStyle ? Qt::ToolButtonTextBesideIcon : Qt::ToolButtonTextUnderIcon);
    }
    keepRoomForLoginCaptions();
}

// The log-in button changes its caption with the connection; room for the longest keeps the bar still.
void MainToolBar::keepRoomForLoginCaptions()
{
    const QString shown = ToolButton1->text();
    ToolButton1->setMinimumWidth(0);
    int width = 0;
    for (const QString& caption : kLoginCaptions) {
        ToolButton1->setText(caption);
        width = std::max(width, ToolButton1->sizeHint().width());
    }
    ToolButton1->setText(shown);
    ToolButton1->setMinimumWidth(width);
}

int MainToolBar::lengthShowingAllButtons() const
{
    const bool across = orientation() == Qt::Horizontal;
    const auto along = [across](QSize size) { return across ? size.width() : size.height(); };
    const int spacing = style()->pixelMetric(QStyle::PM_ToolBarItemSpacing, nullptr, this);
    const int margin = style()->pixelMetric(QStyle::PM_ToolBarItemMargin, nullptr, this) +
                       style()->pixelMetric(QStyle::PM_ToolBarFrameWidth, nullptr, this);
    const QMargins contents = contentsMargins();
    int length =
        2 * margin + (across ? contents.left() + contents.right() : contents.top() + contents.bottom());
    if (isMovable()) {
        length += style()->pixelMetric(QStyle::PM_ToolBarHandleExtent, nullptr, this) + spacing;
    }
    // Room for the padlock is kept while it is hidden, so that it never pushes a button out of sight.
    for (QAction* action : actions()) {
        if (const QWidget* button = widgetForAction(action);
            button && (action->isVisible() || action == m_lockAction)) {
            length += along(button->sizeHint().expandedTo(button->minimumSize())) + spacing;
        }
    }
    return length;
}

void MainToolBar::setSendMenu(QMenu* menu)
{
    ToolButton2->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ToolButton2, &QWidget::customContextMenuRequested, menu,
            [this, menu](const QPoint& at) { menu->popup(ToolButton2->mapToGlobal(at)); });
}

void MainToolBar::setLogMenu(QMenu* menu)
{
    ToolButton5->setMenu(menu);
    ToolButton5->setPopupMode(QToolButton::InstantPopup);
}

void MainToolBar::setConfigurationMenu(QMenu* menu)
{
    ToolButton6->setMenu(menu);
    ToolButton6->setPopupMode(QToolButton::InstantPopup);
}

} // namespace kovrel
