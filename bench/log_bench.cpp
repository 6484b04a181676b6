// SPDX-License-Identifier: GPL-3.0-or-later
// Saving and loading a conversation log of 100,000 chat lines from and onto a real conversation page
// (offscreen): the page's text with its attributes to an RTF file, and the file back onto a page.

#include "conversation_log.h"
#include "conversation_view.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>

namespace {

constexpr int kLines = 100000;

// A page as a long chat leaves it: time, speaker in a style of his own, the message.
void fillPage(kovrel::ConversationView& page)
{
    kovrel::TextStyle speaker;
    speaker.name = QStringLiteral("DejaVu Sans");
    speaker.color = 0x0000c0;
    speaker.height = -13;
    speaker.bold = true;
    for (int line = 0; line < kLines; ++line) {
        page.addLine({std::nullopt,
                      QStringLiteral("(12:%1:%2) Петя: сообщение номер %3, немного текста для длины")
                          .arg(line / 60 % 60, 2, 10, QLatin1Char('0'))
                          .arg(line % 60, 2, 10, QLatin1Char('0'))
                          .arg(line),
                      line % 2 == 0 ? std::optional(speaker) : std::nullopt, true});
    }
    page.flushPending();
}

void SaveLog(benchmark::State& state)
{
    kovrel::ConversationView page;
    fillPage(page);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("log.rtf"));
    for (auto _ : state) {
        kovrel::SaveLog(*page.document(), path);
    }
}

void LoadLog(benchmark::State& state)
{
    kovrel::ConversationView page;
    fillPage(page);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("log.rtf"));
    kovrel::SaveLog(*page.document(), path);
    kovrel::ConversationView loaded;
    loaded.resize(600, 400);
    loaded.show();
    for (auto _ : state) {
        kovrel::LoadLog(path, &loaded);
        QCoreApplication::processEvents();
        loaded.repaint();
    }
}

BENCHMARK(SaveLog)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(LoadLog)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
