// The main window against a scripted server, and what it keeps between runs.

#include "main_form_fixture.h"

#include "cp1251.h"
#include "kovrel_application.h"
#include "packet.h"
#include "scripted_peer.h"

#include <QAction>
#include <QComboBox>
#include <QFontDialog>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>
#include <QToolBar>

namespace kovrel::test {
namespace {

std::string wire(const char* utf8)
{
    return cp1251::fromUtf8(utf8);
}

class MainFormScriptedTest : public MainFormTest
{
protected:
    void SetUp() override
    {
        pointAt(peer.port());
        openWindow();
    }

    ScriptedPeer peer;
};

TEST_F(MainFormScriptedTest, SendsAMessageAsOnePacketOfStyleAndText)
{
    ASSERT_TRUE(logIn());
    ASSERT_FALSE(peer.waitForField("SetInfo|").empty());
    const std::size_t before = peer.bytes().size();
    typeAndSend("Привет всем");
    ASSERT_FALSE(peer.waitForField("AllUser|").empty());
    const std::string sent = peer.bytes().substr(before);
    const std::string style = peer.fields().at(peer.fields().size() - 2);
    EXPECT_TRUE(style.starts_with("TextStyle|AllUser|")) << style;
    EXPECT_EQ(sent, BuildPacket({style, wire("AllUser|Вася|Привет всем")}));
}

TEST_F(MainFormScriptedTest, TheMultiLineEditorSendsWithCtrlEnter)
{
    ASSERT_TRUE(logIn());
    form->MessageEditor1->trigger();
    ASSERT_TRUE(form->Memo1->isVisible());
    typeText(form->Memo1, QStringLiteral("строка"));
    QTest::keyClick(form->Memo1, Qt::Key_Return);
    typeText(form->Memo1, QStringLiteral("ещё"));
    EXPECT_EQ(form->Memo1->toPlainText(), "строка\nещё") << "Enter alone makes a new line";
    QTest::keyClick(form->Memo1, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(peer.waitForField("AllUser|"), wire("AllUser|Вася|строка\r\nещё"));
    EXPECT_EQ(form->Memo1->toPlainText(), "");
}

TEST_F(MainFormScriptedTest, TheOwnTextStyleIsChosenStoredAndSent)
{
    ASSERT_TRUE(logIn());
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<QFontDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        QFont chosen(QStringLiteral("DejaVu Sans"));
        chosen.setBold(true);
        chosen.setPixelSize(15);
        dialog->setCurrentFont(chosen);
        dialog->accept();
    });
    form->SpeedButton1->click();
    EXPECT_TRUE(ReadFontStyle(u"OutputAttr", FontStyle::Bold));
    EXPECT_EQ(ReadFontNumber(u"OutputAttr", FontNumber::Height, 0), -15);
    typeAndSend("жирно");
    const std::string style = peer.waitForField("TextStyle|");
    EXPECT_NE(style.find("|-15|1|0|0|0|DejaVu Sans"), std::string::npos) << style;
}

TEST_F(MainFormScriptedTest, RefusesTheSeparatorCharacter)
{
    ASSERT_TRUE(logIn());
    QString shown;
    QTimer::singleShot(0, [&] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        shown = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))->text();
        box->close();
    });
    typeAndSend("a|b");
    EXPECT_EQ(shown, "Строка содержит недопустимый символ: |...");
    EXPECT_EQ(form->MsgEdit->currentText(), "a|b") << "the input keeps its text";
}

TEST_F(MainFormScriptedTest, AMalformedFieldIsReportedAndItsNeighboursStillArrive)
{
    ASSERT_TRUE(logIn());
    peer.send({wire("AllUser|Петя|первое"), wire("StateUser|Петя|много"), wire("AllUser|Петя|второе"),
               "SetInfo|x", "no separator", "TestConnection|42"});
    ASSERT_TRUE(waitForCommon("Петя: второе"));
    EXPECT_TRUE(commonText().contains("Петя: первое"));
    EXPECT_TRUE(commonText().contains("Ошибка: 'много' is not a valid integer value,Класс: TClientSocket"));
    EXPECT_TRUE(commonText().contains("Неизвестный пакет... Комманда: SetInfo, Сообщение: x..."));
    EXPECT_TRUE(commonText().contains("Неизвестный пакет... Комманда: , Сообщение: no separator..."));
    EXPECT_EQ(peer.waitForField("TestConnection|"), "TestConnection|42") << "probes go back unchanged";
}

TEST_F(MainFormScriptedTest, AnErrorEscapingAHandlerBecomesALineAndRetriesGoOn)
{
    static_cast<KovrelApplication*>(QApplication::instance())
        ->setErrorReport([this](const QString& message, const QString& className) {
            form->ReportAppError(message, className);
        });
    // A value of the wrong type makes each automatic log-in attempt fail inside the event loop.
    sandbox.setSettingsFileContent("Windows Registry Editor Version 5.00\r\n\r\n"
                                   "[HKEY_CURRENT_USER\\Software\\Kovrel\\Client]\r\n"
                                   "\"FirstTime\"=dword:00000001\r\n");
    form->session().setAutoLoginInterval(std::chrono::milliseconds(50));
    form->session().setAutoLogin(true);
    const QString line = "Ошибка: Invalid data type for 'FirstTime',Класс: QTimer";
    EXPECT_TRUE(QTest::qWaitFor([&] { return commonText().count(line) >= 2; })) << commonText().toStdString();
    form->session().setAutoLogin(false);
}

