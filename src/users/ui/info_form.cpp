// SPDX-License-Identifier: GPL-3.0-or-later
#include "info_form.h"

#include <initializer_list>
#include <utility>

#include <QDesktopServices>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "artwork.h"

namespace kovrel {

namespace {

using namespace Qt::Literals::StringLiterals;

// The narrowest a field gets; the fields widen with their pages, which the tab titles make wide.
constexpr int kFieldWidth = 121;
constexpr int kPictureSize = 32;

template <typename Widget>
Widget* named(Widget* widget, const QString& objectName, const QString& accessibleName)
{
    widget->setObjectName(objectName);
    widget->setAccessibleName(accessibleName);
    return widget;
}

// The accessible name is the field's caption; the separator refusal names the field by it.
QLineEdit* createField(QWidget* parent, const QString& objectName, const QString& caption)
{
    auto* field = named(new QLineEdit(parent), objectName, caption);
    field->setMinimumWidth(kFieldWidth);
    return field;
}

QPushButton* createButton(QWidget* parent, const QString& objectName, const QString& caption)
{
    return named(new QPushButton(caption, parent), objectName, QString(caption).remove(u'&'));
}

QLabel* labelFor(QLineEdit* field)
{
    auto* label = new QLabel(field->accessibleName());
    label->setObjectName(field->objectName() + u"Label"_s);
    label->setBuddy(field);
    return label;
}

// A row is a caption (a label or a button) beside its field.
QWidget* createFormPage(const QString& objectName,
                        std::initializer_list<std::pair<QWidget*, QLineEdit*>> rows)
{
    auto* page = new QWidget;
    page->setObjectName(objectName);
    auto* form = new QFormLayout(page);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    for (const auto& [caption, field] : rows)
        form->addRow(caption, field);
    return page;
}

// A field that cannot be edited shows the page behind it instead of a base of its own: a see-through base,
// as a style may paint a page in a shade of its own rather than in the palette's window colour. Otherwise
// the field follows its parent's palette again, with the usual base colour.
void paintAsParent(QWidget* field, bool asParent)
{
    QPalette palette;
    if (asParent)
        palette.setColor(QPalette::Base, Qt::transparent);
    field->setPalette(palette);
}

// The card may come from anybody: an address is opened only when it is of the one kind its button is for,
// never as a local file or a program.
bool isWebPage(const QUrl& url)
{
    return url.isValid() && (url.scheme() == u"http"_s || url.scheme() == u"https"_s) &&
           !url.host().isEmpty();
}

// An address written without a scheme, as people give theirs ("www.site.ru", "vasya@mail.ru"), is taken to
// be of the kind its button is for: `scheme` goes in front. A colon followed by a digit starts a port
// ("www.site.ru:8080"), not a scheme.
QUrl withScheme(const QString& text, const QString& scheme)
{
    static const QRegularExpression kScheme(u"^[A-Za-z][A-Za-z0-9+.-]*:(?!\\d)"_s);
    const QString address = text.trimmed();
    return QUrl(kScheme.match(address).hasMatch() ? address : scheme + address, QUrl::StrictMode);
}

// The address alone: mail programs take headers and even attachments ("attach=") from the query.
bool isMailAddress(const QUrl& url)
{
    return url.isValid() && url.scheme() == u"mailto"_s && !url.path().isEmpty() && !url.hasQuery();
}

} // namespace

TInfoForm::TInfoForm(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(u"Информация"_s);
    createControls();
    arrangeControls();
    setTabOrder();
    Edit2->setFocus();
    centreOnScreen();
}

std::optional<PersonalCard> TInfoForm::editOwnCard(const PersonalCard& card, QWidget* parent)
{
    TInfoForm form(parent);
    form.setCard(card);
    if (form.exec() != QDialog::Accepted)
        return std::nullopt;
    return form.card();
}

TInfoForm* TInfoForm::showCard(const PersonalCard& card, QWidget* parent)
{
    auto* form = new TInfoForm(parent);
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->showAsViewer();
    form->setCard(card);
    form->show();
    return form;
}

void TInfoForm::setCard(const PersonalCard& card)
{
    Edit1->setText(card.nick);
    const std::array<QLineEdit*, kLineFieldCount> fields = lineFields();
    for (std::size_t field = 0; field < fields.size(); ++field) {
        fields[field]->setText(card.fields[field]);
        fields[field]->setCursorPosition(0); // a text too long for its field shows its beginning
    }
    Memo1->setPlainText(card.fields[PersonalCard::kDescription]);
}

PersonalCard TInfoForm::card() const
{
    PersonalCard card;
    card.nick = Edit1->text();
    const std::array<QLineEdit*, kLineFieldCount> fields = lineFields();
    for (std::size_t field = 0; field < fields.size(); ++field)
        card.fields[field] = fields[field]->text();
    card.fields[PersonalCard::kDescription] = Memo1->toPlainText().replace(u'\n', u"\r\n"_s);
    return card;
}

void TInfoForm::SetReadOnly(bool readOnly)
{
    for (QLineEdit* field : lineFields()) {
        field->setReadOnly(readOnly);
        paintAsParent(field, readOnly);
    }
    Memo1->setReadOnly(readOnly);
    paintAsParent(Memo1, readOnly);
}

void TInfoForm::createControls()
{
    Edit1 = createField(this, u"Edit1"_s, u"Ник"_s);
    Edit1->setReadOnly(true);
    paintAsParent(Edit1, true);
    Edit1->setFocusPolicy(Qt::ClickFocus); // selectable for copying, but not a stop of Tab
    Edit2 = createField(this, u"Edit2"_s, u"Имя"_s);
    Edit3 = createField(this, u"Edit3"_s, u"Фамилия"_s);
    Edit4 = createField(this, u"Edit4"_s, u"Страна"_s);
    Edit5 = createField(this, u"Edit5"_s, u"Город"_s);
    Edit6 = createField(this, u"Edit6"_s, u"Адрес"_s);
    Edit7 = createField(this, u"Edit7"_s, u"Домашний"_s);
    Edit8 = createField(this, u"Edit8"_s, u"Рабочий"_s);
    Edit9 = createField(this, u"Edit9"_s, u"E-mail"_s);
    Edit10 = createField(this, u"Edit10"_s, u"Home page"_s);
    Edit11 = createField(this, u"Edit11"_s, u"ICQ#"_s);
    Memo1 = named(new QPlainTextEdit(this), u"Memo1"_s, u"Описание"_s);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setTabChangesFocus(true);
    // The description fills what the pages of fields need rather than widening the window.
    Memo1->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    m_picture = named(new QLabel(this), u"picture"_s, u"Kovrel"_s);
    m_picture->setPixmap(
        artwork::applicationIcon().pixmap(QSize(kPictureSize, kPictureSize), devicePixelRatioF()));
    m_picture->setFixedSize(kPictureSize, kPictureSize);
    createButtons();
    m_pages = createPages();
}

void TInfoForm::createButtons()
{
    Button1 = createButton(this, u"Button1"_s, u"&Ok"_s);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &TInfoForm::Button1Click);
    Button2 = createButton(this, u"Button2"_s, u"Отмена"_s);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    Button3 = createButton(this, u"Button3"_s, Edit9->accessibleName());
    connect(Button3, &QPushButton::clicked, this, &TInfoForm::Button3Click);
    Button4 = createButton(this, u"Button4"_s, Edit10->accessibleName());
    connect(Button4, &QPushButton::clicked, this, &TInfoForm::Button4Click);
}

