// SPDX-License-Identifier: GPL-3.0-or-later
#include "find_bar.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QStyle>
#include <QToolButton>

namespace kovrel {

namespace {

constexpr int kFieldWidthInCharacters = 14;

QTextCharFormat matchFormat(const QPalette& palette, bool current)
{
    QTextCharFormat format;
    const QColor highlight = palette.color(QPalette::Highlight);
    if (current) {
        format.setBackground(highlight);
        format.setForeground(palette.color(QPalette::HighlightedText));
    } else {
        format.setBackground(QColor(highlight.red(), highlight.green(), highlight.blue(), 70));
    }
    return format;
}

// The field's colours while its text is not found: a light red base, with dark text on it whatever the
// theme's text colour.
QPalette notFoundPalette(QPalette palette)
{
    palette.setColor(QPalette::Base, QColor(0xff, 0xcc, 0xcc));
    palette.setColor(QPalette::Text, Qt::black);
    return palette;
}

QToolButton* textButton(const char* name, const QString& caption, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setText(caption);
    button->setAccessibleName(caption);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    return button;
}

} // namespace

FindBar::FindBar(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("FindBar"));
    createControls();
    hide();
}

void FindBar::createControls()
{
    m_label = new QLabel(QStringLiteral("Найти"), this);
    FindEdit = new QLineEdit(this);
    FindEdit->setObjectName(QStringLiteral("FindEdit"));
    FindEdit->setAccessibleName(QStringLiteral("Найти"));
    FindEdit->setClearButtonEnabled(true);
    // Room for a word or two beside the clear button, however narrow the window.
    FindEdit->setMinimumWidth(FindEdit->fontMetrics().averageCharWidth() * kFieldWidthInCharacters);
    m_label->setBuddy(FindEdit);
    NotFoundLabel = new QLabel(QStringLiteral("Не найдено"), this);
    NotFoundLabel->setObjectName(QStringLiteral("NotFoundLabel"));
    NotFoundLabel->setAccessibleName(QStringLiteral("Не найдено"));
    NotFoundLabel->hide();
    NextButton = textButton("NextButton", QStringLiteral("Далее"), this);
    PreviousButton = textButton("PreviousButton", QStringLiteral("Назад"), this);
    // Short, so that the field keeps its room in a narrow window; the tip and the name say it whole.
    CaseBox = new QCheckBox(QStringLiteral("Регистр"), this);
    CaseBox->setObjectName(QStringLiteral("CaseBox"));
    CaseBox->setToolTip(QStringLiteral("Учитывать регистр"));
    CaseBox->setAccessibleName(QStringLiteral("Учитывать регистр"));
    CloseButton = new QToolButton(this);
    CloseButton->setObjectName(QStringLiteral("CloseButton"));
    CloseButton->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    CloseButton->setAutoRaise(true);
    CloseButton->setAccessibleName(QStringLiteral("Закрыть"));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->addWidget(m_label);
    layout->addWidget(FindEdit, 1);
    layout->addWidget(NotFoundLabel);
    layout->addWidget(NextButton);
    layout->addWidget(PreviousButton);
    layout->addWidget(CaseBox);
    layout->addWidget(CloseButton);

    connect(FindEdit, &QLineEdit::textChanged, this, [this] {
        m_current = QTextCursor();
        highlightMatches();
        findNext();
    });
    // Return steps forward, Shift+Return back.
    connect(FindEdit, &QLineEdit::returnPressed, this,
            [this] { step(!(QGuiApplication::keyboardModifiers() & Qt::ShiftModifier)); });
    connect(NextButton, &QToolButton::clicked, this, &FindBar::findNext);
    connect(PreviousButton, &QToolButton::clicked, this, &FindBar::findPrevious);
    connect(CaseBox, &QCheckBox::toggled, this, &FindBar::highlightMatches);
    connect(CloseButton, &QToolButton::clicked, this, &FindBar::dismiss);
}

void FindBar::setTarget(QTextEdit* conversation)
{
    if (m_target && m_target != conversation) {
        m_target->setExtraSelections({});
    }
    m_target = conversation;
    m_current = QTextCursor();
    if (isVisible()) {
        highlightMatches();
    }
}

void FindBar::open()
{
    show();
    FindEdit->setFocus();
    FindEdit->selectAll();
    highlightMatches();
}

void FindBar::dismiss()
{
    hide();
    m_matches.clear();
    m_current = QTextCursor();
    if (m_target) {
        m_target->setExtraSelections({});
    }
}

QTextDocument::FindFlags FindBar::flags() const
{
    return CaseBox->isChecked() ? QTextDocument::FindCaseSensitively : QTextDocument::FindFlags();
}

void FindBar::highlightMatches()
{
    m_matches.clear();
    m_matchCount = 0;
    const QString wanted = FindEdit->text();
    if (m_target && !wanted.isEmpty()) {
        const QTextDocument* document = m_target->document();
        const QTextCharFormat format = matchFormat(palette(), false);
        for (QTextCursor match = document->find(wanted, 0, flags()); !match.isNull();
             match = document->find(wanted, match, flags())) {
            ++m_matchCount;
            if (m_matches.size() < kMostHighlighted) {
                m_matches.append({match, format});
            }
        }
    }
    showFound(!m_target || wanted.isEmpty() || m_matchCount > 0);
    applyHighlights();
}

void FindBar::showFound(bool found)
{
    FindEdit->setPalette(found ? QPalette() : notFoundPalette(palette()));
    NotFoundLabel->setVisible(!found);
}

void FindBar::findNext()
{
    step(true);
}

void FindBar::findPrevious()
{
    step(false);
}

// From the current match on, wrapping round at the end (or the start, going back).
void FindBar::step(bool forward)
{
    const QString wanted = FindEdit->text();
    if (!m_target || wanted.isEmpty()) {
        return;
    }
    const QTextDocument* document = m_target->document();
    const QTextDocument::FindFlags direction =
        forward ? QTextDocument::FindFlags() : QTextDocument::FindBackward;
    const int restart = forward ? 0 : document->characterCount() - 1;
    QTextCursor found = m_current.isNull() ? document->find(wanted, restart, flags() | direction)
                                           : document->find(wanted, m_current, flags() | direction);
    if (found.isNull()) {
        found = document->find(wanted, restart, flags() | direction);
    }
    m_current = found;
    showCurrent();
}

void FindBar::showCurrent()
{
    applyHighlights();
    if (m_current.isNull()) {
        return;
    }
    // The view is scrolled, not the caret moved: a selection in the conversation would become the input.
    const QRect match = m_target->cursorRect(m_current);
    const QRect visible = m_target->viewport()->rect();
    if (!visible.contains(match)) {
        QScrollBar* bar = m_target->verticalScrollBar();
        bar->setValue(bar->value() + match.center().y() - visible.height() / 2);
    }
}

void FindBar::applyHighlights()
{
    if (!m_target) {
        return;
    }
    QList<QTextEdit::ExtraSelection> shown = m_matches;
    if (!m_current.isNull()) {
        shown.append({m_current, matchFormat(palette(), true)});
    }
    m_target->setExtraSelections(shown);
}

void FindBar::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        dismiss();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace kovrel
