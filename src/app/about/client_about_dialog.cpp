// SPDX-License-Identifier: GPL-3.0-or-later
#include "client_about_dialog.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTextOption>
#include <QUrl>
#include <QVBoxLayout>

#include "artwork.h"
#include "kovrel_contacts.h"
#include "kovrel_version.h"
#include "link_label.h"

namespace kovrel {

namespace {

using namespace Qt::Literals::StringLiterals;

// The client area rolled up; rolled down, it reaches kGap below the buttons.
constexpr QSize kClientSize(265, 170);
// Between the credits text and the line below it, and between the line and the buttons.
constexpr int kGap = 16;
constexpr int kPictureSize = 32;

constexpr QRect kTitleGeometry(8, 8, 249, 20);
constexpr QPoint kImage1Position(8, 40);
constexpr QRect kCreditPanelGeometry(56, 32, 201, 81);
constexpr QRect kBevel1Geometry(8, 120, 249, 2);
constexpr QRect kButton1Geometry(27, 136, 75, 25);
constexpr QRect kButton2Geometry(116, 136, 121, 25);
constexpr QPoint kImage2Position(8, 128);
constexpr QRect kMemo2Geometry(56, 120, 201, 177);

// The sizes above are pixels, so the text is too: a face and size the lines are set to fit, whatever the
// desktop's own font.
QFont dialogFont()
{
    QFont font;
    font.setFamilies({u"MS Sans Serif"_s, u"DejaVu Sans"_s});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}

QFont titleFont()
{
    QFont font = dialogFont();
    font.setPixelSize(13);
    font.setBold(true);
    return font;
}

// The credit panel's lines are a size smaller, so that both addresses fit its width.
QFont creditPanelFont()
{
    QFont font = dialogFont();
    font.setPixelSize(9);
    return font;
}

// One paragraph a credit, wrapped to the width of the text; no-break spaces keep names and numbers whole.
// Each library the programs link is named with its licence.
QString creditsText()
{
    const QString version = QString::fromUtf8(kVersion.data(), static_cast<qsizetype>(kVersion.size()));
    return u"Kovrel, сборка %1\n\n"
           "Программу пишут и поддерживают сопровождающие Kovrel.\n"
           "Kovrel — GNU\u00a0GPL\u00a03.0 или более поздняя\n\n"
           "Библиотеки и их лицензии:\n\n"
           "Окна: Qt\u00a06 — GNU\u00a0LGPL\u00a03.0\n© The Qt Company\n\n"
           "Пароли: QtKeychain — BSD-3-Clause\n\n"
           "Звук сообщений: libcanberra — GNU\u00a0LGPL\u00a02.1\nи звуковая тема freedesktop\n\n"
           "Сервер: Asio — Boost Software License\u00a01.0\n© Christopher M.\u00a0Kohlhoff\n\n"
           "Состояние сервера: SQLite — общественное достояние\n\n"
           "Кластер серверов: hiredis — BSD-3-Clause\n\n"
           "Шифрование TLS: OpenSSL — Apache License\u00a02.0\n\n"
           "Проверка: GoogleTest и Google\u00a0Benchmark\n\n"
           "Шифр DES: таблицы FIPS\u00a046-3, проверка векторами NIST\u00a0SP\u00a0800-17\n\n"
           "Шрифты DejaVu, где они установлены\n\n"
           "Спасибо, что пользуетесь Kovrel!"_s.arg(version);
}

template <typename Widget> Widget* named(Widget* widget, const QString& objectName)
{
    widget->setObjectName(objectName);
    return widget;
}

QLabel* createPicture(QWidget* parent, const QString& objectName, int index, QPoint position)
{
    auto* picture = named(new QLabel(parent), objectName);
    picture->setPixmap(
        artwork::aboutPicture(index).pixmap(QSize(kPictureSize, kPictureSize), parent->devicePixelRatioF()));
    picture->setGeometry(QRect(position, QSize(kPictureSize, kPictureSize)));
    return picture;
}

// Read, never typed into: no stop of Tab, and the dialog's colour behind the text.
QPlainTextEdit* createCreditsText(QWidget* parent)
{
    auto* memo = named(new QPlainTextEdit(creditsText(), parent), u"Memo2"_s);
    memo->setAccessibleName(u"Благодарности"_s);
    memo->setReadOnly(true);
    memo->setFocusPolicy(Qt::ClickFocus);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QTextOption centred = memo->document()->defaultTextOption();
    centred.setAlignment(Qt::AlignHCenter);
    memo->document()->setDefaultTextOption(centred);
    QPalette palette = memo->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    memo->setPalette(palette);
    memo->setGeometry(kMemo2Geometry);
    return memo;
}

} // namespace

TClientAboutDialog::TClientAboutDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(u"О программе"_s);
    setWindowIcon(artwork::applicationIcon());
    setFont(dialogFont());
    createControls();
    setFixedSize(kClientSize);
    centreOnScreen();
}

