// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

struct ca_context;

namespace kovrel {

// The desktop's sound for a new instant message, from the sound theme through libcanberra, which plays it
// without blocking the caller. Where no event sound can be played (no sound theme, no audio device), the
// system beep stands in.
class MessageSound
{
public:
    enum class Outcome
    {
        Played,
        Beeped
    };

    MessageSound() = default;
    ~MessageSound();
    MessageSound(const MessageSound&) = delete;
    MessageSound& operator=(const MessageSound&) = delete;

    // Needs a QApplication for the beep.
    Outcome play();

private:
    bool playEventSound();

    ca_context* m_context = nullptr;
};

} // namespace kovrel
