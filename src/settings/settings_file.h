// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <stdexcept>

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

// The settings tree as the text of a registry export: a header line, then one "[key path]" line per key
// followed by that key's values. Key paths and value names compare without regard to letter case and keep
// the spelling they were created with.
namespace kovrel {

inline constexpr char kRegistryExportHeader[] = "Windows Registry Editor Version 5.00";

struct SettingsValue
{
    QString name; // empty for the key's unnamed value, written as "@"
    // A text value holds its text. Any other registry type holds everything after "=" as it was read,
    // continuation lines included, so that rewriting the file never alters it.
    QString data;
    bool isText = true;

    bool operator==(const SettingsValue&) const = default;
};

struct SettingsKey
{
    QString path;
    QList<SettingsValue> values; // in the order they were created

    const SettingsValue* findValue(const QString& name) const;
    // Adds the value or replaces the one of the same name, whose spelling is kept. Returns whether the
    // key changed.
    bool setValue(const SettingsValue& value);
    bool removeValue(const QString& name);
};

class SettingsTree
{
public:
    const SettingsKey* findKey(const QString& path) const;
    SettingsKey* findKey(const QString& path);
    // A new key takes the spelling of the keys it is nested in, as a registry key does.
    SettingsKey& ensureKey(const QString& path);
    // Removes the key and every key below it. Returns whether anything was removed.
    bool eraseKey(const QString& path);
    const QList<SettingsKey>& keys() const { return m_keys; }

private:
    QList<SettingsKey> m_keys;
};

// A key path can be written when it is not empty and has no line break, which would end the "[…]" line.
bool isWritableKeyPath(const QString& path);

class SettingsParseError : public std::runtime_error
{
public:
    SettingsParseError(int line, const QString& reason);
    int line() const { return m_line; }
    const QString& reason() const { return m_reason; }

private:
    int m_line;
    QString m_reason;
};

// Accepts UTF-8 with or without a byte order mark and LF or CRLF line ends. An empty text is an empty tree.
// Throws SettingsParseError naming the first line that cannot be read.
SettingsTree parseSettings(QByteArrayView utf8);
QByteArray serializeSettings(const SettingsTree& tree);

} // namespace kovrel
