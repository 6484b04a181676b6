// SPDX-License-Identifier: GPL-3.0-or-later
// A user's floating window on its own: dragging it, and its place above other windows.

#include "float_form.h"

#include "qt_printers.h"
#include "state_pictures.h"

#include <QDialog>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

namespace kovrel {
namespace {

class FloatFormTest : public testing::Test
{
protected:
    FloatFormTest()
    {
        form.move(200, 200);
        form.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
    }

    // The middle of the nick, where the user takes the strip, in window coordinates.
    QPoint grab() const
    {
        const auto* nick = form.findChild<QLabel*>(QStringLiteral("Label1"));
        return nick->mapTo(&form, nick->rect().center());
    }

    // The mouse at `global`, given in the window's coordinates of the moment, as the window system does.
    void moveMouseTo(const QPoint& global) { QTest::mouseMove(form.windowHandle(), global - form.pos()); }

    bool isAboveAll() const { return form.windowHandle()->flags() & Qt::WindowStaysOnTopHint; }

    StateImageList pictures;
    TFloatForm form{pictures};
};

TEST_F(FloatFormTest, ADragFollowsThePointerFromItsFirstMovement)
{
    const QPoint start = form.pos();
    const QPoint pressed = form.mapToGlobal(grab());
    QTest::mousePress(form.windowHandle(), Qt::LeftButton, {}, grab());
    moveMouseTo(pressed + QPoint(2, 1));
    EXPECT_EQ(form.pos(), start) << "a click may shake a little";

    moveMouseTo(pressed + QPoint(50, 0));
    EXPECT_EQ(form.pos(), start + QPoint(50, 0)) << "the first movement counts";
    moveMouseTo(pressed + QPoint(60, 30));
    EXPECT_EQ(form.pos(), start + QPoint(60, 30));
    QTest::mouseRelease(form.windowHandle(), Qt::LeftButton, {}, pressed + QPoint(60, 30) - form.pos());
    moveMouseTo(pressed + QPoint(100, 100));
    EXPECT_EQ(form.pos(), start + QPoint(60, 30)) << "released, it stays";
}

// Where the window system moves windows itself (an X11 window manager), it takes the drag over from the point
// the mouse has reached; the offscreen platform cannot, so the hand-over is recorded here.
class SystemMovedFloatForm : public TFloatForm
{
public:
    using TFloatForm::TFloatForm;

    // Where the window was when the window system took the drag over.
    QList<QPoint> handedOverAt;

protected:
    bool startSystemMove() override
    {
        handedOverAt.append(pos());
        return true;
    }
};

TEST(FloatFormSystemMoveTest, TheWindowSystemTakesTheWindowOverWithTheGrabbedPointUnderTheMouse)
{
    StateImageList pictures;
    SystemMovedFloatForm form(pictures);
    form.move(200, 200);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const QPoint grab(form.width() / 2, form.height() / 2);
    QTest::mousePress(form.windowHandle(), Qt::LeftButton, {}, grab);
    QTest::mouseMove(form.windowHandle(), grab + QPoint(50, 0));
    EXPECT_EQ(form.handedOverAt, QList<QPoint>({QPoint(250, 200)})) << "the first 50 px are not lost";

    QTest::mouseMove(form.windowHandle(), grab + QPoint(20, 20));
    EXPECT_EQ(form.pos(), QPoint(250, 200)) << "the window system moves it now, not the program";
    EXPECT_EQ(form.handedOverAt.size(), 1);
    QTest::mouseRelease(form.windowHandle(), Qt::LeftButton, {}, grab + QPoint(20, 20));
}

TEST_F(FloatFormTest, AModalDialogOfTheProgramIsNotCoveredByIt)
{
    ASSERT_TRUE(isAboveAll());
    TFloatForm later(pictures);
    bool aboveWhileModal = true;
    bool shownWhileModal = false;
    bool laterAboveWhileModal = true;
    QDialog dialog;
    QTimer::singleShot(0, [&] {
        aboveWhileModal = isAboveAll();
        shownWhileModal = form.isVisible();
        later.show(); // a user arrives while the dialog is open
        laterAboveWhileModal = later.windowHandle()->flags() & Qt::WindowStaysOnTopHint;
        dialog.reject();
    });
    dialog.exec();

    EXPECT_FALSE(aboveWhileModal);
    EXPECT_TRUE(shownWhileModal) << "it stays in sight, under the dialog";
    EXPECT_FALSE(laterAboveWhileModal);
    EXPECT_TRUE(isAboveAll()) << "above all again once the dialog is gone";
    EXPECT_TRUE(later.windowHandle()->flags() & Qt::WindowStaysOnTopHint);
}

} // namespace
} // namespace kovrel
