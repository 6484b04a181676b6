// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "recipients.h"

#include <QDialog>

#include <vector>

class QMenu;
class QPlainTextEdit;
class QToolButton;
class QTreeWidget;

namespace kovrel {

class MultiSendHost;
class RosterModel;

// The multi-recipient send window ("Послание"): one text sent as a private message to each chosen user in
// turn through the main window's send. Created once and kept; closing it only hides it. The recipient
// list is taken when the window opens; later changes of the roster's entries refresh its pictures and
// drop users who became ignored, but arrivals and departures are not followed.
class TAdvancedSendForm : public QDialog
{
    Q_OBJECT

public:
    TAdvancedSendForm(const RosterModel& roster, MultiSendHost& host, QWidget* parent = nullptr);

    // Shows the window, not modal, with `text` (the main window's input) and a fresh recipient list.
    void OpenMultiSend(const QString& text);
    // Takes the recipient list anew from the roster.
    void FillRecipients();
    // The roster's entries changed: the list shown follows their pictures and ignore marks.
    void UserListChange();
    bool HasCheckedRecipient() const;

    // The controls that take the attribute sets of the input box and of the user list.
    QWidget* messageBox() const;
    QWidget* recipientList() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    QToolButton* createButton(const char* objectName, const QString& caption);
    void createSelectMenu();
    void arrangeControls();
    void keepTextWithinLimit();

    void showRecipients();
    void takeCheckMarks();
    void setCheckMarks(const std::function<bool(bool)>& mark);
    void setSending(bool sending);

    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void SelectAll1Click();
    void DeselectAll1Click();
    void InvertSelection1Click();

    const RosterModel& m_roster;
    MultiSendHost& m_host;
    std::vector<Recipient> m_recipients;

    QPlainTextEdit* Memo1;
    QTreeWidget* UserList;
    QMenu* SelectMenu;
    QToolButton* SpeedButton1;
    QToolButton* SpeedButton2;
    QToolButton* SpeedButton3;
};

} // namespace kovrel
