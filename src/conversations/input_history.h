// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

namespace kovrel {

// The texts sent from the one-line input, most recent first, for its drop-down list. Lives for one run.
class InputHistory
{
public:
    static constexpr qsizetype kMaxEntryLength = 255;

    // Puts the text (cut to its first 255 characters) at the top; an equal entry moves there instead.
    void add(const QString& text);
    const QStringList& entries() const { return m_entries; }

private:
    QStringList m_entries;
};

} // namespace kovrel
