// SPDX-License-Identifier: GPL-3.0-or-later
#include "float_form.h"

#include "float_placement.h"
#include "settings_layout.h"
#include "state_pictures.h"
#include "taskbar_entry.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

namespace kovrel {

namespace {

// The strip's default size; its width follows the roster's when it is opened.
constexpr QSize kDefaultSize(135, 27);
constexpr int kCloseButtonSide = 10;

QList<QRect> availableScreenAreas()
{
    QList<QRect> areas;
    for (const QScreen* screen : QGuiApplication::screens()) {
        areas << screen->availableGeometry();
    }
    return areas;
}

} // namespace

TFloatForm::TFloatForm(const StateImageList& pictures)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_pictures(pictures)
{
    setObjectName(QStringLiteral("FloatForm"));
    setWindowTitle(QStringLiteral("Плав. окно"));
    // Appearing does not take the keyboard from the window the user types in.
    setAttribute(Qt::WA_ShowWithoutActivating);
    // It is hardly ever the active window, and its tooltip (the last unseen line) matters most while the
    // main window is minimised.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    setAutoFillBackground(true);
    createControls();
    resize(kDefaultSize);
}

void TFloatForm::createControls()
{
    CheckBox1 = new QCheckBox(this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setAccessibleName(QStringLiteral("Игнорировать"));
    CheckBox1->setFocusPolicy(Qt::NoFocus);
    connect(CheckBox1, &QCheckBox::toggled, this, &TFloatForm::CheckBox1Click);

    // The picture and the nick leave the mouse to the window, so that a drag or a double click may start
    // on them with the window's own coordinates.
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setFixedSize(kStatePictureSize, kStatePictureSize);
    Image1->setAttribute(Qt::WA_TransparentForMouseEvents);
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setTextFormat(Qt::PlainText);
    Label1->setAttribute(Qt::WA_TransparentForMouseEvents);

    SpeedButton1 = new QToolButton(this);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setText(QStringLiteral("X"));
    SpeedButton1->setToolTip(QStringLiteral("Закрыть"));
    SpeedButton1->setAccessibleName(QStringLiteral("Закрыть"));
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setFocusPolicy(Qt::NoFocus);
    QFont bold = SpeedButton1->font();
    bold.setBold(true);
    SpeedButton1->setFont(bold);
    SpeedButton1->setFixedSize(kCloseButtonSide + 4, kCloseButtonSide + 4);
    connect(SpeedButton1, &QToolButton::clicked, this, &TFloatForm::SpeedButton1Click);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 2, 2);
    layout->setSpacing(2);
    layout->addWidget(CheckBox1);
    layout->addWidget(Image1);
    layout->addSpacing(2);
    layout->addWidget(Label1, 1);
    layout->addWidget(SpeedButton1);
}

void TFloatForm::SetPicturePosition(int position)
{
    m_picturePosition = position;
    const QSize size(kStatePictureSize, kStatePictureSize);
    Image1->setPixmap(m_pictures.picture(position).pixmap(size, devicePixelRatio()));
}

QString TFloatForm::Nick() const
{
    return Label1->text();
}

void TFloatForm::SetNick(const QString& nick)
{
    Label1->setText(nick);
    Label1->setAccessibleName(nick);
    setAccessibleName(QStringLiteral("Плав. окно: ") + nick);
    moveToStoredPosition();
}

void TFloatForm::moveToStoredPosition()
{
    const int left = ReadFloatPosition(Nick(), WindowEdge::Left);
    const int top = ReadFloatPosition(Nick(), WindowEdge::Top);
    if (left == kAbsent && top == kAbsent) {
        return;
    }
    const QPoint stored(left == kAbsent ? x() : left, top == kAbsent ? y() : top);
    move(PlaceOnScreens(QRect(stored, size()), availableScreenAreas()));
}

void TFloatForm::setIgnored(bool ignored)
{
    m_guard = true;
    CheckBox1->setChecked(ignored);
    m_guard = false;
}

bool TFloatForm::isIgnored() const
{
    return CheckBox1->isChecked();
}

// Where the window system keeps window positions to itself (Wayland), the window's position is not known
// and the one stored, of another session, is kept.
void TFloatForm::storePlacement() const
{
    if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        WriteFloatPosition(Nick(), WindowEdge::Left, x());
        WriteFloatPosition(Nick(), WindowEdge::Top, y());
    }
    WriteFloatClosed(Nick(), m_closed);
}

void TFloatForm::CheckBox1Click()
{
    if (!m_guard) {
        emit ignoreChanged(CheckBox1->isChecked());
    }
}

void TFloatForm::SpeedButton1Click()
{
    m_closed = true;
    close();
}

// A modal dialog blocks every other window of the program, this one included. Above all windows, this
// one would cover the dialog (the file dialog of the state pictures, say) with nothing else to click.
bool TFloatForm::event(QEvent* event)
{
    if ((event->type() == QEvent::WindowBlocked || event->type() == QEvent::WindowUnblocked) &&
        windowHandle()) {
        windowHandle()->setFlag(Qt::WindowStaysOnTopHint, event->type() == QEvent::WindowUnblocked);
    }
    return QWidget::event(event);
}

void TFloatForm::showEvent(QShowEvent* event)
{
    m_closed = false;
    QWidget::showEvent(event);
    raise();
    // A strip beside the user list is no window of its own to the task bar; the window manager is asked
    // once the window is mapped.
    QTimer::singleShot(0, this, [this] { SetTaskbarEntryHidden(this, true); });
}

// Thin lines along the edges, as the strip has no frame of its own.
void TFloatForm::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TFloatForm::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_dragStart = event->position().toPoint();
        m_drag = Drag::Pressed;
    } else if (event->button() == Qt::RightButton) {
        emit menuRequested(event->globalPosition().toPoint());
    }
    event->accept();
}

// The window system is asked to move the window where it can (it alone can on Wayland); elsewhere the
// window follows the mouse, keeping the point that was grabbed under it.
void TFloatForm::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton)) {
        return;
    }
    const QPoint place = event->globalPosition().toPoint() - m_dragStart; // the grabbed point under the mouse
    if (m_drag == Drag::Pressed) {
        const QPoint travelled = event->position().toPoint() - m_dragStart;
        if (travelled.manhattanLength() < QApplication::startDragDistance()) {
            return;
        }
        // The window first catches up with the mouse: the window system moves it from where the mouse is
        // when asked, and the way travelled up to here would be lost.
        move(place);
        m_drag = startSystemMove() ? Drag::SystemMove : Drag::Following;
    } else if (m_drag == Drag::Following) {
        move(place);
    }
}

bool TFloatForm::startSystemMove()
{
    return windowHandle() && windowHandle()->startSystemMove();
}

void TFloatForm::mouseReleaseEvent(QMouseEvent* event)
{
    m_drag = Drag::None;
    event->accept();
}

void TFloatForm::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_drag = Drag::None;
        emit conversationRequested();
    }
    event->accept();
}

} // namespace kovrel
