// SPDX-License-Identifier: GPL-3.0-or-later
// The main window against a scripted server, and what it keeps between runs.

#include "main_form_fixture.h"

#include "cp1251.h"
#include "modal_answerer.h"
#include "packet.h"
#include "scripted_peer.h"

#include <QColorDialog>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <QSplitter>
#include <QTabBar>
#include <QTimer>
#include <QToolBar>

namespace kovrel::test {
namespace {

std::string wire(const char* utf8)
{
    return cp1251::fromUtf8(utf8);
}

// Runs `act` on the next modal window once it opens.
template <typename Act> void onNextModal(Act act)
{
    QTimer::singleShot(0, [act] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        act(modal);
    });
}

class MainFormScriptedTest : public MainFormTest
{
protected:
    void SetUp() override
    {
        pointAt(peer.port());
        openWindow();
    }

    void logInQuietly()
    {
        ASSERT_TRUE(logIn());
        ASSERT_FALSE(peer.waitForField("SetInfo|").empty());
    }

    ScriptedPeer peer;
};

TEST_F(MainFormScriptedTest, SendsAMessageAsOnePacketOfStyleAndText)
{
    logInQuietly();
    const std::size_t before = peer.bytes().size();
    typeAndSend("Привет всем");
    ASSERT_FALSE(peer.waitForField("AllUser|").empty());
    const std::string sent = peer.bytes().substr(before);
    const std::string style = peer.fields().at(peer.fields().size() - 2);
    EXPECT_TRUE(style.starts_with("TextStyle|AllUser|")) << style;
    EXPECT_EQ(sent, BuildPacket({style, wire("AllUser|Вася|Привет всем")}));
    EXPECT_EQ(msgEdit()->currentText(), "");
    EXPECT_EQ(msgEdit()->itemText(0), "Привет всем") << "the history keeps what was sent";
}

TEST_F(MainFormScriptedTest, TheMultiLineEditorSendsWithCtrlEnterAndKeepsWhatWasNotSent)
{
    action("MessageEditor1")->trigger();
    ASSERT_TRUE(memo()->isVisible());
    typeText(memo(), QStringLiteral("строка"));
    QTest::keyClick(memo(), Qt::Key_Return);
    typeText(memo(), QStringLiteral("ещё"));
    EXPECT_EQ(memo()->toPlainText(), "строка\nещё") << "Enter alone makes a new line";
    QTest::keyClick(memo(), Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(memo()->toPlainText(), "строка\nещё") << "offline nothing is sent and the text stays";

    logInQuietly();
    QTest::keyClick(memo(), Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(peer.waitForField("AllUser|"), wire("AllUser|Вася|строка\r\nещё"));
    EXPECT_EQ(memo()->toPlainText(), "");
}

TEST_F(MainFormScriptedTest, RefusesTheSeparatorCharacterAndKeepsTheText)
{
    logInQuietly();
    QString shown;
    onNextModal([&](QWidget* box) {
        shown = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))->text();
        box->close();
    });
    typeAndSend("a|b");
    EXPECT_EQ(shown, "Строка содержит недопустимый символ: |...");
    EXPECT_EQ(msgEdit()->currentText(), "a|b");
}

TEST_F(MainFormScriptedTest, TheOwnTextStyleWithItsColorIsChosenStoredAndSent)
{
    logInQuietly();
    onNextModal([](QWidget* chooser) {
        chooser->findChild<QAbstractButton*>(QStringLiteral("underlineBox"))->click();
        onNextModal([](QWidget* colors) {
            static_cast<QColorDialog*>(colors)->setCurrentColor(QColor(0x12, 0x34, 0x56));
            static_cast<QDialog*>(colors)->accept();
        });
        chooser->findChild<QAbstractButton*>(QStringLiteral("colorButton"))->click();
        chooser->findChild<QSpinBox*>(QStringLiteral("sizeSpin"))->setValue(14);
        chooser->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
    });
    // The input pane's own style button: other windows of the form have buttons of that name too.
    control<QToolButton>(control<QWidget>(form.get(), "Panel4"), "SpeedButton1")->click();
    EXPECT_TRUE(ReadFontStyle(u"OutputAttr", FontStyle::Underline));
    EXPECT_EQ(ReadFontNumber(u"OutputAttr", FontNumber::Color, 0), 0x563412);
    EXPECT_EQ(ReadFontNumber(u"OutputAttr", FontNumber::Size, 0), 14);
    typeAndSend("цветом");
    const std::string style = peer.waitForField("TextStyle|");
    EXPECT_NE(style.find("|5649426|"), std::string::npos) << style;
    EXPECT_NE(style.find("|0|0|1|0|DejaVu Sans"), std::string::npos)
        << "a face the receivers have: " << style;
}

TEST_F(MainFormScriptedTest, ADisconnectFromTheServerLogsOutAndShowsWhatCameWithTheEcho)
{
    logInQuietly();
    peer.setResponder([](const std::string& field) -> std::vector<std::string> {
        if (field == wire("DelUser|Вася")) {
            return {wire("AllUser|Петя|всем пока"), wire("DelUser|Вася"), wire("DelUser|Петя")};
        }
        return {};
    });
    peer.send({wire("AddUser|Петя"), "Disconnect|"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return loginCaption() == "вход"; }, 3000))
        << "the log-out ends with the server's echo, long before its deadline";
    ASSERT_TRUE(waitForCommon("Конец связи..."));
    EXPECT_TRUE(
        commonText().endsWith("Петя: всем пока\nОт нас ушёл (ушла) Вася...\nОт нас ушёл (ушла) Петя...\n"
                              "Конец связи..."))
        << commonText().toStdString();
    EXPECT_FALSE(rosterRow("Петя").isValid()) << "the roster follows the departure";
}

