#include "settings_store.h"

#include <cstdint>
#include <cstdio>

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

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

// Key paths in the file are full paths from the hive.
QString fileKeyPath(const QString& keyPath)
{
    return keyPath.isEmpty() ? u"HKEY_CURRENT_USER"_s : u"HKEY_CURRENT_USER\\"_s + keyPath;
}

void reportDamagedFile(const QString& path, const SettingsParseError& error, bool keptAside)
{
    const QString problem = u"The settings file %1 cannot be read (line %2: %3)"_s.arg(
        path, QString::number(error.line()), error.reason());
    reportProblem(keptAside ? problem + u"; it was kept as %1.bad and the default settings apply."_s.arg(path)
                            : problem + u" and could not be kept aside; the default settings apply."_s);
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
std::optional<SettingsTree> loadLocked(const QString& path, const SettingsError& failure)
{
    const std::optional<QByteArray> bytes = readFileIfExists(path, failure);
    if (!bytes)
        return SettingsTree();
    try {
        return parseSettings(*bytes);
    } catch (const SettingsParseError& error) {
        if (keepAside(path, error))
            return SettingsTree();
        return std::nullopt;
    }
}

SettingsTree readTree(const SettingsError& failure)
{
    const QString path = settingsFilePath();
    const std::optional<QByteArray> bytes = readFileIfExists(path, failure);
    if (!bytes)
        return {};
    try {
        return parseSettings(*bytes);
    } catch (const SettingsParseError& error) {
        const ExclusiveFileLock lock(path + u".lock"_s, kLockTimeout);
        if (lock.isLocked())
            return loadLocked(path, failure).value_or(SettingsTree());
        reportDamagedFile(path, error, false);
        return {};
    }
}

// A copy of the key, empty when it does not exist.
SettingsKey readKey(const QString& keyPath, const SettingsError& failure)
{
    const SettingsTree tree = readTree(failure);
    const SettingsKey* key = tree.findKey(fileKeyPath(keyPath));
    return key ? *key : SettingsKey();
}

std::optional<QString> readText(const QString& keyPath, const QString& name)
{
    const SettingsKey key = readKey(keyPath, SettingsError::getDataFailed(name));
    const SettingsValue* value = key.findValue(name);
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

// One locked write: read the current file, change the tree, replace the file with a flushed temporary
// written in the same folder. `change` returns whether it changed anything; if not, nothing is written.
void updateFile(const QString& keyPath, const SettingsError& failure, Effect effect,
                const std::function<bool(SettingsTree&)>& change)
{
    const QString path = settingsFilePath();
    if (effect == Effect::Removes && !QFileInfo::exists(path))
        return;
    ensureFolderOf(path, SettingsError::createKeyFailed(keyPath));
    const ExclusiveFileLock lock(path + u".lock"_s, kLockTimeout);
    if (!lock.isLocked())
        throw failure;
    std::optional<SettingsTree> tree = loadLocked(path, failure);
    if (!tree)
        throw failure;
    if (!change(*tree))
        return;
    replaceFile(path, serializeSettings(*tree), SettingsError::createKeyFailed(keyPath), failure);
}

void writeValue(const QString& keyPath, const SettingsValue& value)
{
    const QString path = fileKeyPath(keyPath);
    if (!isWritableKeyPath(path))
        throw SettingsError::createKeyFailed(keyPath);
    updateFile(keyPath, SettingsError::setDataFailed(value.name), Effect::Creates,
               [&](SettingsTree& tree) { return tree.ensureKey(path).setValue(value); });
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
    const QString explicitPath = qEnvironmentVariable("KOVREL_SETTINGS");
    if (!explicitPath.isEmpty())
        return explicitPath;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           u"/kovrel/settings.reg"_s;
}

void SettingsStore::setProblemReporter(ProblemReporter reporter)
{
    problemReporter() = std::move(reporter);
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
    writeValue(keyPath(section), SettingsValue{name, text, true});
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
    for (const SettingsValue& value : readKey(key, SettingsError::getDataFailed(key)).values)
        names.append(value.name);
    return names;
}

void SettingsStore::EraseSection(const QString& section)
{
    const QString key = keyPath(section);
    updateFile(key, SettingsError::deleteKeyFailed(key), Effect::Removes,
               [&](SettingsTree& tree) { return tree.eraseKey(fileKeyPath(key)); });
}

void SettingsStore::DeleteValue(const QString& section, const QString& name)
{
    const QString key = keyPath(section);
    updateFile(key, SettingsError::deleteValueFailed(name), Effect::Removes, [&](SettingsTree& tree) {
        SettingsKey* found = tree.findKey(fileKeyPath(key));
        return found && found->removeValue(name);
    });
}

// Parts are joined by single backslashes, whatever separators the caller put around them.
QString SettingsStore::keyPath(const QString& section) const
{
    return (m_basePath.split(kPathSeparator, Qt::SkipEmptyParts) +
            section.split(kPathSeparator, Qt::SkipEmptyParts))
        .join(kPathSeparator);
}

} // namespace kovrel
