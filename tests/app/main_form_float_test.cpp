// SPDX-License-Identifier: GPL-3.0-or-later
// The users' floating windows and the state pictures in the main window, against the real server.

#include "main_form_fixture.h"

#include "artwork.h"
#include "float_form.h"
#include "modal_answerer.h"
#include "peer_client.h"
#include "real_server.h"
#include "states_config_dlg.h"

#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QToolTip>
#include <QTreeWidget>

namespace kovrel::test {
namespace {

QImage pictureImage(const QIcon& picture)
{
    return picture.pixmap(QSize(16, 16), 1.0).toImage();
}

class MainFormFloatTest : public MainFormTest
{
protected:
    void SetUp() override
    {
        ASSERT_NE(server.port(), 0);
        pointAt(server.port());
        openWindow();
        ASSERT_TRUE(logIn());
        arrive(peter);
    }

    void arrive(PeerClient& peer)
    {
        ASSERT_TRUE(peer.logIn("Петя"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return rosterRow("Петя").isValid(); }));
    }

    // The floating window of a user, shown or hidden, or nullptr.
    static TFloatForm* floatWindow(const QString& nick)
    {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            auto* found = qobject_cast<TFloatForm*>(window);
            if (found && found->Nick() == nick) {
                return found;
            }
        }
        return nullptr;
    }

    TFloatForm* openFloat(const QString& nick)
    {
        selectUser(nick);
        action("Float1")->trigger();
        TFloatForm* window = floatWindow(nick);
        EXPECT_TRUE(window && window->isVisible());
        return window;
    }

    static QPoint nickPoint(TFloatForm* window)
    {
        const QWidget* nick = control<QLabel>(window, "Label1");
        return nick->mapTo(window, nick->rect().center());
    }

    // A drag with the left button from `grab` (window coordinates) by `distance`, in three moves.
    static void drag(TFloatForm* window, const QPoint& grab, const QPoint& distance)
    {
        const QPoint start = window->mapToGlobal(grab);
        QTest::mousePress(window->windowHandle(), Qt::LeftButton, {}, grab);
        for (const int part : {1, 2, 4}) {
            const QPoint target = start + distance * part / 4;
            QTest::mouseMove(window->windowHandle(), target - window->pos());
        }
        QTest::mouseRelease(window->windowHandle(), Qt::LeftButton, {}, start + distance - window->pos());
    }

    bool showsPicture(TFloatForm* window, int picture) const
    {
        return QTest::qWaitFor([&] {
            const QPixmap shown = control<QLabel>(window, "Image1")->pixmap();
            return shown.toImage() == pictureImage(artwork::statePicture(picture));
        });
    }

    bool isIgnored(const QString& nick) const
    {
        return rosterRow(nick).data(Qt::CheckStateRole).value<Qt::CheckState>() == Qt::Checked;
    }

    QPoint storedPosition(const QString& nick) const
    {
        return {ReadFloatPosition(nick, WindowEdge::Left), ReadFloatPosition(nick, WindowEdge::Top)};
    }

    RealServer server;
    PeerClient peter{server.port()};
};

TEST_F(MainFormFloatTest, OpensAtTheUsersRowAndFollowsTheUser)
{
    EXPECT_EQ(floatWindow("Петя"), nullptr) << "nothing opens by itself the first time";
    TFloatForm* window = openFloat("Петя");
    ASSERT_NE(window, nullptr);
    const QRect row = userList()->visualRect(rosterRow("Петя"));
    EXPECT_EQ(window->pos(), userList()->viewport()->mapToGlobal(row.topLeft()));
    EXPECT_EQ(window->width(), userList()->width() + 14);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(window->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(control<QLabel>(window, "Label1")->text(), "Петя");
    EXPECT_TRUE(showsPicture(window, 0));

    peter.send({"StateUser|Петя|3"});
    EXPECT_TRUE(showsPicture(window, 8));

    // A line that arrives unseen marks the picture and becomes the window's tooltip.
    peter.sayPrivate("Вася", "первое");
    ASSERT_TRUE(QTest::qWaitFor([&] { return privatePage("Петя") != nullptr; }));
    ASSERT_TRUE(waitForText(privatePage("Петя"), "Петя: первое"));
    pages()->setCurrentIndex(0);
    peter.sayPrivate("Вася", "второе");
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->toolTip() == "Петя: второе"; }));
    EXPECT_TRUE(showsPicture(window, 9));
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    ASSERT_FALSE(window->isActiveWindow());
    QTest::mouseMove(window->windowHandle(), nickPoint(window));
    EXPECT_TRUE(QTest::qWaitFor([] { return QToolTip::isVisible(); }))
        << "the tooltip shows though the window is not the active one";
    EXPECT_EQ(QToolTip::text(), "Петя: второе");
}

