// SPDX-License-Identifier: GPL-3.0-or-later
#include "hot_keys.h"

#include <algorithm>

#include <QKeySequence>

namespace kovrel {

namespace {

using namespace Qt::Literals::StringLiterals;

constexpr int kFunctionKeys = 12;

QStringList functionKeys(const QString& prefix)
{
    QStringList texts;
    for (int number = 1; number <= kFunctionKeys; ++number)
        texts.append(prefix + u'F' + QString::number(number));
    return texts;
}

QStringList buildHotKeyTexts()
{
    QStringList texts{kNoHotKey.toString()};
    for (char16_t letter = u'A'; letter <= u'Z'; ++letter)
        texts.append(u"Ctrl+"_s + QChar(letter));
    for (const QString& prefix : {QString(), u"Ctrl+"_s, u"Shift+"_s, u"Shift+Ctrl+"_s})
        texts.append(functionKeys(prefix));
    return texts;
}

QString modifierPrefix(Qt::KeyboardModifiers modifiers)
{
    QString prefix;
    if (modifiers.testFlag(Qt::ShiftModifier))
        prefix += u"Shift+"_s;
    if (modifiers.testFlag(Qt::ControlModifier))
        prefix += u"Ctrl+"_s;
    if (modifiers.testFlag(Qt::AltModifier))
        prefix += u"Alt+"_s;
    return prefix;
}

// Qt's own portable names: capitals for letters, "F1" for function keys, and for the others names such
// as "Return" or "Del" that no hot key text takes.
QString keyName(int key)
{
    return QKeySequence(QKeyCombination::fromCombined(key)).toString(QKeySequence::PortableText);
}

} // namespace

const QStringList& HotKeyTexts()
{
    static const QStringList texts = buildHotKeyTexts();
    return texts;
}

QString KeyText(int key, Qt::KeyboardModifiers modifiers)
{
    return modifierPrefix(modifiers) + keyName(key);
}

bool IsHotKey(const QString& text)
{
    return HotKeyTexts().contains(text);
}

QString FindMacro(const QList<Macro>& macros, int key, Qt::KeyboardModifiers modifiers)
{
    const QString pressed = KeyText(key, modifiers);
    if (!IsHotKey(pressed))
        return {};
    const auto macro = std::ranges::find(macros, pressed, &Macro::hotKey);
    return macro == macros.end() ? QString() : macro->text;
}

} // namespace kovrel
