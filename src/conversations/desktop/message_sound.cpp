// SPDX-License-Identifier: GPL-3.0-or-later
#include "message_sound.h"

#include <QApplication>

#include <canberra.h>

namespace kovrel {

namespace {

// Created on the first sound, so that a user who never hears one never opens the audio system.
ca_context* createContext()
{
    ca_context* context = nullptr;
    if (ca_context_create(&context) != CA_SUCCESS)
        return nullptr;
    ca_context_change_props(context, CA_PROP_APPLICATION_NAME, "Kovrel", nullptr);
    return context;
}

} // namespace

MessageSound::~MessageSound()
{
    if (m_context)
        ca_context_destroy(m_context);
}

MessageSound::Outcome MessageSound::play()
{
    if (playEventSound())
        return Outcome::Played;
    QApplication::beep();
    return Outcome::Beeped;
}

bool MessageSound::playEventSound()
{
    if (!m_context)
        m_context = createContext();
    return m_context && ca_context_play(m_context, 0, CA_PROP_EVENT_ID, "message-new-instant",
                                        CA_PROP_EVENT_DESCRIPTION, "Новое сообщение", nullptr) == CA_SUCCESS;
}

} // namespace kovrel
