// SPDX-License-Identifier: GPL-3.0-or-later
#include "personal_card.h"

namespace kovrel {

std::optional<int> FieldHoldingSeparator(const PersonalCard& card)
{
    for (int field = 0; field < PersonalCard::kDescription; ++field) {
        if (card.fields[static_cast<std::size_t>(field)].contains(QLatin1Char('|'))) {
            return field;
        }
    }
    return std::nullopt;
}

} // namespace kovrel