TEST_F(MainFormScriptedTest, ClosingDuringALogOutLetsItFinishAndSaysGoodbyeOnce)
{
    WriteMsgOnDisconnect(QStringLiteral("До встречи"));
    logInQuietly();
    // The server is slow to answer the log-out; the user closes the window meanwhile.
    peer.setResponder([&](const std::string& field) -> std::vector<std::string> {
        if (field.starts_with("DelUser|")) {
            QTimer::singleShot(0, form.get(), [&] { form->close(); });
            QTimer::singleShot(300, &peer, [&] { peer.send({wire("DelUser|Вася")}); });
        }
        return {};
    });
    button("ToolButton1")->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form->isVisible(); }));
    EXPECT_EQ(std::count(peer.fields().begin(), peer.fields().end(), wire("AllUser|Вася|До встречи")), 1);
    EXPECT_EQ(std::count(peer.fields().begin(), peer.fields().end(), wire("DelUser|Вася")), 1);
}

TEST_F(MainFormScriptedTest, ImportantLinesPopUpWithoutBuryingTheDesktop)
{
    logInQuietly();
    for (int line = 1; line <= 7; ++line) {
        peer.send({wire(("AllUser|Петя|!тревога " + std::to_string(line)).c_str())});
    }
    ASSERT_TRUE(waitForCommon("Петя: !тревога 7"));
    QList<QWidget*> popups;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() &&
            window->metaObject()->className() == QLatin1String("kovrel::TImpotatntMessageForm")) {
            popups << window;
        }
    }
    ASSERT_EQ(popups.size(), 5);
    std::sort(popups.begin(), popups.end(), [](QWidget* a, QWidget* b) { return a->x() < b->x(); });
    EXPECT_NE(popups[0]->pos(), popups[1]->pos()) << "no pop-up hides another";
    const QString newest = popups.back()->findChild<QPlainTextEdit*>(QStringLiteral("Memo1"))->toPlainText();
    EXPECT_EQ(newest, "Петя: !тревога 5\nПетя: !тревога 6\nПетя: !тревога 7");
    for (QWidget* popup : popups) {
        popup->close();
    }
}

TEST_F(MainFormScriptedTest, PagesAreKnownByTheirPartnerWhateverTheCaptionShows)
{
    logInQuietly();
    peer.send({wire("PrivatUser|A&B|Вася|привет"), wire("PrivatUser|a&b|Вася|другой")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return privatePage(QStringLiteral("a&b")) != nullptr; }));
    ASSERT_TRUE(waitForText(privatePage(QStringLiteral("a&b")), "a&b: другой"));
    EXPECT_EQ(pages()->tabText(1), "A&&B") << "shown as A&B, not as a mnemonic";
    EXPECT_TRUE(privatePage(QStringLiteral("A&B"))->toPlainText().contains("A&B: привет"));
    pages()->setCurrentIndex(1);
    typeAndSend("ответ");
    EXPECT_EQ(peer.waitForField("PrivatUser|"), wire("PrivatUser|Вася|A&B|ответ"));
}

TEST_F(MainFormScriptedTest, EscClosingTheHistoryListDoesNotMinimise)
{
    logInQuietly();
    typeAndSend("раз");
    msgEdit()->showPopup();
    ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activePopupWidget() != nullptr; }));
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([] { return QApplication::activePopupWidget() == nullptr; }));
    QTest::qWait(50);
    EXPECT_FALSE(form->isMinimized());
    QTest::keyClick(msgEdit()->lineEdit(), Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->isMinimized(); })) << "Esc elsewhere minimises";
}

