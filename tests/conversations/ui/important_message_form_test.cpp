// SPDX-License-Identifier: GPL-3.0-or-later
#include "important_message_form.h"

#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>
#include <QToolButton>

namespace kovrel {
namespace {

using namespace Qt::Literals::StringLiterals;

// A line as it comes from the network: markup characters and a line break included.
const QString kLine = u"(12:00:01) Гость: !<b>всем</b> &amp; <a href=\"x\">сюда</a>\nвторая строка"_s;

class ImportantMessageFormTest : public ::testing::Test
{
protected:
    ImportantMessageFormTest() : m_form(new TImpotatntMessageForm)
    {
        m_form->SetMessageText(u"старая строка"_s);
        m_form->SetMessageText(kLine);
        m_form->show();
        m_form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(m_form));
    }
    ~ImportantMessageFormTest() override { delete m_form; }

    QPlainTextEdit* memo() const { return m_form->findChild<QPlainTextEdit*>(u"Memo1"_s); }
    bool destroyed() const
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return m_form.isNull();
    }

    QPointer<TImpotatntMessageForm> m_form;
};

TEST_F(ImportantMessageFormTest, ShowsOnlyTheLastLineAsPlainRedBoldText)
{
    ASSERT_NE(memo(), nullptr);
    EXPECT_EQ(memo()->toPlainText(), kLine);
    EXPECT_TRUE(memo()->isReadOnly());
    EXPECT_EQ(memo()->font().family(), u"Times New Roman"_s);
    EXPECT_EQ(memo()->font().pixelSize(), 13);
    EXPECT_TRUE(memo()->font().bold());
    EXPECT_EQ(memo()->palette().color(QPalette::Text), QColor(Qt::red));
    EXPECT_EQ(m_form->windowTitle(), QString(15, u'!'));
    EXPECT_TRUE(m_form->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(m_form->size(), QSize(249, 148));
}

TEST_F(ImportantMessageFormTest, EscClosesAndDestroysItEvenFromTheTextBoxOtherKeysDoNot)
{
    memo()->setFocus();
    QTest::keyClick(memo(), Qt::Key_Return);
    QTest::keyClick(memo(), Qt::Key_A);
    ASSERT_FALSE(destroyed());
    QTest::keyClick(memo(), Qt::Key_Escape);
    EXPECT_TRUE(destroyed());
}

TEST_F(ImportantMessageFormTest, ButtonClosesAndDestroysIt)
{
    QTest::mouseClick(m_form->findChild<QToolButton*>(u"SpeedButton1"_s), Qt::LeftButton);
    EXPECT_TRUE(destroyed());
}

} // namespace
} // namespace kovrel
