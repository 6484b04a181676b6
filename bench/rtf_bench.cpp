// SPDX-License-Identifier: GPL-3.0-or-later
// Saving and loading a conversation page of 100,000 lines as RTF: each line a chat message of about 60
// characters, mostly Cyrillic, in three runs (time, nick, text) of different attributes, as the client has
// them. The client's whole save or load should take about a second; the library's share is measured here.

#include "rtf_document.h"

#include <benchmark/benchmark.h>

#include <QString>

namespace {

using kovrel::rtf::Attributes;
using kovrel::rtf::Document;
using kovrel::rtf::Line;
using kovrel::rtf::Run;

constexpr int kLines = 100'000;

Attributes attributes(quint32 rgb, bool bold)
{
    Attributes result;
    result.face = QStringLiteral("Tahoma");
    result.charset = 204;
    result.rgb = rgb;
    result.bold = bold;
    return result;
}

Document chatLog()
{
    const Attributes time = attributes(0x808080, false);
    const Attributes nicks[] = {attributes(0x0000C0, true), attributes(0x008000, true)};
    const Attributes text = attributes(0x000000, false);
    const QString names[] = {QStringLiteral("Петя"), QStringLiteral("Вася")};
    const QString messages[] = {QStringLiteral("привет всем, кто сегодня идёт обедать в столовую?"),
                                QStringLiteral("я пойду через десять минут, подождите меня у входа"),
                                QStringLiteral("ok, встречаемся внизу — и возьмите зонт {дождь}")};
    Document document;
    document.lines.reserve(kLines);
    for (int i = 0; i < kLines; ++i) {
        const QString stamp = QStringLiteral("(12:%1:%2) ")
                                  .arg(i / 60 % 60, 2, 10, QChar(u'0'))
                                  .arg(i % 60, 2, 10, QChar(u'0'));
        document.lines.push_back(
            Line{{Run{stamp, time}, Run{names[i % 2] + QStringLiteral(": "), nicks[i % 2]},
                  Run{messages[i % 3], text}}});
    }
    return document;
}

void WriteChatLog(benchmark::State& state)
{
    const Document document = chatLog();
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string rtf = kovrel::rtf::WriteRtf(document);
        bytes = rtf.size();
        benchmark::DoNotOptimize(rtf.data());
    }
    state.counters["file_MiB"] = static_cast<double>(bytes) / (1 << 20);
    state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK(WriteChatLog)->Unit(benchmark::kMillisecond);

void ReadChatLog(benchmark::State& state)
{
    const std::string rtf = kovrel::rtf::WriteRtf(chatLog());
    for (auto _ : state) {
        const Document document = kovrel::rtf::ReadDocument(rtf);
        benchmark::DoNotOptimize(document.lines.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(rtf.size()));
    state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK(ReadChatLog)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
