// SPDX-License-Identifier: GPL-3.0-or-later
#include "info_form.h"

#include "message_box_answerer.h"

#include <functional>
#include <optional>
#include <ostream>

#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QUrl>

#include "qt_printers.h"

namespace kovrel {

void PrintTo(const PersonalCard& card, std::ostream* out)
{
    *out << card.nick.toStdString();
    for (const QString& field : card.fields)
        *out << " | " << field.toStdString();
}

} // namespace kovrel

namespace {

using kovrel::PersonalCard;
using kovrel::TInfoForm;
using namespace Qt::Literals::StringLiterals;

const QStringList kLineFieldNames{"Edit2", "Edit3", "Edit4", "Edit5",  "Edit6",
                                  "Edit7", "Edit8", "Edit9", "Edit10", "Edit11"};
const QString kNoBrowser = u"Kovrel: Броузер Интернета не установлен..."_s;
const QString kNoMail = u"Kovrel: Почтовая служба не установлена..."_s;
const QString kNotWebPage = u"Kovrel: Это не адрес веб-страницы."_s;
const QString kNotMailAddress = u"Kovrel: Это не адрес электронной почты."_s;

PersonalCard vasyasCard()
{
    return {u"Вася"_s,
            {u"Василий"_s, u"Пупкин"_s, u"Россия"_s, u"Тверь"_s, u"ул. Мира, 1"_s, u"123-45-67"_s,
             u"765-43-21"_s, u"vasya@example.org"_s, u"https://example.org/~vasya?tab=1#top"_s,
             u"123456789"_s, u"Первая строка\r\nвторая | с чертой"_s}};
}

// Takes over every address the program hands to the desktop, of any scheme the tests use, so that nothing
// is launched; records what arrived.
class OpenedUrls : public QObject
{
    Q_OBJECT

public:
    OpenedUrls()
    {
        for (const QString& scheme : kSchemes)
            QDesktopServices::setUrlHandler(scheme, this, "open");
    }
    ~OpenedUrls() override
    {
        for (const QString& scheme : kSchemes)
            QDesktopServices::unsetUrlHandler(scheme);
    }

    Q_INVOKABLE void open(const QUrl& url) { urls.append(url.toString()); }

    QStringList urls;

private:
    inline static const QStringList kSchemes{u""_s,      u"file"_s,   u"ftp"_s,       u"http"_s,
                                             u"https"_s, u"mailto"_s, u"javascript"_s};
};

template <typename Control> Control* control(const QWidget& form, const QString& name)
{
    auto* found = form.findChild<Control*>(name);
    if (found == nullptr)
        ADD_FAILURE() << "no control " << name.toStdString();
    return found;
}

QLineEdit* field(const QWidget& form, const QString& name)
{
    return control<QLineEdit>(form, name);
}

void click(const QWidget& form, const QString& buttonName)
{
    QTest::mouseClick(control<QPushButton>(form, buttonName), Qt::LeftButton);
}

QString focusName(const QWidget& form)
{
    return form.focusWidget() ? form.focusWidget()->objectName() : QString();
}

QString currentPage(const QWidget& form)
{
    const auto* pages = control<QTabWidget>(form, u"pages"_s);
    return pages->tabText(pages->currentIndex());
}

void openPage(const QWidget& form, const QString& title)
{
    QTabBar* bar = control<QTabWidget>(form, u"pages"_s)->tabBar();
    for (int tab = 0; tab < bar->count(); ++tab) {
        if (bar->tabText(tab) == title)
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(tab).center());
    }
    ASSERT_EQ(currentPage(form), title);
}

// Select all, type: as a user replaces a field's text. Latin-1 only (QTest::keyClicks).
void retype(QWidget* edit, const QString& text)
{
    QTest::mouseClick(edit, Qt::LeftButton);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(edit, text);
}

QStringList memoLines(const QWidget& form)
{
    QStringList lines;
    for (QTextBlock block = control<QPlainTextEdit>(form, u"Memo1"_s)->document()->begin(); block.isValid();
         block = block.next())
        lines.append(block.text());
    return lines;
}

