// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialog_footer.h"

#include <QAbstractButton>
#include <QBoxLayout>
#include <QFrame>

namespace kovrel {

void AddDialogFooter(QBoxLayout* layout, std::initializer_list<QAbstractButton*> buttons)
{
    auto* line = new QFrame;
    line->setObjectName(QStringLiteral("footerLine"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    layout->addWidget(line);

    auto* row = new QHBoxLayout;
    row->addStretch();
    for (QAbstractButton* button : buttons) {
        row->addWidget(button);
    }
    layout->addLayout(row);
}

} // namespace kovrel
