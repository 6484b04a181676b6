// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <ostream>

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QString>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include "qt_printers.h"
#include "settings_layout.h"

namespace kovrel {

inline void PrintTo(const Macro& macro, std::ostream* out)
{
    *out << '{';
    ::PrintTo(macro.hotKey, out);
    *out << ", ";
    ::PrintTo(macro.text, out);
    *out << '}';
}

namespace test {

// QTest::keyClicks takes Latin-1 only; other characters come as key events carrying just their text.
inline void typeText(QWidget* widget, const QString& text)
{
    for (const QChar character : text) {
        if (character.unicode() < 0x80)
            QTest::keyClick(widget, character.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(character), Qt::NoModifier);
    }
}

// Runs `actions` on the modal dialog that the caller opens next, once it is up. A dialog still open after
// them is cancelled, so that a failing test cannot hang.
inline void onNextModal(const std::function<void(QDialog& dialog)>& actions)
{
    QTimer::singleShot(0, [actions] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            ADD_FAILURE() << "no modal dialog is open";
            return;
        }
        EXPECT_TRUE(QTest::qWaitForWindowActive(dialog));
        actions(*dialog);
        if (dialog->isVisible())
            dialog->reject();
    });
}

} // namespace test
} // namespace kovrel