// editOwnCard with `actions` done on the open dialog; a dialog still open after them is cancelled, so that
// a failing test cannot hang.
std::optional<PersonalCard> edit(const PersonalCard& card, const std::function<void(TInfoForm&)>& actions)
{
    QTimer::singleShot(0, [actions] {
        auto* form = qobject_cast<TInfoForm*>(QApplication::activeModalWidget());
        if (form == nullptr) {
            ADD_FAILURE() << "the card is not shown modally";
            return;
        }
        if (QTest::qWaitForWindowActive(form))
            actions(*form);
        if (form->isVisible())
            form->reject();
    });
    return TInfoForm::editOwnCard(card, nullptr);
}

TEST(InfoFormEditTest, ShowsTheCardInItsFieldsAndReturnsItAsEditedOrNothingWhenCancelled)
{
    const PersonalCard card = vasyasCard();
    QStringList shown;
    QStringList description;
    QString firstFocus;
    const std::optional<PersonalCard> edited = edit(card, [&](TInfoForm& form) {
        firstFocus = focusName(form);
        shown.append(field(form, u"Edit1"_s)->text());
        for (const QString& name : kLineFieldNames)
            shown.append(field(form, name)->text());
        description = memoLines(form);
        openPage(form, u"Адрес"_s);
        retype(field(form, u"Edit5"_s), u"Tver"_s);
        click(form, u"Button1"_s);
    });

    EXPECT_EQ(firstFocus, u"Edit2"_s);
    EXPECT_EQ(shown, QStringList(card.nick) + QStringList(card.fields.begin(), card.fields.begin() + 10));
    EXPECT_EQ(description, QStringList({"Первая строка", "вторая | с чертой"}));
    PersonalCard expected = card;
    expected.fields[3] = u"Tver"_s;
    EXPECT_EQ(edited, expected) << "the description keeps its CR LF and its |";

    const auto cancel = [](TInfoForm& form) {
        retype(field(form, u"Edit2"_s), u"Petya"_s);
        click(form, u"Button2"_s);
    };
    EXPECT_EQ(edit(card, cancel), std::nullopt);
    EXPECT_EQ(edit(card, [](TInfoForm& form) { form.close(); }), std::nullopt);
}

