// SPDX-License-Identifier: GPL-3.0-or-later
#include "input_history.h"

namespace kovrel {

void InputHistory::add(const QString& text)
{
    const QString entry = text.left(kMaxEntryLength);
    m_entries.removeOne(entry);
    m_entries.prepend(entry);
}

} // namespace kovrel
