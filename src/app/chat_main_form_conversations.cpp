// Conversation pages of the main window: writing lines, private pages, page commands and the topic.

#include "chat_main_form.h"

#include "chat_lines.h"
#include "important_message_form.h"
#include "settings_layout.h"
#include "text_format.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextEdit>

namespace kovrel {

QTextEdit* TChatMainForm::createConversationControl()
{
    auto* control = new QTextEdit;
    control->setReadOnly(true);
    control->setAcceptRichText(false);
    control->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    control->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // Placing the caret counts as a change of selection too: it empties the input.
    connect(control, &QTextEdit::selectionChanged, this, &TChatMainForm::CommonSelectionChange);
    connect(control, &QTextEdit::cursorPositionChanged, this, &TChatMainForm::CommonSelectionChange);
    return control;
}

QTextEdit* TChatMainForm::conversationControl(int page) const
{
    return qobject_cast<QTextEdit*>(PageControl1->widget(page));
}

void TChatMainForm::WriteChatLine(QTextEdit* control, const QString& line, int style)
{
    // Writing moves the selection; the input must not take it over.
    const QSignalBlocker quiet(control);
    if (lines::IsImportantLine(line, ReadConfigFlag(ConfigFlag::ShowTime), m_session->nick())) {
        showImportantMessage(line);
    }
    const bool atBottom = ReadConfigFlag(ConfigFlag::FromUpToDown);
    const QTextCharFormat defaults = DefaultCharFormat(control);
    const QTextCharFormat format =
        style == 1 ? CharFormatFor(m_receivedStyle, defaults, control->palette()) : defaults;
    QTextDocument* document = control->document();
    const bool empty = document->isEmpty();
    QTextCursor cursor(document);
    cursor.movePosition(atBottom ? QTextCursor::End : QTextCursor::Start);
    cursor.beginEditBlock();
    if (atBottom && !empty) {
        cursor.insertBlock(QTextBlockFormat(), format);
    }
    cursor.insertText(line, format);
    if (!atBottom && !empty) {
        cursor.insertBlock(QTextBlockFormat(), defaults);
    }
    cursor.endEditBlock();
    QScrollBar* scroll = control->verticalScrollBar();
    if (atBottom) {
        scroll->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    } else {
        scroll->setValue(scroll->minimum());
    }
}

void TChatMainForm::showImportantMessage(const QString& line)
{
    auto* window = new TImpotatntMessageForm(this);
    window->SetMessageText(line);
    window->show();
}

int TChatMainForm::FindPrivatePage(const QString& nick) const
{
    for (int page = 1; page < PageControl1->count(); ++page) {
        if (PageControl1->tabText(page) == nick) {
            return page;
        }
    }
    return -1;
}

void TChatMainForm::OpenPrivatePage(const QString& nick)
{
    if (FindPrivatePage(nick) >= 0) {
        return;
    }
    QTextEdit* Privat = createConversationControl();
    Privat->setObjectName(QStringLiteral("Privat"));
    Privat->setFont(Common->font());
    const QSignalBlocker quiet(PageControl1);
    PageControl1->setCurrentIndex(PageControl1->addTab(Privat, nick));
}

void TChatMainForm::writeArrivalOrDeparture(const QString& nick, const QString& line)
{
    WriteChatLine(Common, line, 0);
    const int page = FindPrivatePage(nick);
    if (page >= 0) {
        WriteChatLine(conversationControl(page), line, 0);
    }
}

void TChatMainForm::notifyIncoming(const QString& entryNick, int page)
{
    if (PageControl1->currentIndex() == page && !IsMinimized) {
        return;
    }
    if (const std::optional<std::size_t> index = m_roster.find(entryNick)) {
        SetIncomingMark(*index, true);
    }
}

void TChatMainForm::ToolButton3Click()
{
    QTextEdit* control = conversationControl(PageControl1->currentIndex());
    // Emptying the page moves its caret; that is not the user's selection and must not wipe a draft.
    const QSignalBlocker quiet(control);
    control->clear();
}

void TChatMainForm::ToolButton4Click()
{
    const int page = PageControl1->currentIndex();
    if (page <= 0) {
        return;
    }
    QWidget* closed = PageControl1->widget(page);
    // Moving to the page before counts as a page change: its conversation is marked as read.
    PageControl1->setCurrentIndex(page - 1);
    PageControl1->removeTab(page);
    delete closed;
}

void TChatMainForm::PageControl1Change()
{
    const int page = PageControl1->currentIndex();
    const QString entryNick = page <= 0 ? m_session->nick() : PageControl1->tabText(page);
    if (const std::optional<std::size_t> index = m_roster.find(entryNick)) {
        SetIncomingMark(*index, false);
    }
}

void TChatMainForm::PrivateMenuPopup()
{
    const bool privatePage = PageControl1->currentIndex() > 0;
    ClosePrivate1->setVisible(privatePage);
    ClosePrivateSeparator->setVisible(privatePage);
}

void TChatMainForm::CommonSelectionChange()
{
    auto* control = qobject_cast<QTextEdit*>(sender());
    if (!control) {
        return;
    }
    const QString selected = control->textCursor().selectedText().replace(QChar::ParagraphSeparator, '\n');
    if (MessageEditor1->isChecked()) {
        Memo1->setPlainText(selected);
    } else {
        MsgEdit->setEditText(selected);
    }
}

void TChatMainForm::ShowTopic(const QString& topic)
{
    setWindowTitle(lines::TopicCaption(topic, m_baseCaption));
}

} // namespace kovrel