TEST(InfoFormEditTest, TabSkipsTheNickAndReturnAccepts)
{
    QStringList order;
    const std::optional<PersonalCard> edited = edit(vasyasCard(), [&](TInfoForm& form) {
        for (int step = 0; step < 6; ++step) {
            order.append(focusName(form));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QTest::keyClick(field(form, u"Edit3"_s), Qt::Key_Return);
    });
    EXPECT_EQ(order, QStringList({"Edit2", "Edit3", "Button1", "Button2", "qt_tabwidget_tabbar", "Edit2"}));
    EXPECT_EQ(edited, vasyasCard());
}

TEST(InfoFormEditTest, SeparatorIsRefusedOnTheFieldThatHoldsItButAllowedInTheDescription)
{
    const struct
    {
        QString field;
        QString page;
        QString message;
    } cases[] = {
        {u"Edit2"_s, u"Личная"_s, u"Kovrel: Поле «Имя» не может содержать символ «|»..."_s},
        {u"Edit5"_s, u"Адрес"_s, u"Kovrel: Поле «Город» не может содержать символ «|»..."_s},
        {u"Edit9"_s, u"Интернет"_s, u"Kovrel: Поле «E-mail» не может содержать символ «|»..."_s},
        {u"Edit11"_s, u"Интернет"_s, u"Kovrel: Поле «ICQ#» не может содержать символ «|»..."_s},
    };
    kovrel::test::MessageBoxAnswerer boxes;
    const std::optional<PersonalCard> edited = edit(vasyasCard(), [&](TInfoForm& form) {
        for (const auto& [name, page, message] : cases) {
            openPage(form, page);
            QLineEdit* edit = field(form, name);
            const QString original = edit->text();
            retype(edit, u"a|b"_s);
            openPage(form, u"Описание"_s);
            boxes.texts.clear();
            click(form, u"Button1"_s);
            EXPECT_EQ(boxes.texts, QStringList(message));
            EXPECT_TRUE(form.isVisible()) << name.toStdString();
            EXPECT_EQ(currentPage(form), page);
            EXPECT_EQ(focusName(form), name);
            EXPECT_EQ(edit->selectedText(), u"|"_s);
            edit->setText(original);
        }
        auto* memo = control<QPlainTextEdit>(form, u"Memo1"_s);
        memo->moveCursor(QTextCursor::End);
        QTest::keyClicks(memo, u"|x"_s);
        click(form, u"Button1"_s);
    });
    PersonalCard expected = vasyasCard();
    expected.fields[PersonalCard::kDescription] += u"|x"_s;
    EXPECT_EQ(edited, expected);
}

TEST(InfoFormTest, ReadOnlyFieldsShowThePageBehindThemAndEditableOnesTheBaseColor)
{
    TInfoForm form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const QColor base = form.palette().color(QPalette::Base);
    const struct
    {
        QString page;
        QStringList fields;
    } pages[] = {
        {u"Личная"_s, {"Edit1", "Edit2", "Edit3"}},
        {u"Адрес"_s, {"Edit4", "Edit5", "Edit6"}},
        {u"Телефоны"_s, {"Edit7", "Edit8"}},
        {u"Интернет"_s, {"Edit9", "Edit10", "Edit11"}},
        {u"Описание"_s, {"Memo1"}},
    };
    for (const bool readOnly : {true, false, true}) {
        form.SetReadOnly(readOnly);
        for (const auto& [page, names] : pages) {
            openPage(form, page);
            const QImage shown = form.grab().toImage();
            for (const QString& name : names) {
                const auto* widget = control<QWidget>(form, name);
                const bool nick = name == u"Edit1"_s;
                EXPECT_EQ(widget->property("readOnly").toBool(), readOnly || nick) << name.toStdString();
                // Inside the frame below the text, and on the page just left of the field.
                const QColor inside = shown.pixelColor(widget->mapTo(&form, QPoint(4, widget->height() - 4)));
                const QColor beside =
                    shown.pixelColor(widget->mapTo(&form, QPoint(-3, widget->height() / 2)));
                EXPECT_NE(beside, base);
                EXPECT_EQ(inside, readOnly || nick ? beside : base) << name.toStdString();
            }
        }
    }
}

TEST(InfoFormViewerTest, ShowsTheCardReadOnlyBesideOthersAndDeletesItselfOnClose)
{
    QWidget owner; // in a corner of the screen: the cards are centred on the screen all the same
    owner.setGeometry(0, 0, 200, 100);
    owner.show();
    PersonalCard other = vasyasCard();
    other.nick = u"Петя"_s;
    const QPointer<TInfoForm> first = TInfoForm::showCard(vasyasCard(), &owner);
    const QPointer<TInfoForm> second = TInfoForm::showCard(other, &owner);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(first));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(second));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(field(*second, u"Edit1"_s)->text(), u"Петя"_s);
    const QPoint offCentre = first->geometry().center() - first->screen()->availableGeometry().center();
    EXPECT_LE(offCentre.manhattanLength(), 8) << "centred on the screen, the frame aside; not on the owner";

    QLineEdit* name = field(*first, u"Edit2"_s);
    QTest::keyClicks(name, u"x"_s);
    EXPECT_EQ(name->text(), u"Василий"_s);
    EXPECT_TRUE(control<QPlainTextEdit>(*first, u"Memo1"_s)->isReadOnly());
    EXPECT_EQ(memoLines(*first), QStringList({"Первая строка", "вторая | с чертой"}));
    EXPECT_TRUE(control<QPushButton>(*first, u"Button1"_s)->isHidden());
    EXPECT_EQ(control<QPushButton>(*first, u"Button2"_s)->text(), u"&Close"_s);
    TInfoForm editor;
    editor.show();
    EXPECT_EQ(first->size(), editor.size()) << "hiding Ok resizes nothing";
    EXPECT_EQ(first->minimumSize(), first->maximumSize());

    click(*first, u"Button2"_s);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
    ASSERT_FALSE(second.isNull());
    EXPECT_TRUE(second->isVisible());
    second->close(); // the close box
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(second.isNull());
}

