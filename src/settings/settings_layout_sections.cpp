// SPDX-License-Identifier: GPL-3.0-or-later
// The groups of the layout that hold one value per field or macro, or one subkey per user, state row or
// attribute set.
#include "settings_layout.h"

#include "layout_setting.h"
#include "settings_store.h"

namespace kovrel {

using namespace Qt::Literals::StringLiterals;
using layout::kClientKey;
using layout::kFontKey;
using layout::read;
using layout::Setting;
using layout::subkey;
using layout::write;

namespace {

constexpr QStringView kMacrosSection = u"Macros";

Setting<QString> infoField(InfoField field)
{
    const auto info = [](QStringView name) { return Setting(kClientKey, u"Info", name, u"N/A"_s); };
    switch (field) {
    case InfoField::FirstName:
        return info(u"First Name");
    case InfoField::LastName:
        return info(u"Last Name");
    case InfoField::Country:
        return info(u"Country");
    case InfoField::City:
        return info(u"City");
    case InfoField::Address:
        return info(u"Address");
    case InfoField::PhoneHome:
        return info(u"Phone Home");
    case InfoField::PhoneWork:
        return info(u"Phone Work");
    case InfoField::Email:
        return info(u"E-mail");
    case InfoField::HomePage:
        return Setting(kClientKey, u"Info", u"Home Page", u"http://"_s);
    case InfoField::Icq:
        return info(u"ICQ#");
    case InfoField::Description:
        return info(u"Description");
    }
    Q_UNREACHABLE();
}

Setting<QString> trustedFingerprint(QStringView server)
{
    return {kClientKey, u"TrustedServers", server, QString()};
}

Setting<int> floatPosition(QStringView nick, WindowEdge edge)
{
    return {kClientKey, subkey(u"Float", nick), layout::edgeName(edge), kAbsent};
}

Setting<bool> floatClosed(QStringView nick)
{
    return {kClientKey, subkey(u"Float", nick), u"Closed", true};
}

Setting<QString> statePicture(QStringView row, StatePicture picture)
{
    const QStringView name = picture == StatePicture::Plain ? u"Картинка" : u"Входящая картинка";
    return {kClientKey, subkey(u"States", row), name, QString()};
}

Setting<QString> fontName(QStringView set, QString current)
{
    return {kFontKey, set, u"Name", std::move(current)};
}

Setting<int> fontNumber(QStringView set, FontNumber number, int current)
{
    const auto font = [&](QStringView name) { return Setting(kFontKey, set, name, current); };
    switch (number) {
    case FontNumber::Charset:
        return font(u"Charset");
    case FontNumber::Color:
        return font(u"Color");
    case FontNumber::Height:
        return font(u"Height");
    case FontNumber::Size:
        return font(u"Size");
    case FontNumber::BackgroundColor:
        return font(u"Background Color");
    }
    Q_UNREACHABLE();
}

// The style flags live one level deeper: the store is opened at the set's own key.
Setting<bool> fontStyle(QStringView set, FontStyle style)
{
    const auto styleFlag = [&](QStringView name) {
        return Setting(subkey(kFontKey, set), u"Style", name, false);
    };
    switch (style) {
    case FontStyle::Bold:
        return styleFlag(u"Bold");
    case FontStyle::Italic:
        return styleFlag(u"Italic");
    case FontStyle::Underline:
        return styleFlag(u"Underline");
    case FontStyle::Strikeout:
        return styleFlag(u"Strikeout");
    }
    Q_UNREACHABLE();
}

} // namespace

QString ReadInfoField(InfoField field)
{
    return read(infoField(field));
}

void WriteInfoField(InfoField field, const QString& text)
{
    write(infoField(field), text);
}

QList<Macro> ReadMacros()
{
    const SettingsStore store = layout::openedAt(kClientKey.toString());
    const QString section = kMacrosSection.toString();
    QStringList hotKeys;
    try {
        hotKeys = store.ListValueNames(section);
    } catch (const std::exception& error) {
        layout::reportReadProblem(error);
        return {};
    }
    QList<Macro> macros;
    for (const QString& hotKey : hotKeys) {
        if (hotKey.isEmpty())
            continue;
        try {
            macros.append({hotKey, store.ReadText(section, hotKey, QString())});
        } catch (const std::exception& error) {
            layout::reportReadProblem(error);
        }
    }
    return macros;
}

void WriteMacros(const QList<Macro>& macros)
{
    SettingsStore store = layout::openedAt(kClientKey.toString());
    const QString section = kMacrosSection.toString();
    store.EraseSection(section);
    for (const Macro& macro : macros)
        store.WriteText(section, macro.hotKey, macro.text);
}

QString ReadTrustedFingerprint(QStringView server)
{
    return read(trustedFingerprint(server));
}

void WriteTrustedFingerprint(QStringView server, const QString& fingerprint)
{
    write(trustedFingerprint(server), fingerprint);
}

int ReadFloatPosition(QStringView nick, WindowEdge edge)
{
    return read(floatPosition(nick, edge));
}

void WriteFloatPosition(QStringView nick, WindowEdge edge, int position)
{
    write(floatPosition(nick, edge), position);
}

bool ReadFloatClosed(QStringView nick)
{
    return read(floatClosed(nick));
}

void WriteFloatClosed(QStringView nick, bool closed)
{
    write(floatClosed(nick), closed);
}

QString ReadStatePicture(QStringView row, StatePicture picture)
{
    return read(statePicture(row, picture));
}

void WriteStatePicture(QStringView row, StatePicture picture, const QString& path)
{
    write(statePicture(row, picture), path);
}

QString ReadFontName(QStringView set, const QString& current)
{
    return read(fontName(set, current));
}

void WriteFontName(QStringView set, const QString& name)
{
    write(fontName(set, QString()), name);
}

int ReadFontNumber(QStringView set, FontNumber number, int current)
{
    return read(fontNumber(set, number, current));
}

void WriteFontNumber(QStringView set, FontNumber number, int value)
{
    write(fontNumber(set, number, 0), value);
}

bool ReadFontStyle(QStringView set, FontStyle style)
{
    return read(fontStyle(set, style));
}

void WriteFontStyle(QStringView set, FontStyle style, bool on)
{
    write(fontStyle(set, style), on);
}

} // namespace kovrel
