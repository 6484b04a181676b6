// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <exception>
#include <type_traits>
#include <utility>

#include <QString>
#include <QStringView>

#include "settings_layout.h"
#include "settings_store.h"

// How the layout reaches one setting: each read or write opens a store at the setting's base path and
// makes the single access. Reads never raise: a failure is reported once and the default stands in.
// Shared by the files that implement settings_layout.h.
namespace kovrel::layout {

inline constexpr QStringView kProductKey = u"Software\\Kovrel";
inline constexpr QStringView kClientKey = u"Software\\Kovrel\\Client";
inline constexpr QStringView kFontKey = u"Software\\Kovrel\\Client\\Font";

// A text, an integer or a flag: the store is opened at `basePath` and the value addressed in `section`.
template <typename T> struct Setting
{
    Setting(QStringView base, QStringView sectionPath, QStringView valueName, T fallback)
        : basePath(base.toString()), section(sectionPath.toString()), name(valueName.toString()),
          defaultValue(std::move(fallback))
    {}

    QString basePath;
    QString section;
    QString name;
    T defaultValue;
};

inline SettingsStore openedAt(const QString& basePath)
{
    SettingsStore store;
    store.OpenStore(basePath);
    return store;
}

// The error text of a read that failed, through the problem reporter, once while the file stays as it is.
inline void reportReadProblem(const std::exception& error)
{
    SettingsStore::reportProblemOnce(QString::fromUtf8(error.what()));
}

template <typename T> T read(const Setting<T>& setting)
{
    try {
        const SettingsStore store = openedAt(setting.basePath);
        if constexpr (std::is_same_v<T, QString>)
            return store.ReadText(setting.section, setting.name, setting.defaultValue);
        else if constexpr (std::is_same_v<T, bool>)
            return store.ReadFlag(setting.section, setting.name, setting.defaultValue);
        else
            return store.ReadNumber(setting.section, setting.name, setting.defaultValue);
    } catch (const std::exception& error) {
        reportReadProblem(error);
        return setting.defaultValue;
    }
}

template <typename T> void write(const Setting<T>& setting, const std::type_identity_t<T>& value)
{
    SettingsStore store = openedAt(setting.basePath);
    if constexpr (std::is_same_v<T, QString>)
        store.WriteText(setting.section, setting.name, value);
    else if constexpr (std::is_same_v<T, bool>)
        store.WriteFlag(setting.section, setting.name, value);
    else
        store.WriteNumber(setting.section, setting.name, value);
}

inline QStringView edgeName(WindowEdge edge)
{
    return edge == WindowEdge::Left ? u"Left" : u"Top";
}

inline QString subkey(QStringView parent, QStringView child)
{
    return parent.toString() + u'\\' + child.toString();
}

} // namespace kovrel::layout