// What clicking `button` with `text` in `fieldName` of `form` opened, and the message boxes it showed.
QStringList clickButtonWith(TInfoForm& form, const QString& fieldName, const QString& text,
                            const QString& button, OpenedUrls* opened)
{
    kovrel::test::MessageBoxAnswerer boxes;
    field(form, fieldName)->setText(text);
    if (opened)
        opened->urls.clear();
    click(form, button);
    return (opened ? opened->urls : QStringList()) + boxes.texts;
}

TEST(InfoFormViewerTest, InternetButtonsOpenOnlyMailAddressesAndWebPages)
{
    OpenedUrls opened;
    const QPointer<TInfoForm> form = TInfoForm::showCard(vasyasCard(), nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    const auto clickWith = [&](const QString& fieldName, const QString& text, const QString& button) {
        return clickButtonWith(*form, fieldName, text, button, &opened);
    };

    EXPECT_EQ(clickWith(u"Edit9"_s, u"vasya@example.org"_s, u"Button3"_s),
              QStringList(u"mailto:vasya@example.org"_s));
    for (const QString& page : {u"https://example.org/~vasya?tab=1#top"_s, u"http://пример.рф/"_s})
        EXPECT_EQ(clickWith(u"Edit10"_s, page, u"Button4"_s), QStringList(page));
    for (const QString& page : {u"file:///etc/passwd"_s, u"/etc/passwd"_s, u"FILE:/etc/passwd"_s,
                                u"C:\\Windows\\calc.exe"_s, u"javascript:alert(1)"_s, u"ftp://example.org/"_s,
                                u"http://"_s, u"https:example.org"_s, u"http://exa mple.org/"_s, u""_s})
        EXPECT_EQ(clickWith(u"Edit10"_s, page, u"Button4"_s), QStringList(kNotWebPage)) << page.toStdString();
    for (const QString& address : {u""_s, u"vasya@example.org?attach=/etc/passwd"_s,
                                   u"https://example.org/"_s, u"file:///etc/passwd"_s})
        EXPECT_EQ(clickWith(u"Edit9"_s, address, u"Button3"_s), QStringList(kNotMailAddress))
            << address.toStdString();
    delete form;
}

// People give their addresses without the scheme; a bare name goes to the browser as a web page, never to
// the system as a program.
TEST(InfoFormViewerTest, AnAddressWithoutASchemeIsTakenAsOfTheButtonsKind)
{
    OpenedUrls opened;
    const QPointer<TInfoForm> form = TInfoForm::showCard(vasyasCard(), nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    const struct
    {
        QString typed;
        QString opened;
    } pages[] = {
        {u"www.site.ru"_s, u"http://www.site.ru"_s},
        {u" www.site.ru/about?x=1 "_s, u"http://www.site.ru/about?x=1"_s},
        {u"site.ru:8080/chat"_s, u"http://site.ru:8080/chat"_s},
        {u"calc.exe"_s, u"http://calc.exe"_s},
    };
    for (const auto& [typed, page] : pages)
        EXPECT_EQ(clickButtonWith(*form, u"Edit10"_s, typed, u"Button4"_s, &opened), QStringList(page))
            << typed.toStdString();
    for (const QString& address : {u"vasya@example.org"_s, u"mailto:vasya@example.org"_s})
        EXPECT_EQ(clickButtonWith(*form, u"Edit9"_s, address, u"Button3"_s, &opened),
                  QStringList(u"mailto:vasya@example.org"_s))
            << address.toStdString();
    delete form;
}

// The offscreen platform has no desktop services: openUrl fails there as on a desktop with no browser and
// no mail program.
TEST(InfoFormViewerTest, WithNoProgramForAnAddressTheButtonsSaySo)
{
    if (QGuiApplication::platformName() != u"offscreen"_s)
        GTEST_SKIP() << "a real desktop would open the addresses";
    const QPointer<TInfoForm> form = TInfoForm::showCard(vasyasCard(), nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    EXPECT_EQ(clickButtonWith(*form, u"Edit10"_s, u"www.site.ru"_s, u"Button4"_s, nullptr),
              QStringList(kNoBrowser));
    EXPECT_EQ(clickButtonWith(*form, u"Edit9"_s, u"vasya@example.org"_s, u"Button3"_s, nullptr),
              QStringList(kNoMail));
    delete form;
}

} // namespace

#include "info_form_test.moc"
