// SPDX-License-Identifier: GPL-3.0-or-later
#include "input_pane.h"

#include "artwork.h"
#include "outgoing_message.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QStackedLayout>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtMath>

namespace kovrel {

namespace {

// A panel with nothing but `input` in it; the input is the message the user writes.
QWidget* panelHolding(const char* name, QWidget* input, const char* inputName)
{
    auto* panel = new QWidget;
    panel->setObjectName(QLatin1String(name));
    input->setObjectName(QLatin1String(inputName));
    input->setAccessibleName(QStringLiteral("Сообщение"));
    input->setAccessibleDescription(QStringLiteral("Текст для отправки в показанный разговор"));
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(input);
    return panel;
}

bool isEnter(const QKeyEvent* key)
{
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

} // namespace

InputPane::InputPane(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Panel4"));
    setMinimumHeight(kDefaultHeight);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 2, 2);
    layout->setSpacing(4);
    m_inputs = new QStackedLayout;
    m_inputs->addWidget(createOneLineInput());
    m_inputs->addWidget(createEditor());
    layout->addLayout(m_inputs, 1);
    layout->addWidget(createStyleButtons(), 0, Qt::AlignTop);
    // Keys and double clicks of both inputs come here first. The drop-down box takes the keys for its line
    // (it is the line's focus proxy); the line and the editor's viewport take the mouse.
    for (QObject* input :
         std::initializer_list<QObject*>{MsgEdit, MsgEdit->lineEdit(), Memo1, Memo1->viewport()}) {
        input->installEventFilter(this);
    }
}

QWidget* InputPane::createOneLineInput()
{
    MsgEdit = new QComboBox;
    MsgEdit->setEditable(true);
    MsgEdit->setInsertPolicy(QComboBox::NoInsert);
    MsgEdit->lineEdit()->setMaxLength(kMaxInputLength);
    // The one-line input keeps its height at the top of the pane, however tall the pane is.
    Panel6 = panelHolding("Panel6", MsgEdit, "MsgEdit");
    // The line inside the box is what a screen reader meets: it carries the box's name.
    MsgEdit->lineEdit()->setAccessibleName(MsgEdit->accessibleName());
    MsgEdit->lineEdit()->setAccessibleDescription(MsgEdit->accessibleDescription());
    static_cast<QVBoxLayout*>(Panel6->layout())->addStretch();
    return Panel6;
}

QWidget* InputPane::createEditor()
{
    Memo1 = new QPlainTextEdit;
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Panel7 = panelHolding("Panel7", Memo1, "Memo1");
    connect(Memo1, &QPlainTextEdit::textChanged, this, [this] {
        if (Memo1->toPlainText().size() > kMaxInputLength) {
            Memo1->undo();
        }
    });
    return Panel7;
}

QWidget* InputPane::createStyleButtons()
{
    auto* Panel5 = new QWidget;
    Panel5->setObjectName(QStringLiteral("Panel5"));
    auto* layout = new QHBoxLayout(Panel5);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    SpeedButton1 = new QToolButton(Panel5);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setIcon(artwork::toolbarImage(6));
    SpeedButton1->setToolTip(QStringLiteral("Настройка"));
    SpeedButton1->setAccessibleName(QStringLiteral("Настройка"));
    ImpotantBox = new QCheckBox(QStringLiteral("Важность"), Panel5);
    ImpotantBox->setObjectName(QStringLiteral("ImpotantBox"));
    ImpotantBox->setToolTip(QStringLiteral("Важность"));
    ImpotantBox->setAccessibleDescription(QStringLiteral("Сообщение уйдёт как важное"));
    layout->addWidget(SpeedButton1, 0, Qt::AlignTop);
    layout->addWidget(ImpotantBox, 0, Qt::AlignTop);
    connect(ImpotantBox, &QCheckBox::toggled, this, &InputPane::importanceChanged);
    connect(SpeedButton1, &QToolButton::clicked, this, &InputPane::styleRequested);
    return Panel5;
}

bool InputPane::isMultiLine() const
{
    return m_inputs->currentWidget() == Panel7;
}

void InputPane::setMultiLine(bool multiLine)
{
    m_inputs->setCurrentWidget(multiLine ? Panel7 : Panel6);
    fitHeight();
    focusShownInput();
}

void InputPane::fitHeight()
{
    if (!isMultiLine()) {
        setMinimumHeight(kDefaultHeight);
        return;
    }
    // The document's margins above and below the lines, and the pixel the editor keeps below the last
    // line it counts as shown whole (one less, and it offers to scroll the third line into sight).
    const qreal lines = kEditorLines * QFontMetricsF(Memo1->font()).lineSpacing();
    const int text = qCeil(lines + 2 * Memo1->document()->documentMargin()) + 1;
    const QMargins margins = layout()->contentsMargins();
    setMinimumHeight(text + 2 * Memo1->frameWidth() + margins.top() + margins.bottom());
}

void InputPane::focusShownInput()
{
    if (isMultiLine()) {
        Memo1->setFocus();
    } else {
        MsgEdit->setFocus();
    }
}

QString InputPane::text() const
{
    return isMultiLine() ? Memo1->toPlainText().replace(QLatin1Char('\n'), QLatin1String("\r\n"))
                         : MsgEdit->currentText();
}

void InputPane::setText(const QString& text)
{
    if (isMultiLine()) {
        Memo1->setPlainText(text);
        Memo1->moveCursor(QTextCursor::End);
    } else {
        MsgEdit->setEditText(text);
    }
}

void InputPane::InsertInputText(const QString& text)
{
    setText(AppendInputText(isMultiLine() ? Memo1->toPlainText() : MsgEdit->currentText(), text));
    focusShownInput();
    if (!isMultiLine()) {
        MsgEdit->lineEdit()->end(false);
    }
}

void InputPane::offerSelection(const QString& selection)
{
    if (holdsTypedText()) {
        return;
    }
    setText(selection);
    m_offeredSelection = text();
}

bool InputPane::holdsTypedText() const
{
    const QString shown = text();
    return !shown.isEmpty() && shown != m_offeredSelection;
}

QList<QWidget*> InputPane::inputs() const
{
    return {MsgEdit, Memo1};
}

void InputPane::messageSent(const QString& text)
{
    m_history.add(text);
    {
        const QSignalBlocker quiet(MsgEdit);
        MsgEdit->clear();
        MsgEdit->addItems(m_history.entries());
        MsgEdit->setCurrentIndex(-1);
    }
    MsgEdit->setEditText(QString());
    Memo1->clear();
    focusShownInput();
}

bool InputPane::eventFilter(QObject* watched, QEvent* event)
{
    const bool inMemo = watched == Memo1 || watched == Memo1->viewport();
    if (watched == Memo1 && event->type() == QEvent::FontChange) {
        fitHeight(); // the font of the message input was set
    }
    if (event->type() == QEvent::MouseButtonDblClick) {
        emit editorToggleRequested();
        return true;
    }
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // Enter sends from the one-line input; the editor needs Ctrl, so that Enter alone makes a new line.
        if (isEnter(key) && (!inMemo || key->modifiers() & Qt::ControlModifier)) {
            emit sendRequested();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace kovrel
