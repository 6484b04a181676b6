// SPDX-License-Identifier: GPL-3.0-or-later
// Cost of the typed settings reads the client makes for every chat line it shows, on a settings file of
// realistic size: unchanged between reads (the common case), and changed before every read.

#include "settings_file.h"
#include "settings_layout.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <QFile>
#include <QString>
#include <QTemporaryDir>

namespace {

using namespace Qt::Literals::StringLiterals;

kovrel::SettingsKey& keyOf(kovrel::SettingsTree& tree, const QString& below)
{
    return tree.ensureKey(u"HKEY_CURRENT_USER\\Software\\Kovrel\\"_s + below);
}

void text(kovrel::SettingsKey& key, const QString& name, const QString& data)
{
    key.setValue({name, data, true});
}

// What a client used for a while leaves: the connection, the options, the windows, the personal card,
// 40 macros, a floating window for each of 80 users met, the state pictures and the five attribute sets.
// About 450 values in 110 keys.
QByteArray realisticSettings()
{
    kovrel::SettingsTree tree;
    kovrel::SettingsKey& client = keyOf(tree, u"Client"_s);
    for (const auto& [name, data] : {std::pair{u"Host"_s, u"chat.example.org"_s},
                                     {u"Nick"_s, u"Вася"_s},
                                     {u"AnotherNick"_s, u"Петя"_s},
                                     {u"Address"_s, u"10.0.0.1"_s},
                                     {u"Port"_s, u"4040"_s},
                                     {u"FirstTime"_s, u"0"_s},
                                     {u"MsgOnConnect"_s, u"Всем привет"_s},
                                     {u"MsgOnDisconnect"_s, u"Пока"_s}})
        text(client, name, data);
    kovrel::SettingsKey& config = keyOf(tree, u"Client\\Config"_s);
    for (const QString& name : {u"ListButton"_s, u"ShowCaption"_s, u"FromUpToDown"_s, u"MsgEditor"_s,
                                u"StartOnRun"_s, u"ShowTime"_s, u"BeepOnPublic"_s, u"BeepOnPrivate"_s})
        text(config, name, u"1"_s);
    text(config, u"ToolsAlign"_s, u"1"_s);
    kovrel::SettingsKey& mainForm = keyOf(tree, u"Client\\MainForm"_s);
    for (const QString& name : {u"Left"_s, u"Top"_s, u"Width"_s, u"Height"_s, u"Splitter.Left"_s,
                                u"Splitter.Top"_s, u"Minimized"_s})
        text(mainForm, name, u"120"_s);
    kovrel::SettingsKey& info = keyOf(tree, u"Client\\Info"_s);
    for (const QString& name :
         {u"First Name"_s, u"Last Name"_s, u"Country"_s, u"City"_s, u"Address"_s, u"Phone Home"_s,
          u"Phone Work"_s, u"E-mail"_s, u"Home Page"_s, u"ICQ#"_s, u"Description"_s})
        text(info, name, u"N/A"_s);
    kovrel::SettingsKey& macros = keyOf(tree, u"Client\\Macros"_s);
    for (int i = 0; i < 40; ++i)
        text(macros, u"Ctrl+Shift+F%1"_s.arg(i), u"Текст макроса номер %1, довольно длинный"_s.arg(i));
    for (int i = 0; i < 80; ++i) {
        kovrel::SettingsKey& user = keyOf(tree, u"Client\\Float\\Собеседник %1"_s.arg(i));
        text(user, u"Left"_s, QString::number(100 + i));
        text(user, u"Top"_s, QString::number(200 + i));
        text(user, u"Closed"_s, u"1"_s);
    }
    for (const QString& row : {u"Current"_s, u"OnLine"_s, u"OffLine"_s, u"Away"_s, u"Busy"_s}) {
        kovrel::SettingsKey& state = keyOf(tree, u"Client\\States\\"_s + row);
        text(state, u"Картинка"_s, u"/home/user/pictures/"_s + row + u".ico"_s);
        text(state, u"Входящая картинка"_s, u"/home/user/pictures/in-"_s + row + u".ico"_s);
    }
    for (const QString& set : {u"Общий"_s, u"Приват"_s, u"Юзеры"_s, u"Ввод сообщений"_s, u"OutputAttr"_s}) {
        kovrel::SettingsKey& font = keyOf(tree, u"Client\\Font\\"_s + set);
        text(font, u"Name"_s, u"Tahoma"_s);
        for (const QString& name : {u"Charset"_s, u"Color"_s, u"Height"_s, u"Size"_s, u"Background Color"_s})
            text(font, name, u"-2147483643"_s);
        kovrel::SettingsKey& style = keyOf(tree, u"Client\\Font\\"_s + set + u"\\Style"_s);
        for (const QString& name : {u"Bold"_s, u"Italic"_s, u"Underline"_s, u"Strikeout"_s})
            text(style, name, u"0"_s);
    }
    return kovrel::serializeSettings(tree);
}

// Points $KOVREL_SETTINGS at a fresh file holding the realistic settings for its lifetime.
class SettingsFile
{
public:
    SettingsFile() : m_path(m_dir.filePath(u"settings.reg"_s))
    {
        QFile file(m_path);
        if (!file.open(QIODevice::WriteOnly) || file.write(realisticSettings()) < 0)
            qFatal("cannot write %s", qPrintable(m_path));
        file.close();
        qputenv("KOVREL_SETTINGS", QFile::encodeName(m_path));
    }
    ~SettingsFile() { qunsetenv("KOVREL_SETTINGS"); }

    // Gives the file a new modification time, as an edit by another program would, without new content.
    void touch()
    {
        ++m_touches;
        const timespec times[2] = {{0, UTIME_OMIT}, {1'000'000'000 + m_touches, 0}};
        if (::utimensat(AT_FDCWD, QFile::encodeName(m_path).constData(), times, 0) != 0)
            qFatal("cannot touch %s", qPrintable(m_path));
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
    long m_touches = 0;
};

void ReadShowTimeUnchanged(benchmark::State& state)
{
    SettingsFile file;
    for (auto _ : state)
        benchmark::DoNotOptimize(kovrel::ReadConfigFlag(kovrel::ConfigFlag::ShowTime));
}
BENCHMARK(ReadShowTimeUnchanged);

void ReadShowTimeAfterAChange(benchmark::State& state)
{
    SettingsFile file;
    for (auto _ : state) {
        file.touch();
        benchmark::DoNotOptimize(kovrel::ReadConfigFlag(kovrel::ConfigFlag::ShowTime));
    }
}
BENCHMARK(ReadShowTimeAfterAChange);

} // namespace

BENCHMARK_MAIN();
