// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings_store.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>

#include "settings_cache.h"
#include "settings_file.h"
#include "settings_io.h"

namespace kovrel {

using namespace Qt::Literals::StringLiterals;

namespace {

// Writes hold the lock for milliseconds; the lock of a process that died is released by the kernel.
constexpr std::chrono::milliseconds kLockTimeout(5000);
constexpr QChar kPathSeparator = u'\\';

SettingsStore::ProblemReporter& problemReporter()
{
    static SettingsStore::ProblemReporter reporter;
    return reporter;
}

void reportProblem(const QString& message)
{
    if (const SettingsStore::ProblemReporter& reporter = problemReporter())
        reporter(message);
    else
        qWarning().noquote() << message;
}

// The messages reported for the settings file at `path` while it has `identity`.
struct ReportedProblems
{
    QString path;
    std::optional<FileIdentity> identity;
    QSet<QString> messages;
};

void reportProblemOnce(const QString& path, const QString& message)
{
    static ReportedProblems reported;
    std::optional<FileIdentity> identity;
    try {
        identity = fileIdentity(path, SettingsFailure(&SettingsError::getDataFailed, path));
    } catch (const SettingsError&) {
        // A file that cannot be examined counts as missing.
    }
    if (reported.path != path || reported.identity != identity)
        reported = {path, identity, {}};
    if (reported.messages.contains(message))
        return;
    reported.messages.insert(message);
    reportProblem(message);
}

// Without separators at either end or doubled ones.
bool isPlainPath(QStringView path)
{
    return !path.startsWith(kPathSeparator) && !path.endsWith(kPathSeparator) &&
           !path.contains(QStringView(u"\\\\"));
}

// Key paths in the file are full paths from the hive.
QString fileKeyPath(const QString& keyPath)
{
    return keyPath.isEmpty() ? u"HKEY_CURRENT_USER"_s : u"HKEY_CURRENT_USER\\"_s + keyPath;
}

// A file kept aside is gone, so that report comes once by itself; one that stays is reported once while
// it stays as it is.
void reportDamagedFile(const QString& path, const SettingsParseError& error, bool keptAside)
{
    const QString problem = u"The settings file %1 cannot be read (line %2: %3)"_s.arg(
        path, QString::number(error.line()), error.reason());
    if (keptAside)
        reportProblem(problem + u"; it was kept as %1.bad and the default settings apply."_s.arg(path));
    else
        reportProblemOnce(path, problem + u" and could not be kept aside; the default settings apply."_s);
}

// Only called with the lock held, so that a file a writer has just put in place is never moved.
bool keepAside(const QString& path, const SettingsParseError& error)
{
    const QByteArray badPath = QFile::encodeName(path + u".bad"_s);
    const bool moved = std::rename(QFile::encodeName(path).constData(), badPath.constData()) == 0;
    reportDamagedFile(path, error, moved);
    return moved;
}

// With the lock held: the current tree, or an empty one after a damaged file was kept aside. Nothing when
// a damaged file could not be moved, which must then not be overwritten.
std::optional<SettingsTree> loadLocked(const QString& path, const SettingsFailure& failure)
{
    const SettingsSnapshot snapshot = SettingsCache::shared().examine(path, failure);
    if (!snapshot.damage)
        return snapshot.tree;
    if (keepAside(path, *snapshot.damage))
        return SettingsTree();
    return std::nullopt;
}

// The tree of the settings file as it is now. A file found damaged is kept aside when it is first seen;
// until it is replaced it reads as empty.
SettingsTree currentTree(const SettingsFailure& failure)
{
    const QString path = settingsFilePath();
    const SettingsSnapshot snapshot = SettingsCache::shared().lookup(path, failure);
    if (!snapshot.damage || !snapshot.fresh)
        return snapshot.tree;
    const ExclusiveFileLock lock(path + u".lock"_s, kLockTimeout);
    if (lock.isLocked())
        return loadLocked(path, failure).value_or(SettingsTree());
    reportDamagedFile(path, *snapshot.damage, false);
    return {};
}

// The value as stored, nothing when it or its key does not exist.
std::optional<SettingsValue> readValue(const QString& keyPath, const QString& name)
{
    const SettingsTree tree = currentTree(SettingsFailure(&SettingsError::getDataFailed, name));
    const SettingsKey* key = tree.findKey(fileKeyPath(keyPath));
    const SettingsValue* value = key ? key->findValue(name) : nullptr;
    if (!value)
        return std::nullopt;
    return *value;
}

std::optional<QString> readText(const QString& keyPath, const QString& name)
{
    const std::optional<SettingsValue> value = readValue(keyPath, name);
    if (!value)
        return std::nullopt;
    if (!value->isText)
        throw SettingsError::invalidDataType(name);
    return value->data;
}

enum class Effect
{
    Creates,
    Removes
};

// One locked write: take the current tree, change it, replace the file with a flushed temporary written
// in the same folder, and keep the new tree as the copy of the file. `change` returns whether it changed
// anything; if not, nothing is written.
void updateFile(const QString& keyPath, const SettingsFailure& failure, Effect effect,
                const std::function<bool(SettingsTree&)>& change)
{
    const QString path = settingsFilePath();
    if (effect == Effect::Removes && !QFileInfo::exists(path))
        return;
    ensureFolderOf(path, SettingsFailure(&SettingsError::createKeyFailed, keyPath));
    const ExclusiveFileLock lock(path + u".lock"_s, kLockTimeout);
    if (!lock.isLocked())
        failure.raise();
    std::optional<SettingsTree> tree = loadLocked(path, failure);
    if (!tree)
        failure.raise();
    if (!change(*tree))
        return;
    const std::optional<FileIdentity> written = replaceFile(
        path, serializeSettings(*tree), SettingsFailure(&SettingsError::createKeyFailed, keyPath), failure);
    if (written)
        SettingsCache::shared().remember(path, *written, *tree);
    else
        SettingsCache::shared().forget(path);
}

// The values are text values of one key, written in one update; a failure names the first.
void writeValues(const QString& keyPath, const QList<SettingsValue>& values)
{
    if (values.isEmpty())
        return;
    const QString path = fileKeyPath(keyPath);
    if (!isWritableKeyPath(path))
        throw SettingsError::createKeyFailed(keyPath);
    updateFile(keyPath, SettingsFailure(&SettingsError::setDataFailed, values.first().name), Effect::Creates,
               [&](SettingsTree& tree) {
                   SettingsKey& key = tree.ensureKey(path);
                   bool changed = false;
                   for (const SettingsValue& value : values)
                       changed = key.setValue(value) || changed;
                   return changed;
               });
}

int digitValue(QChar c, int base)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (base == 16 && u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (base == 16 && u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// A stored "0x" prefix means hexadecimal, which the integer conversion spells "$".
QString withDollarHexPrefix(const QString& text)
{
    if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X'))
        return u'$' + text.sliced(2);
    return text;
}

} // namespace

std::optional<int> parseInteger(QStringView text)
{
    qsizetype pos = 0;
    while (pos < text.size() && text[pos] == u' ')
        ++pos;
    const bool negative = pos < text.size() && text[pos] == u'-';
    if (pos < text.size() && (text[pos] == u'-' || text[pos] == u'+'))
        ++pos;
    const bool hex = pos < text.size() && text[pos] == u'$';
    if (hex)
        ++pos;
    if (pos == text.size())
        return std::nullopt;
    const int base = hex ? 16 : 10;
    const std::uint64_t limit = hex ? 0xFFFFFFFFu : (negative ? 0x80000000u : 0x7FFFFFFFu);
    std::uint64_t magnitude = 0;
    for (; pos < text.size(); ++pos) {
        const int digit = digitValue(text[pos], base);
        if (digit < 0)
            return std::nullopt;
        magnitude = magnitude * base + digit;
        if (magnitude > limit)
            return std::nullopt;
    }
    const auto bits = static_cast<std::uint32_t>(negative ? 0 - magnitude : magnitude);
    return static_cast<int>(bits);
}

QString settingsFilePath()
{
    // Asked at every read: the variable's text is decoded again only when it has changed.
    static QByteArray lastVariable;
    static QString lastPath;
    if (const char* variable = std::getenv("KOVREL_SETTINGS"); variable && *variable) {
        if (lastVariable != variable) {
            lastVariable = variable;
            lastPath = QString::fromLocal8Bit(lastVariable);
        }
        return lastPath;
    }
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           u"/kovrel/settings.reg"_s;
}

void useSettingsFile(const QString& path)
{
    qputenv("KOVREL_SETTINGS", QFile::encodeName(QFileInfo(path).absoluteFilePath()));
}

void SettingsStore::setProblemReporter(ProblemReporter reporter)
{
    problemReporter() = std::move(reporter);
}

void SettingsStore::reportProblemOnce(const QString& message)
{
    kovrel::reportProblemOnce(settingsFilePath(), message);
}

void SettingsStore::OpenStore(const QString& path)
{
    m_basePath = path;
}

QString SettingsStore::ReadText(const QString& section, const QString& name, const QString& defaultText) const
{
    return readText(keyPath(section), name).value_or(defaultText);
}

void SettingsStore::WriteText(const QString& section, const QString& name, const QString& text)
{
    writeValues(keyPath(section), {SettingsValue{name, text, true}});
}

void SettingsStore::WriteTexts(const QString& section, const QList<std::pair<QString, QString>>& values)
{
    QList<SettingsValue> textValues;
    for (const auto& [name, text] : values)
        textValues.append(SettingsValue{name, text, true});
    writeValues(keyPath(section), textValues);
}

int SettingsStore::ReadNumber(const QString& section, const QString& name, int defaultNumber) const
{
    const std::optional<QString> text = readText(keyPath(section), name);
    if (!text)
        return defaultNumber;
    return parseInteger(withDollarHexPrefix(*text)).value_or(defaultNumber);
}

void SettingsStore::WriteNumber(const QString& section, const QString& name, int number)
{
    WriteText(section, name, QString::number(number));
}

bool SettingsStore::ReadFlag(const QString& section, const QString& name, bool defaultFlag) const
{
    return ReadNumber(section, name, defaultFlag ? 1 : 0) != 0;
}

void SettingsStore::WriteFlag(const QString& section, const QString& name, bool flag)
{
    WriteText(section, name, flag ? u"1"_s : u"0"_s);
}

QStringList SettingsStore::ListValueNames(const QString& section) const
{
    const QString key = keyPath(section);
    QStringList names;
    const SettingsTree tree = currentTree(SettingsFailure(&SettingsError::getDataFailed, key));
    if (const SettingsKey* found = tree.findKey(fileKeyPath(key))) {
        for (const SettingsValue& value : found->values)
            names.append(value.name);
    }
    return names;
}

void SettingsStore::EraseSection(const QString& section)
{
    const QString key = keyPath(section);
    updateFile(key, SettingsFailure(&SettingsError::deleteKeyFailed, key), Effect::Removes,
               [&](SettingsTree& tree) { return tree.eraseKey(fileKeyPath(key)); });
}

void SettingsStore::DeleteValue(const QString& section, const QString& name)
{
    const QString key = keyPath(section);
    updateFile(key, SettingsFailure(&SettingsError::deleteValueFailed, name), Effect::Removes,
               [&](SettingsTree& tree) {
                   SettingsKey* found = tree.findKey(fileKeyPath(key));
                   return found && found->removeValue(name);
               });
}

// Parts are joined by single backslashes, whatever separators the caller put around them. The layout's
// paths are already in that form, and are only joined.
QString SettingsStore::keyPath(const QString& section) const
{
    if (isPlainPath(m_basePath) && isPlainPath(section)) {
        if (m_basePath.isEmpty() || section.isEmpty())
            return m_basePath + section;
        return m_basePath + kPathSeparator + section;
    }
    return (m_basePath.split(kPathSeparator, Qt::SkipEmptyParts) +
            section.split(kPathSeparator, Qt::SkipEmptyParts))
        .join(kPathSeparator);
}

} // namespace kovrel
