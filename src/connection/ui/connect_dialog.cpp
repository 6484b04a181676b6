// SPDX-License-Identifier: GPL-3.0-or-later
#include "connect_dialog.h"

#include <algorithm>

#include <QCheckBox>
#include <QEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QVBoxLayout>

#include "float_edit.h"
#include "password_vault.h"
#include "settings_error.h"
#include "settings_layout.h"

namespace kovrel {

namespace {

constexpr int kMaximumPort = 65535;
// The ports a server listens on unless told otherwise.
const QString kPlainPort = QStringLiteral("4040");
const QString kTlsPort = QStringLiteral("4041");

QLineEdit* createLineEdit(QWidget* parent, const QString& name)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    return edit;
}

TFloatEdit* createOctetField(QWidget* parent, const QString& name)
{
    auto* field = new TFloatEdit(parent);
    field->setObjectName(name);
    field->setAlignment(Qt::AlignCenter);
    return field;
}

QPushButton* createButton(QWidget* parent, const QString& name, const QString& caption)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    return button;
}

// The width of a line edit that shows `sample` in full, its frame and margins included.
int widthShowing(const QLineEdit* edit, const QString& sample)
{
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.lineWidth = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit);
    const QMargins margins = edit->textMargins();
    constexpr int kInnerMargins = 4; // QLineEdit keeps 2 pixels free on each side of the text
    const QSize content(edit->fontMetrics().horizontalAdvance(sample) + margins.left() + margins.right() +
                            kInnerMargins,
                        edit->fontMetrics().height());
    return edit->style()->sizeFromContents(QStyle::CT_LineEdit, &option, content, edit).width();
}

void setBold(QWidget* widget, bool bold)
{
    QFont font; // sets only the weight, so that the rest follows the dialog's font
    font.setBold(bold);
    widget->setFont(bold ? font : QFont());
}

int boldWidth(QWidget* widget)
{
    setBold(widget, true);
    const int width = widget->sizeHint().width();
    setBold(widget, false);
    return width;
}

} // namespace

TConnectDialog::TConnectDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Подключение"));
    createControls();
    arrangeControls();
    setTabOrder();
    watchFocus();
    FormCreate();
}

bool TConnectDialog::ExecuteConnectDialog()
{
    NickName->setFocus();
    return exec() == QDialog::Accepted;
}

bool TConnectDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)
        updateFocusHighlight();
    return QDialog::eventFilter(watched, event);
}

void TConnectDialog::createControls()
{
    NickName = createLineEdit(this, QStringLiteral("NickName"));
    AnotherNick = createLineEdit(this, QStringLiteral("AnotherNick"));
    Password = createLineEdit(this, QStringLiteral("Password"));
    Password->setEchoMode(QLineEdit::Password);
    Password->setToolTip(QStringLiteral("Пароль зарегистрированного ника; только с шифрованием (TLS). "
                                        "Хранится в хранилище паролей рабочего стола, не в настройках."));
    Edit1 = createLineEdit(this, QStringLiteral("Edit1"));
    Edit2 = createLineEdit(this, QStringLiteral("Edit2"));
    HostName = createLineEdit(this, QStringLiteral("HostName"));
    PortNumber = createLineEdit(this, QStringLiteral("PortNumber"));
    PortNumber->setFixedWidth(widthShowing(PortNumber, QStringLiteral("000000")));
    UseTLS = new QCheckBox(QStringLiteral("Шифровать соединение (TLS)"), this);
    UseTLS->setObjectName(QStringLiteral("UseTLS"));
    UseTLS->setToolTip(QStringLiteral("Порт — TLS-порт сервера (обычно 4041)"));
    connect(UseTLS, &QCheckBox::toggled, this, &TConnectDialog::switchDefaultPort);
    connect(UseTLS, &QCheckBox::toggled, this, &TConnectDialog::enablePassword);
    Adr1 = createOctetField(this, QStringLiteral("Adr1"));
    Adr2 = createOctetField(this, QStringLiteral("Adr2"));
    Adr3 = createOctetField(this, QStringLiteral("Adr3"));
    Adr4 = createOctetField(this, QStringLiteral("Adr4"));
    for (TFloatEdit* octet : {Adr1, Adr2, Adr3, Adr4})
        octet->setFixedWidth(widthShowing(octet, QStringLiteral("0000")));
    AddressName = createLineEdit(this, QStringLiteral("AddressName"));
    AddressName->hide();

    Button1 = createButton(this, QStringLiteral("Button1"), QStringLiteral("&Соединение"));
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &TConnectDialog::Button1Click);
    Button2 = createButton(this, QStringLiteral("Button2"), QStringLiteral("&Отказ"));
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

    m_nickLabel = new QLabel(QStringLiteral("Имя"), this);
    m_anotherNickLabel = new QLabel(QStringLiteral("Другое имя"), this);
    m_passwordLabel = new QLabel(QStringLiteral("Пароль"), this);
    m_greetingLabel = new QLabel(QStringLiteral("Приветствие"), this);
    m_farewellLabel = new QLabel(QStringLiteral("Прощание"), this);
    m_hostLabel = new QLabel(QStringLiteral("Имя "), this);
    m_portLabel = new QLabel(QStringLiteral("Порт"), this);
    m_addressLabel = new QLabel(QStringLiteral("IP адрес"), this);
    // A screen reader names each field after its label.
    m_nickLabel->setBuddy(NickName);
    m_anotherNickLabel->setBuddy(AnotherNick);
    m_passwordLabel->setBuddy(Password);
    m_greetingLabel->setBuddy(Edit1);
    m_farewellLabel->setBuddy(Edit2);
    m_hostLabel->setBuddy(HostName);
    m_portLabel->setBuddy(PortNumber);
    m_addressLabel->setBuddy(Adr1);
    AddressName->setAccessibleName(QStringLiteral("IP адрес"));
    AnotherNick->setAccessibleDescription(QStringLiteral("Имя на случай, если первое занято"));
}

