// SPDX-License-Identifier: GPL-3.0-or-later
#include "float_edit.h"

#include <algorithm>

#include <QKeyEvent>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

namespace kovrel {

namespace {

bool isAsciiDigit(QChar character)
{
    return character >= u'0' && character <= u'9';
}

// Navigation, editing and shortcut keys carry no printable character and are left to QLineEdit.
bool isControlKey(const QKeyEvent* event)
{
    const QString text = event->text();
    return text.isEmpty() || !text.front().isPrint() ||
           (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
}

} // namespace

std::optional<int> decimalUpTo(QStringView text, int maximum)
{
    bool isNumber = false;
    const int number = text.toInt(&isNumber);
    if (!isNumber || number > maximum || !std::all_of(text.cbegin(), text.cend(), isAsciiDigit))
        return std::nullopt;
    return number;
}

TFloatEdit::TFloatEdit(QWidget* parent) : QLineEdit(parent)
{
    // Keys are filtered in keyPressEvent; the validator keeps pasted or dropped text to digits too.
    setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this));
}

bool TFloatEdit::hasValidOctet() const
{
    return text().isEmpty() || decimalUpTo(text(), kMaximum);
}

void TFloatEdit::keyPressEvent(QKeyEvent* event)
{
    if (isControlKey(event)) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    event->accept(); // a refused key goes nowhere else either
    const QChar typed = event->text().front();
    if (!isAsciiDigit(typed))
        return;
    if (!decimalUpTo(textWithTyped(typed), kMaximum)) {
        setText(QString::number(kMaximum));
        selectAll();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

QString TFloatEdit::textWithTyped(QChar digit) const
{
    QString result = text();
    if (hasSelectedText()) {
        result.replace(selectionStart(), selectionLength(), digit);
    } else {
        result.insert(cursorPosition(), digit);
    }
    return result;
}

} // namespace kovrel
