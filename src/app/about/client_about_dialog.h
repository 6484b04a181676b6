// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace kovrel {

class LinkLabel;

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
