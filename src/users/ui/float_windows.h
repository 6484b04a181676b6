// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

#include <map>
#include <memory>

class QAbstractItemView;

namespace kovrel {

class ChatClient;
class StateImageList;
class TFloatForm;

// The floating windows of the roster's users, one at most per entry, living as long as the entry: a
// window is destroyed when its entry goes, is emptied with the roster or starts afresh on a new arrival,
// and then stores its position and closed mark. An arriving user whose window was last destroyed open gets
// it again. The windows follow their entries' pictures, ignore marks and unseen lines.
class FloatWindows : public QObject
{
    Q_OBJECT

public:
    FloatWindows(ChatClient& client, const StateImageList& pictures, QAbstractItemView& roster);
    ~FloatWindows() override;

    // "Плав. окно": the entry's window, created when it has none, at the entry's row or where it was
    // stored, as wide as the roster and in its font and colours.
    void Float1Click(int row);
    // Every window stores itself and goes (the program ends).
    void closeAll();
    // The open or hidden window of the entry with this nick, or none.
    TFloatForm* windowOf(const QString& nick) const;

signals:
    // Asked for by a window, for the roster entry of its nick.
    void menuRequested(int row, const QPoint& globalPosition);
    void conversationRequested(int row);

private:
    static QString keyOf(const QString& nick) { return nick.toCaseFolded(); }
    void onEntryAdded(int row);
    void onRowsRemoved(int first, int last);
    void onEntriesChanged(int first, int last);
    void refreshPictures();
    void showEntry(TFloatForm& window, int row);
    void destroyWindow(const QString& nick);
    void connectWindow(TFloatForm& window);

    ChatClient& m_client;
    const StateImageList& m_pictures;
    QAbstractItemView& m_roster;
    std::map<QString, std::unique_ptr<TFloatForm>> m_windows;
};

} // namespace kovrel
