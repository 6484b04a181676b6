// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file parser: any file is a tree or a SettingsParseError naming a line, and a parsed tree
// written out parses back to the same tree, written out to the same bytes.

#include "settings_file.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

using kovrel::SettingsKey;
using kovrel::SettingsTree;

void check(bool holds)
{
    if (!holds) {
        std::abort();
    }
}

bool sameKeys(const SettingsTree& a, const SettingsTree& b)
{
    return std::equal(
        a.keys().begin(), a.keys().end(), b.keys().begin(), b.keys().end(),
        [](const SettingsKey& x, const SettingsKey& y) { return x.path == y.path && x.values == y.values; });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    SettingsTree tree;
    try {
        tree = kovrel::parseSettings(QByteArrayView(data, static_cast<qsizetype>(size)));
    } catch (const kovrel::SettingsParseError& error) {
        // A clear error names a line of the file and says what is wrong with it.
        check(error.line() >= 1 && !error.reason().isEmpty());
        return 0;
    }
    const QByteArray written = kovrel::serializeSettings(tree);
    const SettingsTree reread = kovrel::parseSettings(written);
    check(sameKeys(tree, reread));
    check(kovrel::serializeSettings(reread) == written);
    return 0;
}
