// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chat_main_form.h"
#include "qt_printers.h"
#include "settings_layout.h"
#include "settings_sandbox.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>
#include <QTreeView>

#include <gtest/gtest.h>

#include <memory>

namespace kovrel::test {

// Finds a control of a window by its object name; fails the test when there is none.
template <typename Control> Control* control(const QObject* window, const char* name)
{
    auto* found = window->findChild<Control*>(QLatin1String(name));
    if (!found) {
        ADD_FAILURE() << "no control named " << name;
    }
    return found;
}

// A main window with its own settings, pointed at a server on 127.0.0.1, and its controls by name.
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

    QToolButton* button(const char* name) const { return control<QToolButton>(form.get(), name); }
    QAction* action(const char* name) const { return control<QAction>(form.get(), name); }
    QTabWidget* pages() const { return control<QTabWidget>(form.get(), "PageControl1"); }
    QTextEdit* common() const { return control<QTextEdit>(form.get(), "Common"); }
    QComboBox* msgEdit() const { return control<QComboBox>(form.get(), "MsgEdit"); }
    // The multi-recipient send window, a child of the main window, has controls of the same names.
    QPlainTextEdit* memo() const
    {
        return control<QPlainTextEdit>(control<QWidget>(form.get(), "Panel4"), "Memo1");
    }
    QTreeView* userList() const
    {
        return control<QTreeView>(control<QWidget>(form.get(), "Panel3"), "UserList");
    }
    QString loginCaption() const { return button("ToolButton1")->text(); }

    // The conversation page of a partner, or nullptr.
    QTextEdit* privatePage(const QString& partner) const
    {
        for (int page = 1; page < pages()->count(); ++page) {
            if (pages()->tabBar()->tabData(page).toString() == partner) {
                return qobject_cast<QTextEdit*>(pages()->widget(page));
            }
        }
        return nullptr;
    }

    // A window pointed at a server on 127.0.0.1 and logged into it.
    void openLoggedIn(quint16 port)
    {
        ASSERT_NE(port, 0);
        pointAt(port);
        openWindow();
        ASSERT_TRUE(logIn());
    }

    bool logIn()
    {
        button("ToolButton1")->click();
        const bool online = QTest::qWaitFor([&] { return loginCaption() == QStringLiteral("выход"); });
        if (!online) {
            ADD_FAILURE() << "not logged in; the conversation says:\n" << commonText().toStdString();
        }
        return online;
    }

    QString commonText() const { return common()->toPlainText(); }

    bool waitForText(QTextEdit* page, const QString& text, int timeoutMs = 10000) const
    {
        return QTest::qWaitFor([&] { return page && page->toPlainText().contains(text); }, timeoutMs);
    }

    bool waitForCommon(const QString& text, int timeoutMs = 10000) const
    {
        return waitForText(common(), text, timeoutMs);
    }

    // The row of the user list that shows this nick.
    QModelIndex rosterRow(const QString& nick) const
    {
        const QAbstractItemModel* model = userList()->model();
        const QModelIndexList found = model->match(model->index(0, 0), Qt::DisplayRole, nick, 1,
                                                   Qt::MatchExactly | Qt::MatchCaseSensitive);
        return found.value(0);
    }

    void selectUser(const QString& nick) const { userList()->setCurrentIndex(rosterRow(nick)); }

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

    // Keys go where the system delivers them: to the focused drop-down box, which hands them to its line.
    void typeAndSend(const QString& text)
    {
        typeText(msgEdit(), text);
        QTest::keyClick(msgEdit(), Qt::Key_Return);
    }

    SettingsSandbox sandbox;
    std::unique_ptr<TChatMainForm> form;
};

} // namespace kovrel::test
