// SPDX-License-Identifier: GPL-3.0-or-later
// A second process for the settings store tests, driven by its arguments and its standard input:
//   loop                  writes Counter, then Payload, in the section "Crash" round after round for ever,
//                         printing the number of each finished round
//   fill <prefix> <count> waits for one input line, then writes <prefix>0 … as numbers in the section "Fill"
//   serve                 answers "get<TAB>section<TAB>name" with the text (or "<absent>") and
//                         "set<TAB>section<TAB>name<TAB>text" with "ok"

#include <iostream>
#include <string>

#include <QString>
#include <QStringList>

#include "settings_store.h"

namespace {

using kovrel::SettingsStore;
using namespace Qt::Literals::StringLiterals;

// Large enough that a write that is not atomic would be caught half done.
QString crashPayload(int round)
{
    return QStringList(2000, QString::number(round)).join(u',');
}

int loop(SettingsStore& store)
{
    for (int round = 1;; ++round) {
        store.WriteNumber(u"Crash"_s, u"Counter"_s, round);
        store.WriteText(u"Crash"_s, u"Payload"_s, crashPayload(round));
        std::cout << round << std::endl;
    }
}

int fill(SettingsStore& store, const QString& prefix, int count)
{
    std::string go;
    std::getline(std::cin, go);
    for (int i = 0; i < count; ++i)
        store.WriteNumber(u"Fill"_s, prefix + QString::number(i), i);
    return 0;
}

int serve(SettingsStore& store)
{
    std::string line;
    while (std::getline(std::cin, line)) {
        const QStringList fields = QString::fromStdString(line).split(u'\t');
        if (fields.size() == 3 && fields[0] == u"get") {
            std::cout << store.ReadText(fields[1], fields[2], u"<absent>"_s).toStdString() << std::endl;
        } else if (fields.size() == 4 && fields[0] == u"set") {
            store.WriteText(fields[1], fields[2], fields[3]);
            std::cout << "ok" << std::endl;
        } else {
            std::cerr << "unknown command: " << line << std::endl;
            return 2;
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const QStringList arguments = [&] {
        QStringList list;
        for (int i = 1; i < argc; ++i)
            list.append(QString::fromLocal8Bit(argv[i]));
        return list;
    }();
    SettingsStore store;
    store.OpenStore(u"Software\\Kovrel"_s);
    try {
        if (arguments == QStringList{u"loop"_s})
            return loop(store);
        if (arguments.size() == 3 && arguments[0] == u"fill")
            return fill(store, arguments[1], arguments[2].toInt());
        if (arguments == QStringList{u"serve"_s})
            return serve(store);
    } catch (const kovrel::SettingsError& error) {
        std::cerr << error.what() << std::endl;
        return 1;
    }
    std::cerr << "usage: settings_test_writer loop | fill <prefix> <count> | serve" << std::endl;
    return 2;
}
