#include "roster.h"

#include <algorithm>

namespace kovrel {

int StatePictureIndex(const QString& nick, int code, bool incoming, const QString& ownNick)
{
    const int mark = incoming ? 1 : 0;
    if (code == OnLine) {
        return (nick == ownNick ? 2 : 0) + mark;
    }
    if (code < OnLine || code > Busy) {
        code = OffLine;
    }
    return 2 * code + 2 + mark;
}

std::size_t Roster::addOrReuse(const QString& nick)
{
    const std::optional<std::size_t> existing = findIgnoringCase(nick);
    const std::size_t index = existing.value_or(m_entries.size());
    if (!existing) {
        m_entries.emplace_back();
    }
    RosterEntry& entry = m_entries[index];
    entry.nick = nick;
    entry.state = OnLine;
    entry.incoming = false;
    return index;
}

std::optional<std::size_t> Roster::remove(const QString& nick)
{
    const std::optional<std::size_t> index = find(nick);
    if (index) {
        m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(*index));
    }
    return index;
}

std::optional<std::size_t> Roster::find(const QString& nick) const
{
    return findWhere([&](const RosterEntry& entry) { return entry.nick == nick; });
}

std::optional<std::size_t> Roster::findIgnoringCase(const QString& nick) const
{
    return findWhere(
        [&](const RosterEntry& entry) { return entry.nick.compare(nick, Qt::CaseInsensitive) == 0; });
}

bool Roster::isIgnored(const QString& nick) const
{
    const std::optional<std::size_t> index = find(nick);
    return index && m_entries[*index].ignored;
}

int Roster::pictureIndex(std::size_t index, const QString& ownNick) const
{
    const RosterEntry& entry = m_entries.at(index);
    return StatePictureIndex(entry.nick, entry.state, entry.incoming, ownNick);
}

} // namespace kovrel