TEST(MainFormFirstStart, AsksForTheServerThenLogsInAndGreetsWithoutTouchingTheInput)
{
    SettingsSandbox sandbox;
    ScriptedPeer peer;
    TChatMainForm form;
    form.show();
    control<QComboBox>(&form, "MsgEdit")->setEditText(QStringLiteral("наполовину"));
    // The dialog opens once the log-in that found no server has ended, not inside it.
    ModalAnswerer answerer;
    answerer.answerNext<QDialog>([&](QDialog& shown) {
        QDialog* dialog = &shown;
        EXPECT_TRUE(control<QToolButton>(&form, "ToolButton1")->isEnabled());
        auto field = [&](const char* name) { return dialog->findChild<QLineEdit*>(QLatin1String(name)); };
        field("NickName")->setText(QStringLiteral("Новичок"));
        field("Edit1")->setText(QStringLiteral("Всем привет"));
        field("HostName")->setText(QString());
        field("PortNumber")->setText(QString::number(peer.port()));
        for (const auto& [name, octet] :
             {std::pair{"Adr1", "127"}, {"Adr2", "0"}, {"Adr3", "0"}, {"Adr4", "1"}}) {
            field(name)->setText(QLatin1String(octet));
        }
        dialog->findChild<QPushButton*>(QStringLiteral("Button1"))->click();
    });
    auto* login = control<QToolButton>(&form, "ToolButton1");
    login->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return login->text() == "выход"; }));
    EXPECT_EQ(peer.waitForField("AddUser|"), wire("AddUser|Новичок"));
    EXPECT_FALSE(ReadFirstTime());
    EXPECT_EQ(peer.waitForField("AllUser|"), wire("AllUser|Новичок|Всем привет"));
    EXPECT_EQ(control<QComboBox>(&form, "MsgEdit")->currentText(), "наполовину")
        << "the greeting leaves the typed text alone";
}

TEST(MainFormFirstStart, StartsAtTheTopRightWithTheBuiltInOptions)
{
    SettingsSandbox sandbox;
    TChatMainForm form;
    form.show();
    const QRect screen = form.screen()->availableGeometry();
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.frameGeometry().right() == screen.right(); }))
        << "the frame ends at " << form.frameGeometry().right() << ", the screen at " << screen.right();
    EXPECT_EQ(form.frameGeometry().top(), screen.top());
    auto* bar = control<QToolBar>(&form, "ToolBar1");
    EXPECT_EQ(form.toolBarArea(bar), Qt::TopToolBarArea);
    EXPECT_EQ(bar->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
    auto* fold = control<QToolButton>(bar, "qt_toolbar_ext_button");
    EXPECT_FALSE(fold->isVisible()) << "every tool bar button fits the first size";
    EXPECT_TRUE(control<QToolButton>(bar, "ToolButton6")->isVisible());
    form.resize(200, form.height());
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.width() >= bar->sizeHint().width(); }));
    EXPECT_FALSE(fold->isVisible()) << "nor does a narrower window fold the bar over the pages";
    EXPECT_TRUE(control<QComboBox>(&form, "MsgEdit")->isVisible());
    EXPECT_FALSE(control<QAction>(&form, "ShowTime1")->isChecked());
    EXPECT_TRUE(control<QAction>(&form, "ScrollUpToDown1")->isChecked());
    EXPECT_FALSE(control<QAction>(&form, "StartonRun1")->isChecked());
}

TEST(MainFormFirstStart, ValuesOfTheWrongTypeAreReportedOnceAndTheDefaultsApply)
{
    SettingsSandbox sandbox;
    sandbox.setSettingsFileContent("Windows Registry Editor Version 5.00\r\n\r\n"
                                   "[HKEY_CURRENT_USER\\Software\\Kovrel\\Client]\r\n"
                                   "\"Host\"=dword:00000001\r\n\r\n"
                                   "[HKEY_CURRENT_USER\\Software\\Kovrel\\Client\\Config]\r\n"
                                   "\"ShowTime\"=dword:1\r\n\r\n"
                                   "[HKEY_CURRENT_USER\\Software\\Kovrel\\Client\\MainForm]\r\n"
                                   "\"Left\"=\"40\"\r\n\"Top\"=\"30\"\r\n");
    TChatMainForm form;
    form.show();
    auto* page = control<QTextEdit>(&form, "Common");
    const QString hostError = "Ошибка: Invalid data type for 'Host',Класс: SettingsStore";
    const QString timeError = "Ошибка: Invalid data type for 'ShowTime',Класс: SettingsStore";
    ASSERT_TRUE(QTest::qWaitFor([&] { return page->toPlainText().contains(timeError); }));
    EXPECT_EQ(page->toPlainText().count(hostError), 1) << page->toPlainText().toStdString();
    EXPECT_EQ(control<QLineEdit>(&form, "HostName")->text(), "Имя хоста") << "the default host";
    EXPECT_FALSE(control<QAction>(&form, "ShowTime1")->isChecked());
    EXPECT_EQ(form.pos(), QPoint(40, 30)) << "the placement was restored all the same";
    EXPECT_EQ(page->toPlainText().count(timeError), 1) << "reported once, not for every line";
}

