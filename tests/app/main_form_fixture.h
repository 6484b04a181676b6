#pragma once

#include "chat_main_form.h"
#include "settings_layout.h"
#include "settings_sandbox.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>

namespace kovrel::test {

// A main window with its own settings, pointed at a server on 127.0.0.1.
class MainFormTest : public testing::Test
{
protected:
    void pointAt(quint16 port, const QString& nick = QStringLiteral("Вася"))
    {
        WriteHost(QString());
        WriteAddress(QStringLiteral("127.0.0.1"));
        WritePort(port);
        WriteNick(nick);
        WriteAnotherNick(QStringLiteral("Василий"));
        WriteFirstTime(false);
    }

    TChatMainForm& openWindow()
    {
        form = std::make_unique<TChatMainForm>();
        form->show();
        return *form;
    }

    void closeWindow() { form.reset(); }

    bool logIn()
    {
        form->ToolButton1->click();
        const bool online =
            QTest::qWaitFor([&] { return form->ToolButton1->text() == QStringLiteral("выход"); });
        if (!online) {
            ADD_FAILURE() << "not logged in; the conversation says:\n" << commonText().toStdString();
        }
        return online;
    }

    QString commonText() const { return form->Common->toPlainText(); }

    bool waitForText(QTextEdit* control, const QString& text, int timeoutMs = 10000)
    {
        return QTest::qWaitFor([&] { return control->toPlainText().contains(text); }, timeoutMs);
    }

    bool waitForCommon(const QString& text, int timeoutMs = 10000)
    {
        return waitForText(form->Common, text, timeoutMs);
    }

    QTreeWidgetItem* rosterItem(const QString& nick) const
    {
        const QList<QTreeWidgetItem*> found = form->UserList->findItems(nick, Qt::MatchExactly);
        return found.isEmpty() ? nullptr : found.front();
    }

    // Types as the keyboard would, one character at a time (QTest::keyClicks knows only ASCII).
    static void typeText(QWidget* target, const QString& text)
    {
        for (const QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(target, &press);
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(target, &release);
        }
    }

    void typeAndSend(const QString& text)
    {
        typeText(form->MsgEdit->lineEdit(), text);
        QTest::keyClick(form->MsgEdit->lineEdit(), Qt::Key_Return);
    }

    SettingsSandbox sandbox;
    std::unique_ptr<TChatMainForm> form;
};

} // namespace kovrel::test
