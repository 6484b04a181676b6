// SPDX-License-Identifier: GPL-3.0-or-later
#include "connect_dialog.h"

#include "message_box_answerer.h"

#include <functional>
#include <memory>

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "settings_layout.h"

namespace kovrel {
namespace {

using namespace Qt::Literals::StringLiterals;

const QString kNickBlank = u"Kovrel: Nick name не может быть пустым..."_s;
const QString kAnotherNickBlank = u"Kovrel: Another Nick не может быть пустым..."_s;
const QString kBadParameter = u"Kovrel: Один из параметров введён неверно..."_s;
const QStringList kOctets{"Adr1", "Adr2", "Adr3", "Adr4"};

class ConnectDialogTest : public ::testing::Test
{
protected:
    ConnectDialogTest() { qputenv("KOVREL_SETTINGS", m_dir.filePath(u"settings.reg"_s).toUtf8()); }
    ~ConnectDialogTest() override { qunsetenv("KOVREL_SETTINGS"); }

    // Created on first use, so that a test can store settings before the dialog loads them.
    TConnectDialog& dialog()
    {
        if (!m_dialog)
            m_dialog = std::make_unique<TConnectDialog>();
        return *m_dialog;
    }
    QLineEdit* field(const QString& name) { return dialog().findChild<QLineEdit*>(name); }
    QPushButton* button(const QString& name) { return dialog().findChild<QPushButton*>(name); }
    QString focusName() { return dialog().focusWidget() ? dialog().focusWidget()->objectName() : QString(); }
    QStringList texts(const QStringList& names)
    {
        QStringList result;
        for (const QString& name : names)
            result.append(field(name)->text());
        return result;
    }
    QByteArray storedFile() const
    {
        QFile file(m_dir.filePath(u"settings.reg"_s));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Select all, delete, type: as a user replaces a field's text.
    void retype(const QString& name, const QString& text)
    {
        QLineEdit* edit = field(name);
        QTest::mouseClick(edit, Qt::LeftButton);
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_Delete);
        type(edit, text);
    }
    // QTest::keyClicks takes Latin-1 only; other characters come as key events carrying just their text.
    static void type(QWidget* widget, const QString& text)
    {
        for (const QChar character : text) {
            if (character.unicode() < 0x80)
                QTest::keyClick(widget, character.toLatin1());
            else
                QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(character),
                                    Qt::NoModifier);
        }
    }

    // ExecuteConnectDialog with `actions` run inside its modal loop; a dialog still open after them is
    // cancelled, so that a failing test cannot hang.
    bool execute(const std::function<void()>& actions)
    {
        QTimer::singleShot(0, &dialog(), [this, actions] {
            if (QTest::qWaitForWindowActive(&dialog()))
                actions();
            if (dialog().isVisible())
                dialog().reject();
        });
        return dialog().ExecuteConnectDialog();
    }
    void showDialog()
    {
        dialog().show();
        dialog().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog()));
    }

    QTemporaryDir m_dir;
    std::unique_ptr<TConnectDialog> m_dialog;
};

