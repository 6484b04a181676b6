// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <initializer_list>

class QAbstractButton;
class QBoxLayout;

namespace kovrel {

// Ends a dialog's layout with its foot: a sunken line across, then the buttons at the right in the order
// given.
void AddDialogFooter(QBoxLayout* layout, std::initializer_list<QAbstractButton*> buttons);

} // namespace kovrel
