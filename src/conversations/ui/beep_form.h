// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include <functional>
#include <optional>

class QAction;
class QActionGroup;
class QMenu;
class QToolButton;

namespace kovrel {

// The notification window ("Чат"): a tiny always-on-top window that is nothing but one button, shown while
// the program is minimised with a sound option on. The button flashes with the tray icon; a left click
// brings the program back, the right button opens a menu to acknowledge the last message or to change the
// user's state. Its place is kept in the settings (section "BeepForm").
class TBeepForm : public QWidget
{
    Q_OBJECT

public:
    // At most this many characters of the last message name the "Прочел" item.
    static constexpr int kMenuTextLength = 50;

    explicit TBeepForm(QWidget* parent = nullptr);
    ~TBeepForm() override;

    // The whole message is the window's hint; its first characters name the item under "Прочел".
    void ShowLastMessage(const QString& text);
    // Phase 0 or 1 of the flash.
    void setFlashPhase(int phase);
    // Where the state menu reads the user's own state when it opens (none: no own entry, marks stay).
    void setOwnState(std::function<std::optional<int>()> ownState) { m_ownState = std::move(ownState); }

signals:
    void showRequested();
    void readRequested();
    void stateRequested(int code);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createMenu();
    void restorePlace();
    void PopupMenu1Popup();
    void keepInsideScreen();

    QToolButton* SpeedButton1;
    QMenu* PopupMenu1;
    QAction* N3;
    QActionGroup* m_states;
    std::function<std::optional<int>()> m_ownState;
};

} // namespace kovrel
