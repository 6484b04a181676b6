// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <optional>

#include <QDialog>

#include "personal_card.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace kovrel {

// "Информация": a personal card on five pages. The one window serves two uses: the user edits the own card
// in a modal dialog (editOwnCard), and a card another user published is shown read-only in a window of its
// own (showCard), several of which may be open at once. The buttons of the page "Интернет" hand the e-mail
// address to the mail program and the home page to the browser, in both uses, an address without a scheme
// taken as one of their kind; as the card may come from anybody, only mailto, http and https addresses ever
// leave the program.
class TInfoForm : public QDialog
{
    Q_OBJECT

public:
    explicit TInfoForm(QWidget* parent = nullptr);

    // Edits `card` in a modal dialog that lives for this call only: the edited card when the user accepts
    // it, nothing when the user cancels. The nick is shown but cannot be changed. The dialog is a child of
    // `parent`, which must outlive the call.
    static std::optional<PersonalCard> editOwnCard(const PersonalCard& card, QWidget* parent);
    // Shows `card` read-only in a window of its own and returns at once. The window owns itself: closing
    // it deletes it (so does deleting `parent`); keep the result in a QPointer to reach it later.
    static TInfoForm* showCard(const PersonalCard& card, QWidget* parent);

    void setCard(const PersonalCard& card);
    // The description's lines are joined by CR LF, as the card travels.
    PersonalCard card() const;

    // Makes every field but the nick, which is never editable, read-only or editable again. A read-only
    // field takes the colour of the page behind it, so that it does not look like an input.
    void SetReadOnly(bool readOnly);

private:
    static constexpr std::size_t kLineFieldCount = PersonalCard::kDescription;

    void createControls();
    void createButtons();
    QTabWidget* createPages();
    void arrangeControls();
    void setTabOrder();
    void centreOnScreen();
    void showAsViewer();
    // Edit2 to Edit11 in the order of the card's fields.
    std::array<QLineEdit*, kLineFieldCount> lineFields() const;
    void Button1Click();
    void Button3Click();
    void Button4Click();
    void refuseSeparator(QLineEdit* field);
    void showMessage(const QString& message);

    QLineEdit* Edit1;
    QLineEdit* Edit2;
    QLineEdit* Edit3;
    QLineEdit* Edit4;
    QLineEdit* Edit5;
    QLineEdit* Edit6;
    QLineEdit* Edit7;
    QLineEdit* Edit8;
    QLineEdit* Edit9;
    QLineEdit* Edit10;
    QLineEdit* Edit11;
    QPlainTextEdit* Memo1;
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* Button3;
    QPushButton* Button4;

    QTabWidget* m_pages;
    QLabel* m_picture;
};

} // namespace kovrel
