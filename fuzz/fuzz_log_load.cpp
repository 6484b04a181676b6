// SPDX-License-Identifier: GPL-3.0-or-later
// The log loader: any file, loaded as a saved conversation log onto a conversation page (offscreen) as the
// page menu's "Загрузить лог" does, shows without a crash; what the page then shows is saved as a log and
// loads back to the same text.
//
// Input: the file.

#include "conversation_log.h"
#include "conversation_view.h"
#include "fontconfig_leak.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

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
    Environment() : application(argc, argv) { check(folder.isValid(), "no temporary folder"); }

    int argc = 1;
    char name[16] = "fuzz_log_load";
    char* argv[2] = {name, nullptr};
    QApplication application;
    QTemporaryDir folder;
    const QString loaded = folder.filePath(QStringLiteral("loaded.rtf"));
    const QString saved = folder.filePath(QStringLiteral("saved.rtf"));
    kovrel::ConversationView page;
    kovrel::ConversationView reloaded;
};

void writeFile(const QString& path, const std::uint8_t* data, std::size_t size)
{
    QFile file(path);
    check(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "cannot write the input file");
    check(file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) ==
              static_cast<qint64>(size),
          "cannot write the input file");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Environment environment;
    writeFile(environment.loaded, data, size);
    kovrel::LoadLog(environment.loaded, &environment.page);
    kovrel::SaveLog(*environment.page.document(), environment.saved);
    kovrel::LoadLog(environment.saved, &environment.reloaded);
    check(environment.reloaded.toPlainText() == environment.page.toPlainText(),
          "a loaded log saved again loads back to another text");
    return 0;
}