TEST_F(MainFormFloatTest, TheIgnoreBoxGoesBothWaysWithoutEchoingBack)
{
    TFloatForm* window = openFloat("Петя");
    ASSERT_NE(window, nullptr);
    auto* box = control<QCheckBox>(window, "CheckBox1");
    QSignalSpy fromWindow(window, &TFloatForm::ignoreChanged);

    userList()->model()->setData(rosterRow("Петя"), Qt::Checked, Qt::CheckStateRole);
    EXPECT_TRUE(box->isChecked()) << "the roster's mark shows in the window";
    EXPECT_EQ(fromWindow.count(), 0) << "and is not written back";

    QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
    EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(fromWindow.count(), 1);
    EXPECT_FALSE(isIgnored("Петя")) << "the window's box sets the roster's mark";
    QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
    EXPECT_TRUE(isIgnored("Петя"));
}

TEST_F(MainFormFloatTest, DoubleClickOpensTheConversationAndTheRightButtonTheRosterMenu)
{
    TFloatForm* window = openFloat("Петя");
    ASSERT_NE(window, nullptr);
    selectUser("Вася");
    form->showMinimized();
    QTest::mouseDClick(window->windowHandle(), Qt::LeftButton, {}, nickPoint(window));
    ASSERT_NE(privatePage("Петя"), nullptr);
    EXPECT_EQ(pages()->currentWidget(), privatePage("Петя"));
    EXPECT_FALSE(form->isMinimized()) << "the program came back first";

    auto* menu = control<QMenu>(form.get(), "UserMenu");
    selectUser("Вася");
    QTest::mousePress(window->windowHandle(), Qt::RightButton, {}, nickPoint(window));
    ASSERT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }));
    EXPECT_EQ(userList()->currentIndex(), rosterRow("Петя")) << "the menu is the window's user's";
    EXPECT_TRUE(action("Private1")->isVisible());
    menu->close();
    QTest::mouseRelease(window->windowHandle(), Qt::RightButton, {}, nickPoint(window));
}

TEST_F(MainFormFloatTest, ADraggedWindowComesBackWhereItWasWhenItsUserReturns)
{
    TFloatForm* window = openFloat("Петя");
    ASSERT_NE(window, nullptr);
    const QPoint before = window->pos();
    const QPoint grab = nickPoint(window);
    drag(window, grab, {90, 140});
    EXPECT_EQ(window->pos(), before + QPoint(90, 140)) << "the grabbed point stays under the mouse";
    const QPoint dragged = window->pos();

    peter.logOut();
    ASSERT_TRUE(QTest::qWaitFor([&] { return floatWindow("Петя") == nullptr; }));
    EXPECT_EQ(storedPosition("Петя"), dragged);
    EXPECT_FALSE(ReadFloatClosed(u"Петя"));

    PeerClient again(server.port());
    arrive(again);
    ASSERT_TRUE(QTest::qWaitFor([&] { return floatWindow("Петя") != nullptr; }));
    EXPECT_TRUE(floatWindow("Петя")->isVisible()) << "it opens by itself";
    EXPECT_EQ(floatWindow("Петя")->pos(), dragged);

    // A refresh of the roster also brings it back where it was.
    action("Update1")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return floatWindow("Петя") && floatWindow("Петя")->isVisible(); }));
    EXPECT_EQ(floatWindow("Петя")->pos(), dragged);
}

TEST_F(MainFormFloatTest, AWindowTheUserClosedStaysClosedUntilAskedFor)
{
    TFloatForm* window = openFloat("Петя");
    ASSERT_NE(window, nullptr);
    drag(window, nickPoint(window), {-30, 60});
    const QPoint dragged = window->pos();
    control<QToolButton>(window, "SpeedButton1")->click();
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(window->isClosedByUser());

    peter.logOut();
    ASSERT_TRUE(QTest::qWaitFor([&] { return floatWindow("Петя") == nullptr; }));
    EXPECT_TRUE(ReadFloatClosed(u"Петя"));
    PeerClient again(server.port());
    arrive(again);
    EXPECT_EQ(floatWindow("Петя"), nullptr);

    window = openFloat("Петя");
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(window->isClosedByUser());
    EXPECT_EQ(window->pos(), dragged) << "asked for again, it opens at its stored place";
}

