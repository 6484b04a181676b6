// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QToolBar>

class QLabel;
class QMenu;
class QToolButton;

namespace kovrel {

// The tool bar ("ToolBar1"): log-in, send, clear page, close page, log and configuration, and at its far
// end a padlock while the connection is encrypted.
class MainToolBar : public QToolBar
{
    Q_OBJECT

public:
    explicit MainToolBar(QWidget* parent = nullptr);

    // "Вход", "выход", "вход" or "Connect"; the picture tells online from offline.
    void setLoginCaption(const QString& caption);
    // Shows the padlock, its tool tip naming `details`, or hides it.
    void setEncryption(bool encrypted, const QString& details);
    // Captions beside the pictures (list style) or under them, or no captions at all.
    void applyCaptionStyle(bool listStyle, bool showCaptions);
    // The length (width across, height down the side) the bar needs to show every button without its
    // extension button, with the captions and fonts in use.
    int lengthShowingAllButtons() const;

    // The send button's menu opens with the right button; the log and configuration buttons drop theirs.
    void setSendMenu(QMenu* menu);
    void setLogMenu(QMenu* menu);
    void setConfigurationMenu(QMenu* menu);

signals:
    void loginClicked();
    void sendClicked();
    void clearClicked();
    void closeClicked();

private:
    QToolButton* addButton(const char* name, const QString& caption, const QString& hint, int image);
    void keepRoomForLoginCaptions();
    void addEncryptionLock();

    QToolButton* ToolButton1;
    QToolButton* ToolButton2;
    QToolButton* ToolButton3;
    QToolButton* ToolButton4;
    QToolButton* ToolButton5;
    QToolButton* ToolButton6;
    QLabel* EncryptionLock;
    QAction* m_lockAction;
};

} // namespace kovrel