void TClientAboutDialog::execute()
{
    TClientAboutDialog dialog;
    dialog.exec();
}

void TClientAboutDialog::createControls()
{
    auto* title = named(new QLabel(u"Kovrel Клиент Версия 1.84b"_s, this), u"title"_s);
    title->setFont(titleFont());
    title->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    title->setAlignment(Qt::AlignCenter);
    title->setGeometry(kTitleGeometry);

    Image1 = createPicture(this, u"Image1"_s, 0, kImage1Position);
    createCreditPanel()->setGeometry(kCreditPanelGeometry);

    Bevel1 = named(new QFrame(this), u"Bevel1"_s);
    Bevel1->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    Bevel1->setGeometry(kBevel1Geometry);

    Button1 = named(new QPushButton(u"OK"_s, this), u"Button1"_s);
    Button1->setGeometry(kButton1Geometry);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    Button2 = named(new QPushButton(u"Нажми сюда..."_s, this), u"Button2"_s);
    Button2->setGeometry(kButton2Geometry);
    connect(Button2, &QPushButton::clicked, this, &TClientAboutDialog::Button2Click);

    Image2 = createPicture(this, u"Image2"_s, 1, kImage2Position);
    Image2->hide();
    Memo2 = createCreditsText(this);
    Memo2->hide();
}

QFrame* TClientAboutDialog::createCreditPanel()
{
    auto* panel = named(new QFrame(this), u"creditPanel"_s);
    panel->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    panel->setFont(creditPanelFont());

    Label2 = named(new LinkLabel(u"E-Mail: "_s + kMaintainersMailAddress.toString(), panel), u"Label2"_s);
    connect(Label2, &LinkLabel::clicked, this, &TClientAboutDialog::Label2Click);
    Label3 = named(new LinkLabel(kHomePageAddress.toString(), panel), u"Label3"_s);
    connect(Label3, &LinkLabel::clicked, this, &TClientAboutDialog::Label3Click);
    // An address longer than the panel is wide goes on to a second line.
    for (LinkLabel* link : {Label2, Label3})
        link->setWordWrap(true);

    auto* lines = new QVBoxLayout(panel);
    lines->setContentsMargins(6, 3, 4, 3);
    lines->setSpacing(2);
    lines->addStretch();
    lines->addWidget(new QLabel(u"Авторы: сопровождающие Kovrel"_s));
    lines->addWidget(Label2);
    lines->addWidget(Label3);
    // No-break spaces keep the standards' names whole.
    auto* cipherCredit =
        new QLabel(u"Шифр DES: наш код, сверенный с NIST\u00a0SP\u00a0800-17 и FIPS\u00a046"_s);
    cipherCredit->setWordWrap(true);
    lines->addWidget(cipherCredit);
    lines->addStretch();
    return panel;
}

void TClientAboutDialog::centreOnScreen()
{
    QRect area(QPoint(), size());
    area.moveCenter(screen()->availableGeometry().center());
    move(area.topLeft());
}

// Reveals the credits text: the line and the buttons move below it, "OK" alone stays, centred, and the
// dialog unrolls down to them.
void TClientAboutDialog::Button2Click()
{
    Bevel1->move(Bevel1->x(), Memo2->y() + Memo2->height() + kGap);
    Button1->move(Button1->x(), Bevel1->y() + kGap);
    Button2->move(Button2->x(), Button1->y());
    Memo2->show();
    Image2->show();
    Button2->hide();
    Button1->move((width() - Button1->width()) / 2, Button1->y());
    QApplication::setOverrideCursor(Qt::BusyCursor);
    unrollTo(Button2->y() + Button2->height() + kGap);
    QApplication::restoreOverrideCursor();
}

// One pixel at a time, each step painted before the next, so that the dialog is seen to unroll.
void TClientAboutDialog::unrollTo(int clientHeight)
{
    for (int current = height() + 1; current <= clientHeight; ++current) {
        setFixedHeight(current);
        QCoreApplication::processEvents();
    }
}

// The address is what follows the first ':' of "E-Mail: <address>". The blank after the colon is dropped:
// QUrl would hand it to the mail program as "%20" in front of the address.
void TClientAboutDialog::Label2Click()
{
    const QString text = Label2->text();
    const QString address = text.mid(text.indexOf(u':') + 1).trimmed();
    if (!QDesktopServices::openUrl(QUrl(u"mailto:"_s + address)))
        showMessage(u"Почтовая служба не установлена..."_s);
}

void TClientAboutDialog::Label3Click()
{
    if (!QDesktopServices::openUrl(QUrl(Label3->text())))
        showMessage(u"Броузер Интернета не установлен..."_s);
}

void TClientAboutDialog::showMessage(const QString& message)
{
    QMessageBox box(QMessageBox::NoIcon, u"Kovrel"_s, message, QMessageBox::Ok, this);
    box.exec();
}

} // namespace kovrel
