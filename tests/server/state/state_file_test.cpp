// SPDX-License-Identifier: GPL-3.0-or-later
#include "state_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace kovrel::server {
namespace {

namespace fs = std::filesystem;

std::string everyByte()
{
    std::string text;
    for (int c = 1; c < 256; ++c) {
        text += static_cast<char>(c);
    }
    return text;
}

class StateFileTest : public ::testing::Test
{
protected:
    StateFileTest()
        : directory(fs::temp_directory_path() / ("kovrel-state-test-" + std::to_string(::getpid())))
    {
        fs::create_directories(directory);
    }
    ~StateFileTest() override { fs::remove_all(directory); }

    void write(const std::string& text) { std::ofstream(file, std::ios::binary) << text; }

    fs::path directory;
    fs::path file = directory / "state";
};

TEST_F(StateFileTest, KeepsEveryByteOfTopicAndCards)
{
    const KeptState state{"topic\r\nwith | lines", {{"Vasya", everyByte()}, {"Petya", ""}, {"x", "a\nb"}}};
    write(serializeKeptState(state));
    EXPECT_EQ(loadKeptState(file), state);
}

TEST_F(StateFileTest, AMissingFileIsAnEmptyState)
{
    EXPECT_EQ(loadKeptState(file), KeptState{});
}

TEST_F(StateFileTest, RejectsDamagedFiles)
{
    const std::string good = serializeKeptState({"topic", {{"nick", "fields"}}});
    for (const std::string& damaged :
         {std::string("not a state file\n"), good.substr(0, good.size() - 1), good.substr(0, good.size() - 4),
          good + "card 1 x\nab\n", good + "note 1\nx\n", good + "card 2 2\nabc\n", good + "topic -1\n\n"}) {
        EXPECT_THROW(parseKeptState(damaged), StateFileError) << damaged;
    }
    write("kovrel-state 1\ntopic 99\nshort\n");
    EXPECT_THROW(loadKeptState(file), StateFileError);
}

} // namespace
} // namespace kovrel::server
