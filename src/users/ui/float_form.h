// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPoint>
#include <QWidget>

class QCheckBox;
class QLabel;
class QToolButton;

namespace kovrel {

class StateImageList;

// A user's floating window ("Плав. окно"): a small frameless strip that stays above all other windows and
// shows the user's ignore box, state picture and nick, and a close button. It is dragged from any point
// but its box and button; a double click asks for the user's conversation and the right button for the
// roster's menu. Closing only hides it and sets its closed mark, which showing it clears. While a modal
// dialog of the program blocks it, it gives up its place above the other windows, so that the dialog is
// not hidden under it.
class TFloatForm : public QWidget
{
    Q_OBJECT

public:
    explicit TFloatForm(const StateImageList& pictures);

    int PicturePosition() const { return m_picturePosition; }
    // Shows the picture at this position of the state pictures in use (again, when they changed).
    void SetPicturePosition(int position);
    QString Nick() const;
    // Shows the nick and moves the window to the position stored for it, where one is; a stored position
    // that lies off every screen now is brought back onto the nearest screen.
    void SetNick(const QString& nick);
    // Sets the ignore box without telling anybody: the value comes from the roster.
    void setIgnored(bool ignored);
    bool isIgnored() const;
    bool isClosedByUser() const { return m_closed; }
    // Stores the position and the closed mark under the nick. Raises SettingsError.
    void storePlacement() const;

signals:
    // The user changed the ignore box.
    void ignoreChanged(bool ignored);
    void conversationRequested();
    void menuRequested(const QPoint& globalPosition);

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    // Hands the drag under way to the window system; false where it cannot take it.
    virtual bool startSystemMove();

private:
    void createControls();
    void CheckBox1Click();
    void SpeedButton1Click();
    void moveToStoredPosition();

    const StateImageList& m_pictures;
    QCheckBox* CheckBox1;
    QLabel* Image1;
    QLabel* Label1;
    QToolButton* SpeedButton1;
    enum class Drag
    {
        None,
        Pressed,    // the left button is down; a move beyond the drag distance starts the drag
        Following,  // the window follows the mouse
        SystemMove, // the window system moves the window; the mouse moves are not ours
    };
    Drag m_drag = Drag::None;
    // Where the left button went down, in window coordinates.
    QPoint m_dragStart;
    int m_picturePosition = 0;
    bool m_closed = false;
    // Set while the roster sets the ignore box, so that the window does not write the value back.
    bool m_guard = false;
};

} // namespace kovrel
