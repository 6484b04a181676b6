// SPDX-License-Identifier: GPL-3.0-or-later
// Fonts and colours, macros and the about dialog in the main window.

#include "main_form_fixture.h"

#include "cp1251.h"
#include "scripted_peer.h"

#include <QColorDialog>
#include <QDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

namespace kovrel::test {
namespace {

// Counts the key presses that reach a control.
class KeyCounter : public QObject
{
public:
    int presses = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            presses += key != Qt::Key_Shift && key != Qt::Key_Control;
        }
        return false;
    }
};

template <typename Act> void onNextModal(Act act)
{
    QTimer::singleShot(0, [act] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        act(modal);
    });
}

TEST_F(MainFormTest, StoredAttributeSetsAreAppliedAtStartAndAfterTheDialog)
{
    ScriptedPeer peer;
    pointAt(peer.port());
    WriteFontName(u"Общий", QStringLiteral("DejaVu Serif"));
    WriteFontNumber(u"Общий", FontNumber::Size, 14);
    WriteFontStyle(u"Общий", FontStyle::Bold, true);
    WriteFontNumber(u"Юзеры", FontNumber::BackgroundColor, 0x00ffff); // yellow
    openWindow();
    EXPECT_EQ(common()->font().family(), "DejaVu Serif");
    EXPECT_EQ(common()->font().pointSize(), 14);
    EXPECT_TRUE(common()->font().bold());
    EXPECT_EQ(userList()->viewport()->palette().color(QPalette::Base), QColor(255, 255, 0));

    // The private pages' background, chosen in the dialog, reaches a page opened afterwards.
    onNextModal([](QWidget* dialog) {
        onNextModal([](QWidget* colors) {
            static_cast<QColorDialog*>(colors)->setCurrentColor(QColor(0, 0, 128));
            static_cast<QDialog*>(colors)->accept();
        });
        dialog->findChild<QToolButton*>(QStringLiteral("SpeedButton8"))->click();
        dialog->findChild<QPushButton*>(QStringLiteral("SpeedButton5"))->click();
    });
    action("Fonts1")->trigger();
    EXPECT_EQ(ReadFontNumber(u"Приват", FontNumber::BackgroundColor, 0), 0x800000);
    ASSERT_TRUE(logIn());
    peer.send({cp1251::fromUtf8("PrivatUser|Петя|Вася|привет")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return privatePage(QStringLiteral("Петя")) != nullptr; }));
    EXPECT_EQ(privatePage(QStringLiteral("Петя"))->viewport()->palette().color(QPalette::Base),
              QColor(0, 0, 128));
}

TEST_F(MainFormTest, AMacroFiresFromAnyControlWhichNeverSeesTheKey)
{
    WriteMacros({{QStringLiteral("Shift+Ctrl+F5"), QStringLiteral("a = b")},
                 {QStringLiteral("None"), QStringLiteral("из списка")}});
    openWindow();
    msgEdit()->setEditText(QStringLiteral("Привет"));
    KeyCounter roster;
    userList()->installEventFilter(&roster);
    QTest::keyClick(userList(), Qt::Key_F5, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(msgEdit()->currentText(), "Привет a = b");
    EXPECT_EQ(roster.presses, 0) << "the user list never sees the key that fired";
    QTest::keyClick(userList(), Qt::Key_A, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(msgEdit()->currentText(), "Привет a = b") << "Shift+Ctrl+A is no hot key";
    EXPECT_EQ(roster.presses, 1);

    // A macro without a key is chosen from the list.
    onNextModal([](QWidget* list) {
        auto* view = list->findChild<QTreeWidget*>(QStringLiteral("MacrosView"));
        view->setCurrentItem(view->topLevelItem(1));
        list->findChild<QPushButton*>(QStringLiteral("Button1"))->click();
    });
    action("Macros1")->trigger();
    EXPECT_EQ(msgEdit()->currentText(), "Привет a = b из списка") << msgEdit()->currentText().toStdString();
}

TEST_F(MainFormTest, TheAboutDialogOpensFreshEachTime)
{
    openWindow();
    for (int opening = 0; opening < 2; ++opening) {
        QString title;
        onNextModal([&title](QWidget* about) {
            title =
                about->findChild<QPushButton*>(QStringLiteral("Button2")) ? about->windowTitle() : QString();
            about->findChild<QPushButton*>(QStringLiteral("Button1"))->click();
        });
        action("About1")->trigger();
        EXPECT_FALSE(title.isEmpty());
    }
}

} // namespace
} // namespace kovrel::test
