// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QStringView>

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace kovrel {

class LinkLabel;

// Where the maintainers are reached: the address on our commits and the project's home page.
inline constexpr QStringView kMaintainersMailAddress = u"maintainers@users.noreply.c-seed-c1aaea02.example";
inline constexpr QStringView kHomePageAddress = u"https://c-seed-c1aaea02.example/kovrel/";

// "О программе": the product line, the credit lines and links to the maintainers' mail and home page.
// "Нажми сюда..." rolls the dialog down, a pixel at a time, to reveal the credits text. The dialog has a
// fixed size and is laid out in pixels, its text set to fit.
class TClientAboutDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TClientAboutDialog(QWidget* parent = nullptr);

    // "О программе" of the configuration menu: shows a dialog of its own, without an owner, modally, and
    // destroys it when it closes, so that every opening starts rolled up.
    static void execute();

private:
    void createControls();
    QFrame* createCreditPanel();
    void centreOnScreen();
    void Button2Click();
    void unrollTo(int clientHeight);
    void Label2Click();
    void Label3Click();
    void showMessage(const QString& message);

    QLabel* Image1;
    LinkLabel* Label2;
    LinkLabel* Label3;
    QFrame* Bevel1;
    QPushButton* Button1;
    QPushButton* Button2;
    QLabel* Image2;
    QPlainTextEdit* Memo2;
};

} // namespace kovrel
