// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "roster_model.h"

#include <QString>

#include <optional>
#include <vector>

namespace kovrel {

// One entry of the recipient list of a multi-recipient send.
struct Recipient
{
    QString nick;
    int picture = 0; // index into the state pictures
    bool checked = false;
};

// The recipients a multi-recipient send offers: every present user but oneself and the ignored ones, in
// roster order, with only the partner of the private page shown (none: the common page) checked. Nicks
// are found the way the list control finds a caption: the first entry whose whole nick matches in any
// letter case.
std::vector<Recipient> FillRecipients(const RosterModel& roster, const std::optional<QString>& shownPartner);

// The list brought up to date after a change of the roster's entries: pictures follow, entries whose user
// is now ignored go, and everything else stays as the user left it, check marks included. Arrivals and
// departures are not followed: the list is the snapshot taken when the window opened.
void RefreshRecipients(std::vector<Recipient>& recipients, const RosterModel& roster);

} // namespace kovrel
