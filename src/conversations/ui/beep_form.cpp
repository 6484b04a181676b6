// SPDX-License-Identifier: GPL-3.0-or-later
#include "beep_form.h"

#include "artwork.h"
#include "settings_layout.h"

#include <QAction>
#include <QActionGroup>
#include <QDebug>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

namespace kovrel {

namespace {

constexpr QSize kButtonSize(25, 25);

} // namespace

TBeepForm::TBeepForm(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("BeepForm"));
    setWindowTitle(QStringLiteral("Чат"));
    setWindowIcon(artwork::applicationIcon());
    SpeedButton1 = new QToolButton(this);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setAccessibleName(QStringLiteral("Показать"));
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setFixedSize(kButtonSize);
    SpeedButton1->setIconSize(kButtonSize - QSize(4, 4));
    SpeedButton1->setIcon(artwork::trayIcon(0));
    SpeedButton1->installEventFilter(this);
    // A tool window of an application that is not active shows tool tips only when it asks for them.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(SpeedButton1);
    setFixedSize(kButtonSize);
    connect(SpeedButton1, &QToolButton::clicked, this, &TBeepForm::showRequested);
    createMenu();
    restorePlace();
}

TBeepForm::~TBeepForm()
{
    try {
        WriteBeepFormPosition(WindowEdge::Left, frameGeometry().left());
        WriteBeepFormPosition(WindowEdge::Top, frameGeometry().top());
    } catch (const std::exception& error) {
        // Nothing is left to show it in: the program is ending.
        qWarning().noquote() << "The notification window's place was not saved:" << error.what();
    }
}

void TBeepForm::createMenu()
{
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    QMenu* N1 = PopupMenu1->addMenu(QStringLiteral("Прочел"));
    N1->setObjectName(QStringLiteral("N1"));
    N3 = N1->addAction(QStringLiteral("Пусто"));
    N3->setObjectName(QStringLiteral("N3"));
    connect(N3, &QAction::triggered, this, &TBeepForm::readRequested);
    // Opening "Прочел" is reading already: the flash stops as it does for the item under it.
    connect(N1, &QMenu::aboutToShow, this, &TBeepForm::readRequested);
    PopupMenu1->addSeparator();
    m_states = new QActionGroup(PopupMenu1);
    const QString captions[] = {QStringLiteral("На линии"), QStringLiteral("Недоступен"),
                                QStringLiteral("Ушел"), QStringLiteral("Занят")};
    for (int code = 0; code < 4; ++code) {
        QAction* item = PopupMenu1->addAction(captions[code]);
        item->setObjectName(QStringLiteral("State%1").arg(code));
        item->setCheckable(true);
        m_states->addAction(item);
        connect(item, &QAction::triggered, this, [this, code] { emit stateRequested(code); });
    }
    connect(PopupMenu1, &QMenu::aboutToShow, this, &TBeepForm::PopupMenu1Popup);
}

// A place never stored is the top right corner of the screen.
void TBeepForm::restorePlace()
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const int left = ReadBeepFormPosition(WindowEdge::Left);
    const int top = ReadBeepFormPosition(WindowEdge::Top);
    move(left == kAbsent ? screen.right() + 1 - frameGeometry().width() : left,
         top == kAbsent ? screen.top() : top);
}

void TBeepForm::ShowLastMessage(const QString& text)
{
    setToolTip(text);
    SpeedButton1->setToolTip(text);
    N3->setText(text.left(kMenuTextLength));
}

void TBeepForm::setFlashPhase(int phase)
{
    SpeedButton1->setIcon(artwork::trayIcon(phase));
}

void TBeepForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    keepInsideScreen();
}

// A place stored on a larger screen (or another monitor) is pulled back to the edges of this one.
void TBeepForm::keepInsideScreen()
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect frame = frameGeometry();
    move(std::min(frame.left(), screen.right() + 1 - frame.width()),
         std::min(frame.top(), screen.bottom() + 1 - frame.height()));
}

bool TBeepForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == SpeedButton1 && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
        PopupMenu1->popup(frameGeometry().bottomLeft() + QPoint(0, 1));
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TBeepForm::PopupMenu1Popup()
{
    if (const std::optional<int> state = m_ownState ? m_ownState() : std::nullopt) {
        if (*state >= 0 && *state < m_states->actions().size()) {
            m_states->actions().at(*state)->setChecked(true);
        }
    }
}

} // namespace kovrel