TEST_F(MainFormFloatTest, AStoredPlaceOffEveryScreenIsBroughtBackOntoTheScreen)
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    WriteFloatPosition(u"Петя", WindowEdge::Left, screen.right() + 2000);
    WriteFloatPosition(u"Петя", WindowEdge::Top, screen.top() + 40);
    TFloatForm* window = openFloat("Петя");
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(screen.contains(window->geometry())) << "at " << window->x() << "," << window->y();
    EXPECT_EQ(window->x(), screen.right() + 1 - window->width());
    EXPECT_EQ(window->y(), screen.top() + 40);
}

TEST_F(MainFormFloatTest, OpenWindowsAreStoredWhenTheProgramEnds)
{
    TFloatForm* window = openFloat("Петя");
    ASSERT_NE(window, nullptr);
    drag(window, nickPoint(window), {50, 70});
    const QPoint dragged = window->pos();
    form.reset();
    EXPECT_EQ(floatWindow("Петя"), nullptr);
    EXPECT_EQ(storedPosition("Петя"), dragged);
    EXPECT_FALSE(ReadFloatClosed(u"Петя"));

    openWindow();
    ASSERT_TRUE(logIn());
    ASSERT_TRUE(QTest::qWaitFor([&] { return floatWindow("Петя") && floatWindow("Петя")->isVisible(); }));
    EXPECT_EQ(floatWindow("Петя")->pos(), dragged);
}

TEST_F(MainFormFloatTest, NewStatePicturesShowInTheRosterAndTheWindowsAtOnce)
{
    TFloatForm* window = openFloat("Петя");
    ASSERT_NE(window, nullptr);
    QImage red(16, 16, QImage::Format_ARGB32);
    red.fill(Qt::red);
    const QString path = sandbox.path("online.png");
    ASSERT_TRUE(red.save(path));

    ModalAnswerer dialogAnswerer;
    ModalAnswerer fileAnswerer;
    dialogAnswerer.answerNext<TStatesConfigDlg>([&](TStatesConfigDlg& dialog) {
        auto& list = test::control<QTreeWidget>(dialog, QStringLiteral("ListView1"));
        list.setCurrentItem(list.topLevelItem(1));
        fileAnswerer.answerNext<QFileDialog>([&](QFileDialog& files) {
            test::control<QLineEdit>(files, QStringLiteral("fileNameEdit")).setText(path);
            static_cast<QDialog&>(files).accept();
        });
        test::control<QAction>(dialog, QStringLiteral("SelectPicture1")).trigger();
        test::control<QPushButton>(dialog, QStringLiteral("SpeedButton5")).click();
    });
    action("States1")->trigger();

    EXPECT_EQ(ReadStatePicture(u"OnLine", StatePicture::Plain), path);
    const QImage shownInWindow = control<QLabel>(window, "Image1")->pixmap().toImage();
    EXPECT_EQ(shownInWindow.pixelColor(8, 8), QColor(Qt::red));
    const QIcon shownInRoster = rosterRow("Петя").data(Qt::DecorationRole).value<QIcon>();
    EXPECT_EQ(pictureImage(shownInRoster).pixelColor(8, 8), QColor(Qt::red));
    EXPECT_EQ(pictureImage(rosterRow("Вася").data(Qt::DecorationRole).value<QIcon>()),
              pictureImage(artwork::statePicture(2)))
        << "the own entry has pictures of its own";
}

TEST_F(MainFormTest, StoredStatePicturesApplyAtStartAndAnUnreadableOneIsTold)
{
    QImage blue(16, 16, QImage::Format_ARGB32);
    blue.fill(Qt::blue);
    ASSERT_TRUE(blue.save(sandbox.path("away.PNG"), "PNG"));
    WriteStatePicture(u"Away", StatePicture::Plain, sandbox.path("away.PNG"));
    WriteStatePicture(u"Busy", StatePicture::Plain, sandbox.path("gone.png"));
    RealServer server;
    pointAt(server.port());
    openWindow();
    EXPECT_TRUE(waitForCommon("Ошибка: " + sandbox.path("gone.png") + ": ")) << commonText().toStdString();
    EXPECT_TRUE(commonText().contains(",Класс: TStatesConfigDlg"));
    ASSERT_TRUE(logIn());
    PeerClient peter(server.port());
    ASSERT_TRUE(peter.logIn("Петя"));
    peter.send({"StateUser|Петя|2"});
    ASSERT_TRUE(QTest::qWaitFor([&] {
        const QIcon shown = rosterRow("Петя").data(Qt::DecorationRole).value<QIcon>();
        return !shown.isNull() && pictureImage(shown).pixelColor(8, 8) == QColor(Qt::blue);
    }));
}

} // namespace
} // namespace kovrel::test
