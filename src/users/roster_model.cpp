// SPDX-License-Identifier: GPL-3.0-or-later
#include "roster_model.h"

#include <algorithm>
#include <utility>

namespace kovrel {

namespace {

std::optional<int> findNick(const std::vector<RosterEntry>& entries, const QString& nick,
                            Qt::CaseSensitivity cs)
{
    const auto found = std::find_if(entries.begin(), entries.end(), [&](const RosterEntry& entry) {
        return entry.nick.compare(nick, cs) == 0;
    });
    if (found == entries.end()) {
        return std::nullopt;
    }
    return static_cast<int>(found - entries.begin());
}

} // namespace

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

int RosterModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : size();
}

QVariant RosterModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    const RosterEntry& shown = at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return shown.nick;
    case Qt::ToolTipRole:
        return m_online ? shown.nick : shown.nick + QStringLiteral(" (нет связи с сервером)");
    case Qt::CheckStateRole:
        return shown.ignored ? Qt::Checked : Qt::Unchecked;
    case PictureRole:
        return pictureIndex(index.row());
    case StateRole:
        return shown.state;
    case LastUnseenLineRole:
        return shown.lastUnseenLine;
    default:
        return {};
    }
}

bool RosterModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::CheckStateRole ||
        !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return false;
    }
    setIgnored(index.row(), value.value<Qt::CheckState>() == Qt::Checked);
    return true;
}

Qt::ItemFlags RosterModel::flags(const QModelIndex& index) const
{
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    const Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemNeverHasChildren;
    return m_online ? flags | Qt::ItemIsEnabled : flags;
}

QVariant RosterModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (section == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole) {
        return QStringLiteral("Чатовцы");
    }
    return {};
}

void RosterModel::setOwnNick(const QString& nick)
{
    if (nick == m_ownNick) {
        return;
    }
    m_ownNick = nick;
    // Which row shows the own pictures may have changed.
    if (!m_entries.empty()) {
        emit dataChanged(index(0), index(size() - 1), {PictureRole});
    }
}

int RosterModel::addOrReuse(const QString& nick)
{
    const std::optional<int> existing = findIgnoringCase(nick);
    if (!existing) {
        beginInsertRows({}, size(), size());
        m_entries.push_back(RosterEntry{nick, OnLine, false, false, QString()});
        endInsertRows();
        emit entryAdded(size() - 1);
        return size() - 1;
    }
    const int row = *existing;
    RosterEntry& reused = entry(row);
    reused.nick = nick;
    reused.state = OnLine;
    reused.incoming = false;
    reused.lastUnseenLine.clear();
    rowChanged(row);
    emit entryAdded(row);
    return row;
}

bool RosterModel::remove(const QString& nick)
{
    const std::optional<int> row = find(nick);
    if (!row) {
        return false;
    }
    beginRemoveRows({}, *row, *row);
    m_entries.erase(m_entries.begin() + *row);
    endRemoveRows();
    return true;
}

void RosterModel::setOnline(bool online)
{
    if (std::exchange(m_online, online) != online && !m_entries.empty()) {
        emit dataChanged(index(0), index(size() - 1));
    }
}

void RosterModel::clear()
{
    beginResetModel();
    m_entries.clear();
    endResetModel();
}

std::optional<int> RosterModel::find(const QString& nick) const
{
    return findNick(m_entries, nick, Qt::CaseSensitive);
}

std::optional<int> RosterModel::findIgnoringCase(const QString& nick) const
{
    return findNick(m_entries, nick, Qt::CaseInsensitive);
}

bool RosterModel::isIgnored(const QString& nick) const
{
    const std::optional<int> row = find(nick);
    return row && at(*row).ignored;
}

int RosterModel::pictureIndex(int row) const
{
    const RosterEntry& shown = at(row);
    return StatePictureIndex(shown.nick, shown.state, shown.incoming, m_ownNick);
}

void RosterModel::setState(int row, int code)
{
    entry(row).state = code;
    rowChanged(row);
}

void RosterModel::setIncoming(int row, bool mark)
{
    if (std::exchange(entry(row).incoming, mark) != mark) {
        rowChanged(row);
    }
}

void RosterModel::markUnseenLine(int row, const QString& line)
{
    RosterEntry& marked = entry(row);
    marked.incoming = true;
    marked.lastUnseenLine = line;
    rowChanged(row);
}

void RosterModel::setIgnored(int row, bool ignored)
{
    if (std::exchange(entry(row).ignored, ignored) != ignored) {
        rowChanged(row);
    }
}

void RosterModel::rowChanged(int row)
{
    emit dataChanged(index(row), index(row));
}

} // namespace kovrel
