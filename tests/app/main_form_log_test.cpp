// SPDX-License-Identifier: GPL-3.0-or-later
// Conversation logs and the find bar in the main window, against a scripted server.

#include "main_form_fixture.h"

#include "cp1251.h"
#include "scripted_peer.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTimer>

namespace kovrel::test {
namespace {

std::string wire(const char* utf8)
{
    return cp1251::fromUtf8(utf8);
}

// Answers the next file dialog with `path`, recording its title and proposed name.
struct FileDialogAnswer
{
    QString title;
    QString proposed;
};

void answerFileDialog(const QString& path, FileDialogAnswer* seen = nullptr)
{
    QTimer::singleShot(0, [path, seen] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        if (seen) {
            seen->title = dialog->windowTitle();
            seen->proposed = dialog->selectedFiles().value(0);
        }
        dialog->selectFile(path);
        static_cast<QDialog*>(dialog)->accept();
    });
}

class MainFormLogTest : public MainFormTest
{
protected:
    void SetUp() override
    {
        pointAt(peer.port());
        openWindow();
        ASSERT_TRUE(logIn());
        ASSERT_TRUE(waitForCommon("К нам пришёл (пришла) Вася..."));
        peer.send({wire("TextStyle|AllUser|204|255|-16|1|0|0|0|DejaVu Sans"),
                   wire("AllUser|Петя|жирно {и} красно"), "ClearTextStyle|", wire("AllUser|Петя|обычно")});
        ASSERT_TRUE(waitForCommon("Петя: обычно"));
    }

    QString logPath(const QString& name) const { return folder.filePath(name); }

    ScriptedPeer peer;
    QTemporaryDir folder;
};

TEST_F(MainFormLogTest, TheCommonPageIsSavedAndLoadsBackOntoAPageOfItsOwn)
{
    FileDialogAnswer saving;
    answerFileDialog(logPath("общий.rtf"), &saving);
    action("Save1")->trigger();
    EXPECT_EQ(saving.title, "Сохранение Log файла...");
    EXPECT_TRUE(saving.proposed.endsWith("/Общий разговор.rtf")) << saving.proposed.toStdString();
    QFile saved(logPath("общий.rtf"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(saved.readAll().startsWith("{\\rtf1"));

    FileDialogAnswer loading;
    answerFileDialog(logPath("общий.rtf"), &loading);
    action("Load1")->trigger();
    EXPECT_EQ(loading.title, "Зогрузка Log файла...");
    QTextEdit* page = privatePage(logPath("общий.rtf"));
    ASSERT_NE(page, nullptr) << "a page known by the file's full path";
    EXPECT_EQ(pages()->currentWidget(), page);
    EXPECT_EQ(page->toPlainText(), commonText());
    const QTextCharFormat bold = page->document()->findBlockByNumber(3).begin().fragment().charFormat();
    EXPECT_TRUE(bold.font().bold());
    EXPECT_EQ(bold.foreground().color(), QColor(255, 0, 0));

    // Loading the same file again replaces that page's text; it stays one page.
    answerFileDialog(logPath("общий.rtf"));
    pages()->setCurrentIndex(0);
    action("Load1")->trigger();
    EXPECT_EQ(pages()->count(), 2);
}

TEST_F(MainFormLogTest, APlainTextFileIsShownAsTextAndAFailureIsAnErrorLine)
{
    QFile text(logPath("заметки.txt"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("первая\r\nвторая\n");
    text.close();
    answerFileDialog(text.fileName());
    action("Load1")->trigger();
    ASSERT_NE(privatePage(text.fileName()), nullptr);
    EXPECT_EQ(privatePage(text.fileName())->toPlainText(), "первая\nвторая");

    answerFileDialog(QStringLiteral("/proc/no/such/folder/log.rtf"));
    pages()->setCurrentIndex(0);
    action("Save1")->trigger();
    EXPECT_TRUE(waitForCommon(",Класс: TChatMainForm")) << commonText().toStdString();
}

TEST_F(MainFormLogTest, CtrlFFindsInThePageShownAndEscClosesTheBarOnly)
{
    QTest::keyClick(msgEdit(), Qt::Key_F, Qt::ControlModifier);
    auto* field = control<QLineEdit>(form.get(), "FindEdit");
    ASSERT_TRUE(field->isVisible());
    typeText(field, QStringLiteral("петя"));
    EXPECT_EQ(common()->extraSelections().size(), 3) << "two matches and the current one";
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_FALSE(field->isVisible());
    QTest::qWait(20);
    EXPECT_FALSE(form->isMinimized()) << "Esc in the find bar closes the bar, not the window";
}

} // namespace
} // namespace kovrel::test