TEST_F(MainFormScriptedTest, ServerDisconnectWhileOfflineChangesNothing)
{
    ASSERT_TRUE(logIn());
    peer.send({"Disconnect|"});
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->ToolButton1->text() == "вход"; }));
    EXPECT_EQ(peer.fields().back(), wire("DelUser|Вася"));
}

TEST(MainFormFirstStart, AsksForTheServerAtTheFirstLogIn)
{
    SettingsSandbox sandbox;
    ScriptedPeer peer;
    TChatMainForm form;
    form.show();
    QTimer::singleShot(0, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        auto field = [&](const char* name) { return dialog->findChild<QLineEdit*>(QLatin1String(name)); };
        field("NickName")->setText(QStringLiteral("Новичок"));
        field("HostName")->setText(QString());
        field("PortNumber")->setText(QString::number(peer.port()));
        for (const char* octet : {"Adr1", "Adr2", "Adr3", "Adr4"}) {
            field(octet)->setText(octet == std::string("Adr1")   ? "127"
                                  : octet == std::string("Adr4") ? "1"
                                                                 : "0");
        }
        dialog->findChild<QPushButton*>(QStringLiteral("Button1"))->click();
    });
    form.ToolButton1->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.ToolButton1->text() == "выход"; }));
    EXPECT_EQ(peer.waitForField("AddUser|"), wire("AddUser|Новичок"));
    EXPECT_FALSE(ReadFirstTime());
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
    EXPECT_EQ(form.toolBarArea(form.ToolBar1), Qt::TopToolBarArea);
    EXPECT_EQ(form.ToolBar1->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
    EXPECT_TRUE(form.MsgEdit->isVisible());
    EXPECT_FALSE(form.ShowTime1->isChecked());
    EXPECT_TRUE(form.ScrollUpToDown1->isChecked());
    EXPECT_FALSE(form.StartonRun1->isChecked());
}

TEST(MainFormLayout, OptionsAndPlacementSurviveARestart)
{
    SettingsSandbox sandbox;
    {
        TChatMainForm form;
        form.show();
        form.move(40, 30);
        form.resize(700, 420);
        form.ShowTime1->trigger();
        form.ScrollDownToUp1->trigger();
        form.Bottom1->trigger();
        form.ShowCaption1->trigger();
        form.MessageEditor1->trigger();
        form.Splitter1->setSizes({500, 150});
        QTest::qWait(50);
    }
    TChatMainForm form;
    form.show();
    EXPECT_EQ(form.size(), QSize(700, 420));
    EXPECT_TRUE(form.ShowTime1->isChecked());
    EXPECT_TRUE(form.ScrollDownToUp1->isChecked());
    EXPECT_TRUE(form.Bottom1->isChecked());
    EXPECT_EQ(form.toolBarArea(form.ToolBar1), Qt::BottomToolBarArea);
    EXPECT_EQ(form.ToolBar1->toolButtonStyle(), Qt::ToolButtonIconOnly);
    EXPECT_TRUE(form.MessageEditor1->isChecked());
    EXPECT_TRUE(form.Memo1->isVisible());
    EXPECT_EQ(form.Splitter1->sizes().value(1), 150);
}

TEST(MainFormConversation, SelectingInAConversationFillsTheInput)
{
    SettingsSandbox sandbox;
    TChatMainForm form;
    form.show();
    form.WriteChatLine(form.Common, "Петя: пойдём обедать", 0);
    form.MsgEdit->setEditText(QStringLiteral("черновик"));
    EXPECT_EQ(form.MsgEdit->currentText(), "черновик") << "writing a line leaves the input alone";
    QTextCursor word(form.Common->document());
    word.movePosition(QTextCursor::NextWord);
    word.movePosition(QTextCursor::NextWord);
    word.movePosition(QTextCursor::EndOfWord, QTextCursor::KeepAnchor);
    form.Common->setTextCursor(word);
    EXPECT_EQ(form.MsgEdit->currentText(), "пойдём");
    QTest::mouseClick(form.Common->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(form.MsgEdit->currentText(), "") << "placing the caret empties the input";
    form.MsgEdit->setEditText(QStringLiteral("черновик"));
    form.ToolButton3->click();
    EXPECT_TRUE(form.Common->toPlainText().isEmpty());
    EXPECT_EQ(form.MsgEdit->currentText(), "черновик") << "clearing the page keeps the draft";
}

TEST(MainFormLayout, NewestLineOnTopWhenScrollingUpwards)
{
    SettingsSandbox sandbox;
    WriteConfigFlag(ConfigFlag::FromUpToDown, false);
    TChatMainForm form;
    form.WriteChatLine(form.Common, "первая", 0);
    form.WriteChatLine(form.Common, "вторая", 0);
    WriteConfigFlag(ConfigFlag::FromUpToDown, true);
    form.WriteChatLine(form.Common, "третья", 0);
    EXPECT_EQ(form.Common->toPlainText(), "вторая\nпервая\nтретья");
}

} // namespace
} // namespace kovrel::test
