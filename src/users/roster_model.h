// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractListModel>
#include <QString>

#include <optional>
#include <vector>

namespace kovrel {

// User state codes, as they travel in "StateUser".
enum UserState
{
    OnLine = 0,
    OffLine = 1,
    Away = 2,
    Busy = 3,
};

// Index into the ten state pictures: 0/1 somebody on line, 2/3 the own entry on line, 4/5 unavailable,
// 6/7 away, 8/9 busy; the odd one of each pair carries the incoming mark. Codes outside 0..3 show as
// unavailable.
int StatePictureIndex(const QString& nick, int code, bool incoming, const QString& ownNick);

// One present user.
struct RosterEntry
{
    QString nick;
    int state = OnLine;
    bool incoming = false;
    bool ignored = false;
    // The last line that arrived in the entry's conversation while it was out of view: sender, ": ", text.
    QString lastUnseenLine;
};

// The users present on the server, in the order they first arrived, as the one list the user list
// shows. Nicks are matched exactly, except when a user (re)arrives, which reuses an entry whose nick
// differs only in letter case. The check box of a row is the user's ignore mark; its picture index follows
// the state, the incoming mark and whether the row is the own entry (the one named by the own nick).
class RosterModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role
    {
        PictureRole = Qt::UserRole + 1, // int: index into the state pictures
        StateRole,                      // int: the user state code
        LastUnseenLineRole,             // QString: RosterEntry::lastUnseenLine
    };

    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void setOwnNick(const QString& nick);
    const QString& ownNick() const { return m_ownNick; }

    // Adds the nick, or reuses and renames its entry: state, incoming mark and last unseen line are reset,
    // the ignore mark is kept. Returns the entry's row; entryAdded() tells of it either way.
    int addOrReuse(const QString& nick);
    // Removes the entry with exactly this nick; false when there is none.
    bool remove(const QString& nick);
    void clear();

    std::optional<int> find(const QString& nick) const;
    // The entry whose nick differs from `nick` at most in letter case.
    std::optional<int> findIgnoringCase(const QString& nick) const;
    std::optional<int> findOwnEntry() const { return find(m_ownNick); }
    bool isIgnored(const QString& nick) const;
    int size() const { return static_cast<int>(m_entries.size()); }
    const RosterEntry& at(int row) const { return m_entries.at(static_cast<std::size_t>(row)); }
    int pictureIndex(int row) const;

    void setState(int row, int code);
    void setIncoming(int row, bool mark);
    // A line arrived in the entry's conversation unseen: the incoming mark is set and the line kept.
    void markUnseenLine(int row, const QString& line);
    void setIgnored(int row, bool ignored);
    // Offline, the entries are what the server listed before the connection ended: they are shown greyed
    // (not enabled) and say so in their tool tips until the next log-in lists the users again.
    void setOnline(bool online);
    bool isOnline() const { return m_online; }

signals:
    // A user arrived or was listed again: the entry at `row` starts afresh.
    void entryAdded(int row);

private:
    RosterEntry& entry(int row) { return m_entries.at(static_cast<std::size_t>(row)); }
    void rowChanged(int row);

    std::vector<RosterEntry> m_entries;
    QString m_ownNick;
    bool m_online = true;
};

} // namespace kovrel