QTabWidget* TInfoForm::createPages()
{
    auto* pages = named(new QTabWidget(this), u"pages"_s, u"Разделы карточки"_s);
    // Every tab in sight: the window is as wide as the tab titles need.
    pages->tabBar()->setUsesScrollButtons(false);
    pages->tabBar()->setElideMode(Qt::ElideNone);
    pages->addTab(
        createFormPage(u"personalPage"_s,
                       {{labelFor(Edit1), Edit1}, {labelFor(Edit2), Edit2}, {labelFor(Edit3), Edit3}}),
        u"Личная"_s);
    pages->addTab(
        createFormPage(u"addressPage"_s,
                       {{labelFor(Edit4), Edit4}, {labelFor(Edit5), Edit5}, {labelFor(Edit6), Edit6}}),
        u"Адрес"_s);
    pages->addTab(createFormPage(u"phonesPage"_s, {{labelFor(Edit7), Edit7}, {labelFor(Edit8), Edit8}}),
                  u"Телефоны"_s);
    pages->addTab(
        createFormPage(u"internetPage"_s, {{Button3, Edit9}, {Button4, Edit10}, {labelFor(Edit11), Edit11}}),
        u"Интернет"_s);
    auto* descriptionPage = new QWidget;
    descriptionPage->setObjectName(u"descriptionPage"_s);
    auto* layout = new QVBoxLayout(descriptionPage);
    layout->addWidget(Memo1);
    pages->addTab(descriptionPage, u"Описание"_s);
    return pages;
}