TEST_F(ConnectDialogTest, FirstShowingOffersTheDefaultsInTabOrderAndStoresThemWithEmptyOctets)
{
    QStringList tabOrder;
    const bool accepted = execute([&] {
        for (int step = 0; step < 13; ++step) {
            tabOrder.append(focusName());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        EXPECT_TRUE(storedFile().isEmpty()) << "showing stores nothing";
        QTest::keyClick(field(u"Adr4"_s), Qt::Key_Return);
    });
    EXPECT_EQ(tabOrder, QStringList({"NickName", "AnotherNick", "Edit1", "Edit2", "Button1", "Button2",
                                     "HostName", "PortNumber", "UseTLS", "Adr1", "Adr2", "Adr3", "Adr4"}));
    EXPECT_EQ(texts({"NickName", "AnotherNick", "Edit1", "Edit2", "HostName", "PortNumber"}),
              QStringList({"Ваш НИК", "Запасной НИК", "", "", "Имя хоста", "0"}));
    EXPECT_TRUE(accepted);
    EXPECT_EQ(kovrel::ReadAddress(), u"..."_s);
    EXPECT_EQ(kovrel::ReadNick(), u"Ваш НИК"_s);
    EXPECT_EQ(dialog().connectButton(), button(u"Button1"_s));
}

TEST_F(ConnectDialogTest, LoadsTheStoredValuesOnceSplittingTheAddressAtItsDots)
{
    const struct
    {
        QString stored;
        QStringList octets;
    } cases[] = {
        {u"10.0.0.7"_s, {"10", "0", "0", "7"}}, {u"chat"_s, {"", "", "", "chat"}},
        {u"10.0.7"_s, {"10", "0", "", "7"}},    {u"1.2.3.4.5"_s, {"1", "2", "3", "4.5"}},
        {u"..."_s, {"", "", "", ""}},
    };
    kovrel::WriteNick(u"Вася"_s);
    kovrel::WritePort(4040);
    kovrel::WriteMsgOnDisconnect(u"Пока"_s);
    for (const auto& [stored, octets] : cases) {
        kovrel::WriteAddress(stored);
        m_dialog.reset();
        EXPECT_EQ(texts(kOctets), octets) << stored.toStdString();
    }
    EXPECT_EQ(texts({"NickName", "PortNumber", "Edit2"}), QStringList({"Вася", "4040", "Пока"}));

    kovrel::WriteNick(u"Петя"_s);
    execute([] {});
    EXPECT_EQ(field(u"NickName"_s)->text(), u"Вася"_s);
}

TEST_F(ConnectDialogTest, AcceptingStoresExactlyWhatWasTypedInTheFieldsOrder)
{
    EXPECT_TRUE(execute([&] {
        retype(u"NickName"_s, u"  Вася "_s);
        retype(u"AnotherNick"_s, u"Вася_2"_s);
        retype(u"Edit1"_s, u"Всем привет!"_s);
        retype(u"HostName"_s, u""_s);
        retype(u"PortNumber"_s, u" 4040"_s);
        for (const QString& octet : kOctets)
            retype(octet, u"10"_s);
        QTest::mouseClick(button(u"Button1"_s), Qt::LeftButton);
    }));
    EXPECT_EQ(kovrel::ReadHost(), u""_s);
    EXPECT_EQ(kovrel::ReadNick(), u"  Вася "_s);
    EXPECT_EQ(kovrel::ReadAnotherNick(), u"Вася_2"_s);
    EXPECT_EQ(kovrel::ReadAddress(), u"10.10.10.10"_s);
    EXPECT_EQ(kovrel::ReadPort(), 4040);
    EXPECT_FALSE(kovrel::ReadFirstTime());
    EXPECT_EQ(kovrel::ReadMsgOnConnect(), u"Всем привет!"_s);

    // The file lists values in the order they were first written.
    const QByteArray file = storedFile();
    qsizetype previous = -1;
    for (const QByteArray name :
         {"Host", "Nick", "AnotherNick", "Address", "Port", "FirstTime", "MsgOnConnect", "MsgOnDisconnect"}) {
        const qsizetype position = file.indexOf('"' + name + "\"=");
        EXPECT_GT(position, previous) << name.constData();
        previous = position;
    }
}

TEST_F(ConnectDialogTest, EncryptionIsStoredAndMovesAPortLeftAtTheDefaultToTheTlsOne)
{
    kovrel::WritePort(4040);
    const auto useTls = [this] { return dialog().findChild<QCheckBox*>(u"UseTLS"_s); };
    EXPECT_TRUE(execute([&] {
        EXPECT_FALSE(useTls()->isChecked()) << "off unless stored";
        QTest::mouseClick(useTls(), Qt::LeftButton);
        EXPECT_EQ(field(u"PortNumber"_s)->text(), u"4041"_s);
        QTest::mouseClick(button(u"Button1"_s), Qt::LeftButton);
    }));
    EXPECT_TRUE(kovrel::ReadUseTls());
    EXPECT_EQ(kovrel::ReadPort(), 4041);

    // A port the user chose stays whatever the box says.
    m_dialog.reset();
    EXPECT_TRUE(useTls()->isChecked());
    EXPECT_TRUE(execute([&] {
        retype(u"PortNumber"_s, u"5000"_s);
        QTest::mouseClick(useTls(), Qt::LeftButton);
        EXPECT_EQ(field(u"PortNumber"_s)->text(), u"5000"_s);
        QTest::mouseClick(button(u"Button1"_s), Qt::LeftButton);
    }));
    EXPECT_FALSE(kovrel::ReadUseTls());
    EXPECT_EQ(kovrel::ReadPort(), 5000);
}

// The password of a registered nick goes to the secret store (here there is none, so this run keeps it),
// never into the settings file, and only with encryption.
TEST_F(ConnectDialogTest, APasswordNeedsEncryptionAndNeverReachesTheSettingsFile)
{
    const auto useTls = [this] { return dialog().findChild<QCheckBox*>(u"UseTLS"_s); };
    EXPECT_FALSE(field(u"Password"_s)->isEnabled()) << "no password over a plain connection";
    EXPECT_TRUE(execute([&] {
        QTest::mouseClick(useTls(), Qt::LeftButton);
        ASSERT_TRUE(field(u"Password"_s)->isEnabled());
        retype(u"PortNumber"_s, u"4041"_s);
        retype(u"Password"_s, u"секрет-7|x"_s);
        QTest::mouseClick(button(u"Button1"_s), Qt::LeftButton);
    }));
    EXPECT_TRUE(kovrel::ReadUsePassword());
    EXPECT_FALSE(QString::fromUtf8(storedFile()).contains(u"секрет"_s));

    m_dialog.reset();
    ASSERT_TRUE(QTest::qWaitFor([&] { return field(u"Password"_s)->text() == u"секрет-7|x"_s; }))
        << "the stored password is shown (masked) again";
    EXPECT_EQ(field(u"Password"_s)->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(execute([&] {
        QTest::mouseClick(useTls(), Qt::LeftButton);
        QTest::mouseClick(button(u"Button1"_s), Qt::LeftButton);
    }));
    EXPECT_FALSE(kovrel::ReadUsePassword()) << "a plain connection sends no password";
}

TEST_F(ConnectDialogTest, OctetFieldTakesDigitsAndControlKeysOnly)
{
    showDialog();
    QLineEdit* octet = field(u"Adr1"_s);
    type(octet, u"256"_s);
    EXPECT_EQ(octet->text(), u"255"_s);
    EXPECT_EQ(octet->selectedText(), u"255"_s);

    type(octet, u"7a-,.+ ю"_s); // the digit replaces the selection
    QTest::keyClick(octet, Qt::Key_Home);
    type(octet, u"19"_s);
    QTest::keyClick(octet, Qt::Key_Backspace);
    EXPECT_EQ(octet->text(), u"17"_s);
    QTest::keyClick(octet, Qt::Key_Home);
    type(octet, u"3"_s);
    EXPECT_EQ(octet->text(), u"255"_s) << "317 was refused";
    EXPECT_EQ(octet->selectedText(), u"255"_s);

    QLineEdit* pasted = field(u"Adr2"_s);
    for (const QString& clip : {u"1a"_s, u"42"_s}) {
        QApplication::clipboard()->setText(clip);
        QTest::keyClick(pasted, Qt::Key_V, Qt::ControlModifier);
    }
    EXPECT_EQ(pasted->text(), u"42"_s);
}

TEST_F(ConnectDialogTest, InvalidFieldsStoreNothingAndKeepTheDialogOpen)
{
    kovrel::WriteAddress(u"10.0.0.999"_s); // an octet only a stored value or a paste can bring
    const QByteArray before = storedFile();
    showDialog();
    kovrel::test::MessageBoxAnswerer answerer;
    const struct
    {
        QString field;
        QString text;
        QString message;
    } cases[] = {
        {u"NickName"_s, u"   "_s, kNickBlank},      {u"AnotherNick"_s, u""_s, kAnotherNickBlank},
        {u"PortNumber"_s, u"40x"_s, kBadParameter}, {u"PortNumber"_s, u"65536"_s, kBadParameter},
        {u"PortNumber"_s, u"-1"_s, kBadParameter},  {u"PortNumber"_s, u""_s, kBadParameter},
        {u"Adr4"_s, u"999"_s, kBadParameter},
    };
    for (const auto& [name, text, message] : cases) {
        const QString original = field(name)->text();
        field(name)->setText(text);
        answerer.texts.clear();
        QTest::mouseClick(button(u"Button1"_s), Qt::LeftButton);
        EXPECT_EQ(answerer.texts, QStringList(message)) << name.toStdString();
        EXPECT_EQ(focusName(), name);
        EXPECT_TRUE(dialog().isVisible());
        EXPECT_EQ(storedFile(), before);
        field(name)->setText(original);
    }

    retype(u"Adr4"_s, u"9"_s);
    QTest::mouseClick(button(u"Button1"_s), Qt::LeftButton);
    EXPECT_EQ(dialog().result(), QDialog::Accepted);
    EXPECT_EQ(kovrel::ReadAddress(), u"10.0.0.9"_s);
}

TEST_F(ConnectDialogTest, CancellingStoresNothingAndKeepsTheEditedText)
{
    kovrel::test::MessageBoxAnswerer answerer;
    EXPECT_FALSE(execute([&] {
        retype(u"NickName"_s, u""_s);
        QTest::mouseClick(button(u"Button1"_s), Qt::LeftButton); // refused: blank nick
        retype(u"HostName"_s, u"chat.example"_s);
        QTest::mouseClick(button(u"Button2"_s), Qt::LeftButton);
    }));
    EXPECT_EQ(answerer.texts, QStringList(kNickBlank));

    QStringList shown;
    EXPECT_FALSE(execute([&] {
        shown = texts({"NickName", "HostName"});
        dialog().close(); // the close box
    }));
    EXPECT_EQ(shown, QStringList({"", "chat.example"}));
    EXPECT_TRUE(storedFile().isEmpty());
}

TEST_F(ConnectDialogTest, NamesTheFocusedFieldInBold)
{
    showDialog();
    const auto boldNames = [&] {
        QStringList names;
        for (QWidget* widget : dialog().findChildren<QWidget*>()) {
            if (widget->font().bold()) {
                const auto* label = qobject_cast<QLabel*>(widget);
                names.append(label ? label->text() : widget->objectName());
            }
        }
        return names;
    };
    QTest::mouseClick(field(u"NickName"_s), Qt::LeftButton);
    EXPECT_EQ(boldNames(), QStringList(u"Имя"_s));
    QTest::keyClick(field(u"NickName"_s), Qt::Key_Tab);
    EXPECT_EQ(boldNames(), QStringList(u"Другое имя"_s));
    QTest::mouseClick(field(u"Adr3"_s), Qt::LeftButton);
    EXPECT_EQ(boldNames(), QStringList(u"IP адрес"_s));
    QTest::mouseClick(field(u"HostName"_s), Qt::LeftButton);
    EXPECT_EQ(boldNames(), QStringList(u"Имя "_s));
    button(u"Button2"_s)->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(boldNames(), QStringList(u"Button2"_s));
}

} // namespace
} // namespace kovrel
