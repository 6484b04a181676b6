// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings_file.h"

#include <algorithm>
#include <utility>

#include <QStringDecoder>
#include <QStringList>

namespace kovrel {

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr QChar kPathSeparator = u'\\';

bool sameName(QStringView a, QStringView b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool isSameOrBelow(QStringView candidate, QStringView path)
{
    return candidate.size() >= path.size() && sameName(candidate.first(path.size()), path) &&
           (candidate.size() == path.size() || candidate[path.size()] == kPathSeparator);
}

QString quoted(const QString& text)
{
    QString result;
    result.reserve(text.size() + 2);
    result += u'"';
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'\\':
            result += u"\\\\";
            break;
        case u'"':
            result += u"\\\"";
            break;
        case u'\r':
            result += u"\\r";
            break;
        case u'\n':
            result += u"\\n";
            break;
        default:
            result += c;
        }
    }
    result += u'"';
    return result;
}

QString valueLine(const SettingsValue& value)
{
    const QString name = value.name.isEmpty() ? u"@"_s : quoted(value.name);
    return name + u'=' + (value.isText ? quoted(value.data) : value.data) + u'\n';
}

// Such as "dword:" or "hex(2):".
bool hasTypePrefix(QStringView data)
{
    const qsizetype colon = data.indexOf(u':');
    if (colon < 1 || !data.front().isLetter())
        return false;
    return std::all_of(data.begin(), data.begin() + colon, [](QChar c) {
        return (c.isLetterOrNumber() && c.unicode() < 128) || c == u'(' || c == u')';
    });
}

QList<QByteArrayView> splitLines(QByteArrayView text)
{
    QList<QByteArrayView> lines;
    while (!text.isEmpty()) {
        const qsizetype end = text.indexOf('\n');
        lines.append(end < 0 ? text : text.first(end));
        text = end < 0 ? QByteArrayView() : text.sliced(end + 1);
    }
    return lines;
}

// Reads the lines of a registry export into a tree, one line at a time.
class SettingsParser
{
public:
    explicit SettingsParser(QByteArrayView utf8) : m_lines(splitLines(utf8)) {}
    SettingsTree parse();

private:
    [[noreturn]] void fail(const QString& reason) const
    {
        throw SettingsParseError(static_cast<int>(m_index + 1), reason);
    }
    QString decodedLine() const;
    void parseKeyLine(QStringView line);
    void parseValueLine(QStringView line);
    QString readQuoted(QStringView line, qsizetype& pos) const;
    QString readTypedData(QStringView data);

    QList<QByteArrayView> m_lines;
    qsizetype m_index = 0;
    QString m_keyPath;
    SettingsTree m_tree;
};

SettingsTree SettingsParser::parse()
{
    bool headerAllowed = true;
    for (; m_index < m_lines.size(); ++m_index) {
        const QString decoded = decodedLine();
        const QStringView line = QStringView(decoded).trimmed();
        if (line.isEmpty() || line.startsWith(u';'))
            continue;
        const bool isHeader = headerAllowed && line == QLatin1StringView(kRegistryExportHeader);
        headerAllowed = false;
        if (isHeader)
            continue;
        if (line.startsWith(u'['))
            parseKeyLine(line);
        else if (line.startsWith(u'"') || line.startsWith(u'@'))
            parseValueLine(line);
        else
            fail(u"expected a [key] line or a value"_s);
    }
    return std::move(m_tree);
}

QString SettingsParser::decodedLine() const
{
    QByteArrayView bytes = m_lines[m_index];
    // Every CR before the LF belongs to the line end (CRLF, or CRs an editor doubled): kept in a typed
    // value, one would be lost at each rewrite, which ends its lines with LF.
    while (bytes.endsWith('\r'))
        bytes.chop(1);
    // Stateless: a multi-byte sequence cut off at the end of the line is an error, not a pending state.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        fail(u"the line is not valid UTF-8"_s);
    return text;
}

void SettingsParser::parseKeyLine(QStringView line)
{
    if (!line.endsWith(u']'))
        fail(u"a key line must end with \"]\""_s);
    const QStringView path = line.sliced(1, line.size() - 2);
    if (path.isEmpty())
        fail(u"the key path is empty"_s);
    if (path.startsWith(u'-'))
        fail(u"removing a key is not supported in the settings file"_s);
    m_keyPath = path.toString();
    m_tree.ensureKey(m_keyPath);
}

