// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "settings_file.h"
#include "settings_store.h"

namespace kovrel::test {

// For its lifetime, points the settings file ($KOVREL_SETTINGS) and the XDG configuration folder into a
// fresh temporary folder and records the problems the store reports.
class SettingsSandbox
{
public:
    SettingsSandbox()
        : m_savedSettings(qgetenv("KOVREL_SETTINGS")), m_savedConfigHome(qgetenv("XDG_CONFIG_HOME"))
    {
        qputenv("KOVREL_SETTINGS", QFile::encodeName(settingsPath()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome()));
        SettingsStore::setProblemReporter([this](const QString& message) { m_problems.append(message); });
    }

    ~SettingsSandbox()
    {
        SettingsStore::setProblemReporter({});
        restore("KOVREL_SETTINGS", m_savedSettings);
        restore("XDG_CONFIG_HOME", m_savedConfigHome);
    }

    SettingsSandbox(const SettingsSandbox&) = delete;
    SettingsSandbox& operator=(const SettingsSandbox&) = delete;

    QString path(const QString& relative) const { return m_dir.filePath(relative); }
    // The folder of the settings file does not exist until something is written.
    QString settingsPath() const { return path(QStringLiteral("kovrel/settings.reg")); }
    QString configHome() const { return path(QStringLiteral("config")); }
    const QStringList& problems() const { return m_problems; }

    bool settingsFileExists() const { return QFile::exists(settingsPath()); }

    QByteArray settingsFileContent() const
    {
        QFile file(settingsPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void setSettingsFileContent(const QByteArray& content) const
    {
        QDir().mkpath(path(QStringLiteral("kovrel")));
        QFile file(settingsPath());
        if (file.open(QIODevice::WriteOnly))
            file.write(content);
    }

    // The value as the settings file holds it, under its full key path below HKEY_CURRENT_USER.
    const SettingsValue* storedValue(const QString& keyPath, const QString& name)
    {
        m_parsed = parseSettings(settingsFileContent());
        const SettingsKey* key = m_parsed.findKey(QStringLiteral("HKEY_CURRENT_USER\\") + keyPath);
        return key ? key->findValue(name) : nullptr;
    }

private:
    static void restore(const char* name, const QByteArray& value)
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }

    QTemporaryDir m_dir;
    QByteArray m_savedSettings;
    QByteArray m_savedConfigHome;
    QStringList m_problems;
    SettingsTree m_parsed;
};

// Checks that `access` raises a SettingsError with exactly this message.
inline void expectSettingsError(const std::function<void()>& access, const char* message)
{
    try {
        access();
        ADD_FAILURE() << "no error, expected: " << message;
    } catch (const SettingsError& error) {
        EXPECT_STREQ(error.what(), message);
    }
}

} // namespace kovrel::test
