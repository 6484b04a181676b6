// SPDX-License-Identifier: GPL-3.0-or-later
// Every control a keyboard user can reach has a name a screen reader can say (AT-SPI reads the same
// accessible interfaces).

#include "main_form_fixture.h"

#include "client_about_dialog.h"
#include "float_form.h"
#include "font_chooser_dialog.h"
#include "important_message_form.h"
#include "info_form.h"
#include "state_pictures.h"
#include "states_config_dlg.h"

#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>

namespace kovrel::test {
namespace {

// The parts of a composite control (a drop-down box's line, a spin box's line) are named by it.
bool isPartOfAControl(const QWidget* widget)
{
    const QWidget* parent = widget->parentWidget();
    return (parent &&
            (qobject_cast<const QComboBox*>(parent) || qobject_cast<const QAbstractSpinBox*>(parent))) ||
           widget->window()->inherits("QComboBoxPrivateContainer");
}

QString spokenName(QWidget* widget)
{
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    return accessible ? accessible->text(QAccessible::Name).trimmed() : QString();
}

QStringList unnamedControls(QWidget* window)
{
    QStringList unnamed;
    QList<QWidget*> widgets = window->findChildren<QWidget*>();
    widgets.prepend(window);
    for (QWidget* widget : widgets) {
        if (widget->focusPolicy() == Qt::NoFocus || isPartOfAControl(widget) ||
            !spokenName(widget).isEmpty()) {
            continue;
        }
        unnamed << QStringLiteral("%1 (%2) in %3")
                       .arg(widget->objectName(), QLatin1String(widget->metaObject()->className()),
                            QLatin1String(widget->window()->metaObject()->className()));
    }
    return unnamed;
}

TEST_F(MainFormTest, EveryFocusableControlOfEveryWindowHasAnAccessibleName)
{
    openWindow();
    // The windows made when they are needed, beside those the main window keeps.
    TClientAboutDialog about;
    TImpotatntMessageForm important;
    FontChooserDialog fonts;
    TInfoForm card;
    StateImageList pictures;
    TStatesConfigDlg states(pictures);
    TFloatForm floating(pictures);
    QStringList unnamed;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        unnamed << unnamedControls(window);
    }
    unnamed.removeDuplicates();
    EXPECT_TRUE(unnamed.isEmpty()) << unnamed.join(QLatin1Char('\n')).toStdString();
}

} // namespace
} // namespace kovrel::test
