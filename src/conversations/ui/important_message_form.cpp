// SPDX-License-Identifier: GPL-3.0-or-later
#include "important_message_form.h"

#include <QFont>
#include <QGuiApplication>
#include <QKeySequence>
#include <QPalette>
#include <QPlainTextEdit>
#include <QScreen>
#include <QShortcut>
#include <QToolButton>
#include <QVBoxLayout>

namespace kovrel {

namespace {

constexpr QSize kClientSize(249, 148);
constexpr int kCaptionLength = 15;
constexpr int kTextPixelSize = 13;

} // namespace

TImpotatntMessageForm::TImpotatntMessageForm(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::WindowStaysOnTopHint)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString(kCaptionLength, u'!'));
    createControls();
    setFixedSize(kClientSize);
    centreOnScreen();

    // A window shortcut sees Esc before the text box does, and swallows it.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, SpeedButton1, &QToolButton::click);
    connect(SpeedButton1, &QToolButton::clicked, this, &QWidget::close);
}

void TImpotatntMessageForm::SetMessageText(const QString& line)
{
    Memo1->setPlainText(line);
}

void TImpotatntMessageForm::AddMessageText(const QString& line)
{
    Memo1->appendPlainText(line);
}

void TImpotatntMessageForm::createControls()
{
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setAccessibleName(QStringLiteral("Важное сообщение"));
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setFocusPolicy(Qt::ClickFocus); // reachable by the mouse for copying, but not by Tab
    QFont font(QStringLiteral("Times New Roman"));
    font.setPixelSize(kTextPixelSize);
    font.setBold(true);
    Memo1->setFont(font);
    QPalette palette = Memo1->palette();
    palette.setColor(QPalette::Text, Qt::red);
    Memo1->setPalette(palette);

    SpeedButton1 = new QToolButton(this);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setText(QStringLiteral("Прибить"));
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setFocusPolicy(Qt::NoFocus);
    SpeedButton1->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    layout->addWidget(Memo1, 1);
    layout->addWidget(SpeedButton1);
}

void TImpotatntMessageForm::centreOnScreen()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    QRect area = rect();
    area.moveCenter(screen->availableGeometry().center());
    move(area.topLeft());
}

} // namespace kovrel
