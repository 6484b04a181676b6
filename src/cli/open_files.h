// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <optional>

namespace kovrel {

// Every connection takes a descriptor, and the usual soft limit (1,024) is far below what thousands of
// them need: raises the soft limit of open files to the hard one (the administrator's, `ulimit -Hn` or
// LimitNOFILE). The limit then in force; nothing when it is unlimited or cannot be read.
std::optional<std::size_t> raiseOpenFileLimit();

} // namespace kovrel