QGroupBox* TConnectDialog::createMessagesGroup()
{
    auto* group = new QGroupBox(QStringLiteral(" Сообщения "), this);
    auto* form = new QFormLayout(group);
    form->addRow(m_greetingLabel, Edit1);
    form->addRow(m_farewellLabel, Edit2);
    return group;
}

QGroupBox* TConnectDialog::createServerGroup()
{
    auto* group = new QGroupBox(QStringLiteral(" Параметры сервера "), this);
    auto* form = new QFormLayout(group);
    form->addRow(m_hostLabel, HostName);
    form->addRow(m_portLabel, createPortRow());
    form->addRow(m_addressLabel, createAddressRow());
    return group;
}

QLayout* TConnectDialog::createAddressRow()
{
    auto* row = new QHBoxLayout;
    row->setSpacing(2);
    for (TFloatEdit* octet : {Adr1, Adr2, Adr3}) {
        row->addWidget(octet);
        row->addWidget(new QLabel(QStringLiteral("."), this));
    }
    row->addWidget(Adr4);
    row->addStretch();
    return row;
}

QLayout* TConnectDialog::createPortRow()
{
    auto* row = new QHBoxLayout;
    row->addWidget(PortNumber);
    row->addSpacing(12);
    row->addWidget(UseTLS);
    row->addStretch();
    return row;
}

// A server takes plain connections on one port and encrypted ones on another: a port left at one
// default follows the box to the other.
void TConnectDialog::switchDefaultPort(bool useTls)
{
    const QString port = PortNumber->text().trimmed();
    if (port == (useTls ? kPlainPort : kTlsPort))
        PortNumber->setText(useTls ? kTlsPort : kPlainPort);
}

// A password never goes over a plain connection.
void TConnectDialog::enablePassword(bool useTls)
{
    Password->setEnabled(useTls);
    m_passwordLabel->setEnabled(useTls);
}

QString TConnectDialog::serverName() const
{
    return ServerName(HostName->text(), joinedAddress(), portNumber().value_or(0));
}

// The secret store answers later; a password typed meanwhile is not replaced.
void TConnectDialog::loadPassword()
{
    if (!ReadUsePassword())
        return;
    passwords::lookUp(passwords::accountName(NickName->text(), serverName()), this,
                      [this](const std::optional<QString>& password) {
                          if (password && Password->text().isEmpty() && !Password->isModified())
                              Password->setText(*password);
                      });
}

// An empty password, or none without encryption, takes the nick's password out of the store.
void TConnectDialog::storePassword()
{
    const QString account = passwords::accountName(NickName->text(), serverName());
    if (UseTLS->isChecked() && !Password->text().isEmpty())
        passwords::store(account, Password->text());
    else
        passwords::forget(account);
}

// The fields on the left, the buttons at the top right: reading order and tab order agree.
void TConnectDialog::arrangeControls()
{
    auto* nicks = new QFormLayout;
    nicks->addRow(m_nickLabel, NickName);
    nicks->addRow(m_anotherNickLabel, AnotherNick);
    nicks->addRow(m_passwordLabel, Password);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    buttons->addStretch();

    QGroupBox* messages = createMessagesGroup();
    // Indented like the rows inside the groups, so that labels and fields line up with theirs.
    const QMargins groupInset = messages->contentsMargins() + messages->layout()->contentsMargins();
    nicks->setContentsMargins(groupInset.left(), 0, groupInset.right(), 0);

    auto* layout = new QGridLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addLayout(nicks, 0, 0);
    layout->addWidget(messages, 1, 0);
    layout->addWidget(createServerGroup(), 2, 0);
    layout->addLayout(buttons, 0, 1, 3, 1);
}

