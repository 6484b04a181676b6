// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <array>
#include <optional>

namespace kovrel {

// A personal card: the nick it travels under and its eleven fields, in the order they travel: first name,
// last name, country, city, address, home phone, work phone, e-mail, home page, ICQ number, description.
struct PersonalCard
{
    static constexpr int kFieldCount = 11;
    static constexpr int kEmail = 7;
    static constexpr int kHomePage = 8;
    static constexpr int kDescription = 10;

    QString nick;
    std::array<QString, kFieldCount> fields;

    friend bool operator==(const PersonalCard&, const PersonalCard&) = default;
};

// The first field before the description that holds "|": on the wire it would shift every later field by
// one place for whoever reads the card. The description, which travels last, may hold it.
std::optional<int> FieldHoldingSeparator(const PersonalCard& card);

} // namespace kovrel
