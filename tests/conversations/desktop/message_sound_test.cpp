// SPDX-License-Identifier: GPL-3.0-or-later
#include "message_sound.h"

#include <gtest/gtest.h>

#include <QFileInfo>

namespace {

using kovrel::MessageSound;

TEST(MessageSoundTest, WithoutAnAudioDeviceItBeepsEveryTime)
{
    if (QFileInfo::exists(QStringLiteral("/dev/snd")))
        GTEST_SKIP() << "this machine has sound devices";
    MessageSound sound;
    EXPECT_EQ(sound.play(), MessageSound::Outcome::Beeped);
    EXPECT_EQ(sound.play(), MessageSound::Outcome::Beeped);
}

TEST(MessageSoundTest, WithAnAudioDriverThatDoesNotExistItBeeps)
{
    // libcanberra's own choice of driver, read when the context is created.
    qputenv("CANBERRA_DRIVER", "kovrel-no-such-driver");
    MessageSound sound;
    const MessageSound::Outcome outcome = sound.play();
    qunsetenv("CANBERRA_DRIVER");
    EXPECT_EQ(outcome, MessageSound::Outcome::Beeped);
}

} // namespace