void TConnectDialog::setTabOrder()
{
    const QList<QWidget*> order{NickName,   AnotherNick, Edit1, Edit2, Button1, Button2, HostName,
                                PortNumber, UseTLS,      Adr1,  Adr2,  Adr3,    Adr4};
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void TConnectDialog::watchFocus()
{
    m_focusHighlights = {
        {m_nickLabel, {NickName}},     {m_anotherNickLabel, {AnotherNick}},
        {m_passwordLabel, {Password}}, {m_greetingLabel, {Edit1}},
        {m_farewellLabel, {Edit2}},    {m_hostLabel, {HostName}},
        {m_portLabel, {PortNumber}},   {m_addressLabel, {Adr1, Adr2, Adr3, Adr4}},
        {Button1, {Button1}},          {Button2, {Button2}},
    };
    for (const FocusHighlight& highlight : m_focusHighlights)
        for (QWidget* field : highlight.fields)
            field->installEventFilter(this);
    reserveBoldWidths();
}

// Every label and button gets the width of its bold form, so that a highlight never moves anything; the
// labels share one width, which lines up the fields of all three parts.
void TConnectDialog::reserveBoldWidths()
{
    int labelWidth = 0;
    for (const FocusHighlight& highlight : m_focusHighlights) {
        const int width = boldWidth(highlight.shown);
        if (qobject_cast<QLabel*>(highlight.shown))
            labelWidth = std::max(labelWidth, width);
        else
            highlight.shown->setMinimumWidth(width);
    }
    for (const FocusHighlight& highlight : m_focusHighlights)
        if (qobject_cast<QLabel*>(highlight.shown))
            highlight.shown->setMinimumWidth(labelWidth);
}

void TConnectDialog::FormCreate()
{
    HostName->setText(kovrel::ReadHost());
    NickName->setText(kovrel::ReadNick());
    AnotherNick->setText(kovrel::ReadAnotherNick());
    AddressName->setText(kovrel::ReadAddress());
    splitAddress(AddressName->text());
    UseTLS->setChecked(kovrel::ReadUseTls()); // before the port, which it would otherwise switch
    enablePassword(UseTLS->isChecked());
    PortNumber->setText(QString::number(kovrel::ReadPort()));
    Edit1->setText(kovrel::ReadMsgOnConnect());
    Edit2->setText(kovrel::ReadMsgOnDisconnect());
    loadPassword();
}

// Each of Adr1 to Adr3 takes the text before the next "."; without one it stays empty and the rest moves
// on, so that Adr4 always gets what remains.
void TConnectDialog::splitAddress(const QString& address)
{
    QString rest = address;
    for (TFloatEdit* field : {Adr1, Adr2, Adr3}) {
        const qsizetype dot = rest.indexOf(u'.');
        field->setText(dot < 0 ? QString() : rest.left(dot));
        if (dot >= 0)
            rest = rest.mid(dot + 1);
    }
    Adr4->setText(rest);
}

// Surrounding blanks are allowed around the digits.
std::optional<int> TConnectDialog::portNumber() const
{
    return decimalUpTo(PortNumber->text().trimmed(), kMaximumPort);
}

QString TConnectDialog::joinedAddress() const
{
    return Adr1->text() + u'.' + Adr2->text() + u'.' + Adr3->text() + u'.' + Adr4->text();
}

void TConnectDialog::Button1Click()
{
    if (checkFields() && storeFields())
        accept();
}

// Nothing may be stored before every field is known to be valid.
bool TConnectDialog::checkFields()
{
    if (NickName->text().trimmed().isEmpty()) {
        refuse(NickName, QStringLiteral("Nick name не может быть пустым..."));
        return false;
    }
    if (AnotherNick->text().trimmed().isEmpty()) {
        refuse(AnotherNick, QStringLiteral("Another Nick не может быть пустым..."));
        return false;
    }
    const QString badParameter = QStringLiteral("Один из параметров введён неверно...");
    if (!portNumber()) {
        refuse(PortNumber, badParameter);
        return false;
    }
    for (TFloatEdit* octet : {Adr1, Adr2, Adr3, Adr4}) {
        if (!octet->hasValidOctet()) {
            refuse(octet, badParameter);
            return false;
        }
    }
    return true;
}

bool TConnectDialog::storeFields()
{
    AddressName->setText(joinedAddress());
    try {
        kovrel::WriteConnectDialogValues({
            .host = HostName->text(),
            .nick = NickName->text(),
            .anotherNick = AnotherNick->text(),
            .address = AddressName->text(),
            .port = QString::number(*portNumber()),
            .msgOnConnect = Edit1->text(),
            .msgOnDisconnect = Edit2->text(),
            .useTls = UseTLS->isChecked(),
            .usePassword = UseTLS->isChecked() && !Password->text().isEmpty(),
        });
        storePassword();
    } catch (const kovrel::SettingsError& error) {
        showMessage(QString::fromStdString(error.what()));
        return false;
    }
    return true;
}

void TConnectDialog::refuse(QWidget* field, const QString& message)
{
    showMessage(message);
    field->setFocus();
}

void TConnectDialog::showMessage(const QString& message)
{
    QMessageBox::warning(this, QStringLiteral("Kovrel"), message);
}

// A label is bold while one of its fields is this window's focus widget, which it stays while another
// window, such as a message box, is active.
void TConnectDialog::updateFocusHighlight()
{
    const QWidget* focused = focusWidget();
    for (const FocusHighlight& highlight : m_focusHighlights)
        setBold(highlight.shown, highlight.fields.contains(focused));
}

} // namespace kovrel