void SettingsParser::parseValueLine(QStringView line)
{
    if (m_keyPath.isEmpty())
        fail(u"a value must follow a [key] line"_s);
    SettingsValue value;
    qsizetype pos = 1;
    if (line.startsWith(u'"')) {
        pos = 0;
        value.name = readQuoted(line, pos);
    }
    if (pos == line.size() || line[pos] != u'=')
        fail(u"expected \"=\" after the value name"_s);
    ++pos;
    if (pos < line.size() && line[pos] == u'"') {
        value.data = readQuoted(line, pos);
        if (pos != line.size())
            fail(u"unexpected text after the closing quote"_s);
    } else {
        value.isText = false;
        value.data = readTypedData(line.sliced(pos));
    }
    m_tree.ensureKey(m_keyPath).setValue(value);
}

// `pos` is at the opening quote; on return it is just past the closing one.
QString SettingsParser::readQuoted(QStringView line, qsizetype& pos) const
{
    QString text;
    for (++pos; pos < line.size(); ++pos) {
        const QChar c = line[pos];
        if (c == u'"') {
            ++pos;
            return text;
        }
        if (c != u'\\') {
            text += c;
            continue;
        }
        if (++pos == line.size())
            break;
        switch (line[pos].unicode()) {
        case u'\\':
            text += u'\\';
            break;
        case u'"':
            text += u'"';
            break;
        case u'r':
            text += u'\r';
            break;
        case u'n':
            text += u'\n';
            break;
        default:
            fail(u"unknown escape \"\\%1\""_s.arg(line[pos]));
        }
    }
    fail(u"missing closing quote"_s);
}

// A value of another type, such as dword:0000001f or hex(2):41,00,…; a line ending in "\" continues on the
// next line, as registry exports wrap long binary values.
QString SettingsParser::readTypedData(QStringView data)
{
    if (!hasTypePrefix(data))
        fail(u"expected a quoted text or a typed value such as dword:…"_s);
    QString text = data.toString();
    while (QStringView(text).trimmed().endsWith(u'\\')) {
        if (m_index + 1 == m_lines.size())
            fail(u"the value continues past the end of the file"_s);
        ++m_index;
        text += u'\n' + decodedLine();
    }
    return text;
}

} // namespace

const SettingsValue* SettingsKey::findValue(const QString& name) const
{
    for (const SettingsValue& value : values) {
        if (sameName(value.name, name))
            return &value;
    }
    return nullptr;
}

bool SettingsKey::setValue(const SettingsValue& value)
{
    for (SettingsValue& existing : values) {
        if (!sameName(existing.name, value.name))
            continue;
        if (existing.data == value.data && existing.isText == value.isText)
            return false;
        existing.data = value.data;
        existing.isText = value.isText;
        return true;
    }
    values.append(value);
    return true;
}

bool SettingsKey::removeValue(const QString& name)
{
    return values.removeIf([&](const SettingsValue& value) { return sameName(value.name, name); }) > 0;
}

const SettingsKey* SettingsTree::findKey(const QString& path) const
{
    for (const SettingsKey& key : m_keys) {
        if (sameName(key.path, path))
            return &key;
    }
    return nullptr;
}

SettingsKey* SettingsTree::findKey(const QString& path)
{
    return const_cast<SettingsKey*>(std::as_const(*this).findKey(path));
}

SettingsKey& SettingsTree::ensureKey(const QString& path)
{
    if (SettingsKey* existing = findKey(path))
        return *existing;
    QStringList parts = path.split(kPathSeparator);
    for (const SettingsKey& key : m_keys) {
        const QStringList existing = key.path.split(kPathSeparator);
        for (qsizetype i = 0; i < parts.size() && i < existing.size() && sameName(parts[i], existing[i]); ++i)
            parts[i] = existing[i];
    }
    m_keys.append(SettingsKey{parts.join(kPathSeparator), {}});
    return m_keys.last();
}

bool SettingsTree::eraseKey(const QString& path)
{
    return m_keys.removeIf([&](const SettingsKey& key) { return isSameOrBelow(key.path, path); }) > 0;
}

bool isWritableKeyPath(const QString& path)
{
    return !path.isEmpty() && !path.contains(u'\r') && !path.contains(u'\n');
}

SettingsParseError::SettingsParseError(int line, const QString& reason)
    : std::runtime_error(u"line %1: %2"_s.arg(line).arg(reason).toStdString()), m_line(line), m_reason(reason)
{}

SettingsTree parseSettings(QByteArrayView utf8)
{
    constexpr QByteArrayView byteOrderMark("\xEF\xBB\xBF");
    if (utf8.startsWith(byteOrderMark))
        utf8 = utf8.sliced(byteOrderMark.size());
    return SettingsParser(utf8).parse();
}

QByteArray serializeSettings(const SettingsTree& tree)
{
    QString text = QLatin1StringView(kRegistryExportHeader) + u"\n\n"_s;
    for (const SettingsKey& key : tree.keys()) {
        text += u'[' + key.path + u"]\n"_s;
        for (const SettingsValue& value : key.values)
            text += valueLine(value);
        text += u'\n';
    }
    return text.toUtf8();
}

} // namespace kovrel
