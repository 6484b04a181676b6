// SPDX-License-Identifier: GPL-3.0-or-later
#include "recipients.h"

#include <algorithm>

namespace kovrel {

namespace {

std::vector<Recipient>::iterator findRecipient(std::vector<Recipient>& recipients, const QString& nick)
{
    return std::ranges::find_if(recipients, [&](const Recipient& entry) {
        return entry.nick.compare(nick, Qt::CaseInsensitive) == 0;
    });
}

bool isIgnoredInRoster(const RosterModel& roster, const QString& nick)
{
    // The roster row a list caption stands for: the first whose nick matches in any letter case.
    const std::optional<int> row = roster.findIgnoringCase(nick);
    return row && roster.at(*row).ignored;
}

void removeIgnored(std::vector<Recipient>& recipients, const RosterModel& roster)
{
    std::erase_if(recipients, [&](const Recipient& entry) { return isIgnoredInRoster(roster, entry.nick); });
}

} // namespace

std::vector<Recipient> FillRecipients(const RosterModel& roster, const std::optional<QString>& shownPartner)
{
    std::vector<Recipient> recipients;
    for (int row = 0; row < roster.size(); ++row) {
        recipients.push_back({roster.at(row).nick, roster.pictureIndex(row), false});
    }
    if (const auto own = findRecipient(recipients, roster.ownNick()); own != recipients.end()) {
        recipients.erase(own);
    }
    removeIgnored(recipients, roster);
    if (shownPartner) {
        if (const auto partner = findRecipient(recipients, *shownPartner); partner != recipients.end()) {
            partner->checked = true;
        }
    }
    return recipients;
}

void RefreshRecipients(std::vector<Recipient>& recipients, const RosterModel& roster)
{
    removeIgnored(recipients, roster);
    for (Recipient& entry : recipients) {
        if (const std::optional<int> row = roster.findIgnoringCase(entry.nick)) {
            entry.picture = roster.pictureIndex(*row);
        }
    }
}

} // namespace kovrel
