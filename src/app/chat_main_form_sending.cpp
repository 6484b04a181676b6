// The input pane of the main window: sending, the two inputs, the history and the own text style.

#include "chat_main_form.h"

#include "outgoing_message.h"
#include "settings_layout.h"
#include "text_format.h"
#include "wire_text.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QStackedLayout>
#include <QTabWidget>
#include <QToolButton>

namespace kovrel {

QString TChatMainForm::shownInputText() const
{
    return MessageEditor1->isChecked()
               ? Memo1->toPlainText().replace(QLatin1Char('\n'), QLatin1String("\r\n"))
               : MsgEdit->currentText();
}

void TChatMainForm::clearShownInput()
{
    if (MessageEditor1->isChecked()) {
        Memo1->clear();
        Memo1->setFocus();
    } else {
        MsgEdit->setEditText(QString());
        MsgEdit->setFocus();
    }
}

void TChatMainForm::Button2Click()
{
    if (!m_session->isConnected()) {
        return;
    }
    const QString text = shownInputText();
    switch (CheckOutgoingText(text)) {
    case OutgoingCheck::Blank:
        return;
    case OutgoingCheck::ForbiddenCharacter:
        QMessageBox::warning(this, QStringLiteral("Kovrel"),
                             QStringLiteral("Строка содержит недопустимый символ: |..."));
        return;
    case OutgoingCheck::Ready:
        break;
    }
    const int page = PageControl1->currentIndex();
    const QString partner = page > 0 ? PageControl1->tabText(page) : QString();
    const ChatFields fields =
        BuildChatFields(m_outputStyle, m_session->nick(), partner, ImpotantBox->isChecked(), text);
    m_session->connection().sendPacket({toWire(fields.style), toWire(fields.message)});
    m_history.add(text);
    const QSignalBlocker quiet(MsgEdit);
    MsgEdit->clear();
    MsgEdit->addItems(m_history.entries());
    MsgEdit->setCurrentIndex(-1);
    clearShownInput();
}

void TChatMainForm::sendAsPublicMessage(const QString& text)
{
    PageControl1->setCurrentIndex(0);
    if (MessageEditor1->isChecked()) {
        Memo1->setPlainText(text);
    } else {
        MsgEdit->setEditText(text);
    }
    // Called while the log-in keeps the tool bar disabled: the send action runs all the same.
    Button2Click();
}

void TChatMainForm::InsertInputText(const QString& text)
{
    const QString current = MessageEditor1->isChecked() ? Memo1->toPlainText() : MsgEdit->currentText();
    const QString separator =
        current.isEmpty() || current.endsWith(QLatin1Char(' ')) ? QString() : QStringLiteral(" ");
    const QString joined = current + separator + text;
    if (MessageEditor1->isChecked()) {
        Memo1->setPlainText(joined);
        Memo1->setFocus();
        Memo1->moveCursor(QTextCursor::End);
    } else {
        MsgEdit->setEditText(joined);
        MsgEdit->setFocus();
        MsgEdit->lineEdit()->end(false);
    }
}

void TChatMainForm::MsgEdit1KeyDown()
{
    Button2Click();
}

void TChatMainForm::Memo1KeyDown()
{
    Button2Click();
    QApplication::processEvents();
    Memo1->clear();
}

bool TChatMainForm::eventFilter(QObject* watched, QEvent* event)
{
    const bool inMsgEdit = watched == MsgEdit || watched == MsgEdit->lineEdit();
    const bool inMemo = watched == Memo1 || watched == Memo1->viewport();
    if (event->type() == QEvent::MouseButtonDblClick && (inMsgEdit || inMemo)) {
        MessageEditor1->trigger();
        return true;
    }
    if (event->type() != QEvent::KeyPress || !(inMsgEdit || inMemo)) {
        return QMainWindow::eventFilter(watched, event);
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (enter && inMsgEdit) {
        MsgEdit1KeyDown();
        return true;
    }
    if (enter && inMemo && (key->modifiers() & Qt::ControlModifier)) {
        Memo1KeyDown();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TChatMainForm::MessageEditor1Click()
{
    const bool multiLine = MessageEditor1->isChecked();
    WriteConfigFlag(ConfigFlag::MsgEditor, multiLine);
    applyMessageEditorMode(multiLine);
}

void TChatMainForm::applyMessageEditorMode(bool multiLine)
{
    m_inputs->setCurrentWidget(multiLine ? Panel7 : Panel6);
    if (multiLine) {
        Memo1->setFocus();
    } else {
        MsgEdit->setFocus();
    }
}

void TChatMainForm::SpeedButton1Click()
{
    bool accepted = false;
    const QFont chosen = QFontDialog::getFont(&accepted, FontFromTextStyle(m_outputStyle, font()), this);
    if (!accepted) {
        return;
    }
    m_outputStyle = TextStyleFromFont(chosen, m_outputStyle);
    SaveTextStyle(kOutputStyleSet, m_outputStyle);
}

} // namespace kovrel
