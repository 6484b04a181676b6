// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QLineEdit>
#include <QStringView>

namespace kovrel {

// The number that `text` spells in decimal digits alone, when it is not greater than `maximum`.
std::optional<int> decimalUpTo(QStringView text, int maximum);

// Entry field for one octet of a dotted IPv4 address: a whole number from 0 to 255, or nothing.
// Only digits and control keys are taken from the keyboard; a digit that would make the number greater
// than 255 is refused and the field shows "255", all selected, instead. Pasted text is limited to digits.
class TFloatEdit : public QLineEdit
{
    Q_OBJECT

public:
    static constexpr int kMaximum = 255;

    explicit TFloatEdit(QWidget* parent = nullptr);

    // Empty, or a decimal number from 0 to kMaximum. Text set by the program may be anything.
    bool hasValidOctet() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString textWithTyped(QChar digit) const;
};

} // namespace kovrel
