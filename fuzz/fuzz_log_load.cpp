// SPDX-License-Identifier: GPL-3.0-or-later
// The log loader: any file, loaded as a saved conversation log onto a conversation page (offscreen) as the
// page menu's "Загрузить лог" does, shows without a crash; what the page then shows is saved as a log and
// loads back to the same text.
//
// Input: the file.

#include "conversation_log.h"
#include "conversation_view.h"
#include "fontconfig_leak.h"
#include "harness_arguments.h"
#include "input_file.h"

#include <QApplication>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void check(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "fuzz_log_load: %s\n", what);
        std::abort();
    }
}

struct Environment
{
    kovrel::fuzz::HarnessArguments arguments{"fuzz_log_load"};
    QApplication application{arguments.argc, arguments.argv};
    kovrel::fuzz::InputFolder files;
    const QString saved = files.path(QStringLiteral("saved.rtf"));
    kovrel::ConversationView page;
    kovrel::ConversationView reloaded;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Environment environment;
    kovrel::LoadLog(environment.files.write(QStringLiteral("loaded.rtf"), data, size), &environment.page);
    kovrel::SaveLog(*environment.page.document(), environment.saved);
    kovrel::LoadLog(environment.saved, &environment.reloaded);
    check(environment.reloaded.toPlainText() == environment.page.toPlainText(),
          "a loaded log saved again loads back to another text");
    return 0;
}
