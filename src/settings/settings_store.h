// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <optional>
#include <utility>

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include "settings_error.h"

namespace kovrel {

// The string-to-integer conversion of stored numbers: leading blanks, an optional sign, then decimal
// digits or "$" and hexadecimal digits. Hexadecimal text gives a 32-bit pattern, so "$FFFFFFFF" is -1.
// Anything else, and decimal text outside the 32-bit range, is not a number.
std::optional<int> parseInteger(QStringView text);

// $KOVREL_SETTINGS when set, else kovrel/settings.reg in the user's configuration folder; read anew at
// every access.
QString settingsFilePath();
// Makes `path` the settings file from now on, for this process and the programs it starts, by setting
// $KOVREL_SETTINGS to its absolute form (so that a later change of the working folder keeps the file).
void useSettingsFile(const QString& path);

// Typed access to the settings tree below HKEY_CURRENT_USER, kept in the settings file. Every value is
// text; integers and flags are stored as decimal text. Every operation works on the file as it is at that
// moment: each read checks the file's identity with one stat() (one for all the reads of a
// SettingsReadBatch) and uses the parsed copy kept by the process (SettingsCache, settings_cache.h) when the
// file has not changed since it was read or written, else reads it anew; each write is one locked update that
// replaces the file as a whole and leaves the tree it wrote as the kept copy. So an edit of the file by the
// user or another process is seen by the next read (once a batch is over), a value written is seen by the
// next read in any process, and the last writer wins. Reading never creates a key or the file. Failures raise
// SettingsError.
class SettingsStore
{
public:
    using ProblemReporter = std::function<void(const QString& message)>;
    // Receives the report of a settings file that could not be parsed (and was kept aside as <file>.bad, or
    // could not be), and the problems of the readers of settings_layout.h. An empty reporter restores the
    // default, a logged warning.
    static void setProblemReporter(ProblemReporter reporter);
    // Reports `message` through the problem reporter unless the same message has been reported since the
    // settings file last changed (it has the same identity, settings_io.h). For readers that fall back to
    // a default value, so that a bad value read for every chat line is reported once.
    static void reportProblemOnce(const QString& message);

    // Sets the key that sections are relative to, such as "Software\Kovrel".
    void OpenStore(const QString& path);

    // An existing empty text is returned as it is; `defaultText` only stands in for a missing value.
    QString ReadText(const QString& section, const QString& name, const QString& defaultText) const;
    void WriteText(const QString& section, const QString& name, const QString& text);
    // Writes several text values, pairs of name and text, into the one key in a single locked update of
    // the file: all of them are stored or, when it raises, none. New values are added in the order given;
    // existing ones keep their place. A failure names the first value. An empty list writes nothing.
    void WriteTexts(const QString& section, const QList<std::pair<QString, QString>>& values);
    // "0x1F" reads like "$1F"; text that is not a number gives the default.
    int ReadNumber(const QString& section, const QString& name, int defaultNumber) const;
    void WriteNumber(const QString& section, const QString& name, int number);
    // True when the stored number is not zero.
    bool ReadFlag(const QString& section, const QString& name, bool defaultFlag) const;
    void WriteFlag(const QString& section, const QString& name, bool flag);
    // In stored order; the key's unnamed value is listed as an empty name.
    QStringList ListValueNames(const QString& section) const;
    // Removes the section with every key below it. Removing what does not exist does nothing.
    void EraseSection(const QString& section);
    void DeleteValue(const QString& section, const QString& name);

private:
    QString keyPath(const QString& section) const;

    QString m_basePath;
};

} // namespace kovrel
