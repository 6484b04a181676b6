#pragma once

#include <QString>

#include <algorithm>
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
};

// The users present on the server, in the order they first arrived. Nicks are matched exactly, except
// when a user (re)arrives, which reuses an entry whose nick differs only in letter case.
class Roster
{
public:
    // Adds the nick, or reuses and renames its entry: state and incoming mark are reset, the ignore mark
    // is kept. Returns the entry's position.
    std::size_t addOrReuse(const QString& nick);
    // Removes the entry with exactly this nick; returns where it was.
    std::optional<std::size_t> remove(const QString& nick);
    void clear() { m_entries.clear(); }

    std::optional<std::size_t> find(const QString& nick) const;
    std::optional<std::size_t> findIgnoringCase(const QString& nick) const;
    bool isIgnored(const QString& nick) const;

    std::size_t size() const { return m_entries.size(); }
    const RosterEntry& at(std::size_t index) const { return m_entries.at(index); }
    RosterEntry& at(std::size_t index) { return m_entries.at(index); }
    int pictureIndex(std::size_t index, const QString& ownNick) const;

private:
    template <typename Match> std::optional<std::size_t> findWhere(Match match) const
    {
        const auto found = std::find_if(m_entries.begin(), m_entries.end(), match);
        if (found == m_entries.end()) {
            return std::nullopt;
        }
        return static_cast<std::size_t>(found - m_entries.begin());
    }

    std::vector<RosterEntry> m_entries;
};

} // namespace kovrel