// The pages on the left; the picture at the top right above the buttons.
void TInfoForm::arrangeControls()
{
    auto* side = new QVBoxLayout;
    side->addWidget(m_picture, 0, Qt::AlignRight);
    side->addStretch();
    side->addWidget(Button1);
    side->addWidget(Button2);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_pages);
    layout->addLayout(side);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TInfoForm::setTabOrder()
{
    const QList<QWidget*> order{Edit2, Edit3,   Edit4,  Edit5,  Edit6, Edit7,   Edit8,   Button3,
                                Edit9, Button4, Edit10, Edit11, Memo1, Button1, Button2, m_pages};
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void TInfoForm::centreOnScreen()
{
    QRect area(QPoint(), sizeHint());
    area.moveCenter(screen()->availableGeometry().center());
    move(area.topLeft());
}

// Viewing another user's card: nothing to accept, only to close.
void TInfoForm::showAsViewer()
{
    SetReadOnly(true);
    Button1->hide();
    Button2->setText(u"&Close"_s);
    Button2->setAccessibleName(u"Close"_s);
}

std::array<QLineEdit*, TInfoForm::kLineFieldCount> TInfoForm::lineFields() const
{
    return {Edit2, Edit3, Edit4, Edit5, Edit6, Edit7, Edit8, Edit9, Edit10, Edit11};
}

void TInfoForm::Button1Click()
{
    if (const std::optional<int> field = FieldHoldingSeparator(card())) {
        refuseSeparator(lineFields()[static_cast<std::size_t>(*field)]);
        return;
    }
    accept();
}

void TInfoForm::Button3Click()
{
    const QUrl address = withScheme(Edit9->text(), u"mailto:"_s);
    if (!isMailAddress(address))
        showMessage(u"Это не адрес электронной почты."_s);
    else if (!QDesktopServices::openUrl(address))
        showMessage(u"Почтовая служба не установлена..."_s);
}

void TInfoForm::Button4Click()
{
    const QUrl page = withScheme(Edit10->text(), u"http://"_s);
    if (!isWebPage(page))
        showMessage(u"Это не адрес веб-страницы."_s);
    else if (!QDesktopServices::openUrl(page))
        showMessage(u"Броузер Интернета не установлен..."_s);
}

// Shows the field on its page with the offending character selected.
void TInfoForm::refuseSeparator(QLineEdit* field)
{
    m_pages->setCurrentWidget(field->parentWidget()); // every field sits directly on its page
    showMessage(u"Поле «%1» не может содержать символ «|»..."_s.arg(field->accessibleName()));
    field->setFocus();
    field->setSelection(static_cast<int>(field->text().indexOf(u'|')), 1);
}

void TInfoForm::showMessage(const QString& message)
{
    QMessageBox::warning(this, u"Kovrel"_s, message);
}

} // namespace kovrel