TEST(MainFormLayout, OptionsAndPlacementSurviveARestart)
{
    SettingsSandbox sandbox;
    {
        TChatMainForm form;
        form.show();
        form.move(40, 30);
        form.resize(700, 420);
        for (const char* item :
             {"ShowTime1", "ScrollDownToUp1", "Bottom1", "ShowCaption1", "MessageEditor1"}) {
            control<QAction>(&form, item)->trigger();
        }
        control<QSplitter>(&form, "Splitter1")->setSizes({500, 150});
        QTest::qWait(50);
    }
    TChatMainForm form;
    form.show();
    EXPECT_EQ(form.size(), QSize(700, 420));
    for (const char* item : {"ShowTime1", "ScrollDownToUp1", "Bottom1", "MessageEditor1"}) {
        EXPECT_TRUE(control<QAction>(&form, item)->isChecked()) << item;
    }
    auto* bar = control<QToolBar>(&form, "ToolBar1");
    EXPECT_EQ(form.toolBarArea(bar), Qt::BottomToolBarArea);
    EXPECT_EQ(bar->toolButtonStyle(), Qt::ToolButtonIconOnly);
    EXPECT_TRUE(control<QPlainTextEdit>(control<QWidget>(&form, "Panel4"), "Memo1")->isVisible());
    EXPECT_EQ(control<QSplitter>(&form, "Splitter1")->sizes().value(1), 150);
}

class MainFormConversationTest : public MainFormScriptedTest
{};

TEST_F(MainFormConversationTest, SelectingTextFillsAnEmptyInputButNeverReplacesADraft)
{
    logInQuietly();
    peer.send({wire("AllUser|Петя|пойдём обедать")});
    ASSERT_TRUE(waitForCommon("Петя: пойдём обедать"));
    // Selects the last word of the page, or the one `back` words before it.
    const auto selectWord = [this](int back) {
        QTextCursor word(common()->document());
        word.movePosition(QTextCursor::End);
        word.movePosition(QTextCursor::PreviousWord, QTextCursor::MoveAnchor, back + 1);
        word.movePosition(QTextCursor::EndOfWord, QTextCursor::KeepAnchor);
        common()->setTextCursor(word);
    };
    msgEdit()->setEditText(QStringLiteral("черновик"));
    EXPECT_EQ(msgEdit()->currentText(), "черновик") << "a line arriving leaves the input alone";
    QTest::mouseClick(common()->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(msgEdit()->currentText(), "черновик") << "placing the caret keeps the draft";
    selectWord(0);
    EXPECT_EQ(msgEdit()->currentText(), "черновик") << "a selection never replaces typed text";

    msgEdit()->setEditText(QString());
    QTest::mouseClick(common()->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    selectWord(0);
    EXPECT_EQ(msgEdit()->currentText(), "обедать") << "an empty input takes the selection";
    selectWord(1);
    EXPECT_EQ(msgEdit()->currentText(), "пойдём") << "and the next selection replaces the copied one";
    msgEdit()->setEditText(QStringLiteral("черновик"));
    button("ToolButton3")->click();
    EXPECT_TRUE(commonText().isEmpty());
    EXPECT_EQ(msgEdit()->currentText(), "черновик") << "clearing the page keeps the draft";
}

TEST_F(MainFormConversationTest, NewestLineOnTopWhenScrollingUpwards)
{
    logInQuietly();
    ASSERT_TRUE(waitForCommon("К нам пришёл (пришла) Вася..."));
    button("ToolButton3")->click();
    action("ScrollDownToUp1")->trigger();
    peer.send({wire("AllUser|Петя|первая"), wire("AllUser|Петя|вторая")});
    ASSERT_TRUE(waitForCommon("вторая"));
    action("ScrollUpToDown1")->trigger();
    peer.send({wire("AllUser|Петя|третья")});
    ASSERT_TRUE(waitForCommon("третья"));
    EXPECT_EQ(commonText(), "Петя: вторая\nПетя: первая\nПетя: третья");
}

TEST_F(MainFormConversationTest, TheViewFollowsLongLinesAtTheBottom)
{
    logInQuietly();
    form->resize(520, 320);
    const std::string longText = "AllUser|Петя|" + std::string(600, 'w') + " end";
    for (int line = 0; line < 40; ++line) {
        peer.send({longText});
    }
    peer.send({wire("AllUser|Петя|последняя")});
    ASSERT_TRUE(waitForCommon("последняя"));
    QScrollBar* bar = common()->verticalScrollBar();
    EXPECT_TRUE(QTest::qWaitFor([&] { return bar->maximum() > 0 && bar->value() == bar->maximum(); }))
        << "the newest line is shown whole: " << bar->value() << " of " << bar->maximum();
}

} // namespace
} // namespace kovrel::test
