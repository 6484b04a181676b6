// SPDX-License-Identifier: GPL-3.0-or-later
#include "outbox.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

namespace kovrel::server::test {
namespace {

SharedBytes bytes(std::string text)
{
    return std::make_shared<const std::string>(std::move(text));
}

// Writes that take a random part of what is offered, while more is added between them: what comes out
// is exactly what went in, and the bytes handed to a write do not change until it reports back.
TEST(Outbox, PartialWritesAndAddsInBetweenKeepTheStreamIntact)
{
    std::mt19937 random(7);
    Outbox outbox;
    std::string added;
    std::string sent;
    int next = 0;
    const auto addSome = [&] {
        for (int i = std::uniform_int_distribution(0, 40)(random); i > 0; --i) {
            // Mostly short lines, now and then one too long to copy.
            const std::size_t size = std::uniform_int_distribution(0, 9)(random) == 0 ? 3000 : 60;
            std::string text(size, static_cast<char>('a' + next++ % 26));
            added += text;
            outbox.add(bytes(std::move(text)));
        }
    };
    for (int round = 0; round < 2000 || !outbox.empty(); ++round) {
        if (round < 2000) {
            addSome();
        }
        if (outbox.empty()) {
            continue;
        }
        const std::vector<asio::const_buffer> offered = outbox.nextWrite();
        ASSERT_LE(offered.size(), Outbox::kMaxBuffers);
        std::string snapshot;
        for (const asio::const_buffer& buffer : offered) {
            snapshot.append(static_cast<const char*>(buffer.data()), buffer.size());
        }
        if (round < 2000) {
            addSome(); // while the write is under way
        }
        std::string stillOffered;
        for (const asio::const_buffer& buffer : offered) {
            stillOffered.append(static_cast<const char*>(buffer.data()), buffer.size());
        }
        ASSERT_EQ(stillOffered, snapshot);
        const std::size_t taken = std::uniform_int_distribution<std::size_t>(1, snapshot.size())(random);
        sent += snapshot.substr(0, taken);
        outbox.written(taken);
        ASSERT_EQ(outbox.size(), added.size() - sent.size());
    }
    EXPECT_EQ(sent, added);
}

TEST(Outbox, ShortPiecesGoOutTogetherAndLongOnesByReference)
{
    Outbox outbox;
    for (int i = 0; i < 100; ++i) {
        outbox.add(bytes("AddUser|someone"));
    }
    const SharedBytes list = bytes(std::string(Outbox::kCopyLimit + 1, 'x'));
    outbox.add(list);
    const std::vector<asio::const_buffer>& write = outbox.nextWrite();
    ASSERT_EQ(write.size(), 2u);
    EXPECT_EQ(write[0].size(), 100 * std::string("AddUser|someone").size());
    EXPECT_EQ(write[1].data(), list->data());
}

} // namespace
} // namespace kovrel::server::test
