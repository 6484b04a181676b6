// SPDX-License-Identifier: GPL-3.0-or-later
#include "macros_dlg.h"

#include <initializer_list>

#include <QApplication>
#include <QComboBox>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialog_footer.h"
#include "hot_keys.h"

namespace kovrel {

namespace {

using namespace Qt::Literals::StringLiterals;

// Wide enough for a short message without widening the dialog; longer ones scroll.
constexpr int kFieldWidthInCharacters = 32;

template <typename Widget> Widget* named(Widget* widget, const QString& objectName)
{
    widget->setObjectName(objectName);
    return widget;
}

// Only the weight is set, so that the rest of the font keeps following the dialog's.
void showBold(QLabel* label, bool bold)
{
    QFont weight;
    weight.setBold(true);
    label->setFont(bold ? weight : QFont());
}

QLabel* labelFor(QWidget* field, const QString& caption)
{
    auto* label = new QLabel(caption, field->parentWidget());
    label->setBuddy(field);
    return label;
}

} // namespace

TMacrosDlg::TMacrosDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(u"Ввод макроса"_s);
    createControls();
    arrangeControls();
    reserveBoldWidths();
    updateOkButton();
}

void TMacrosDlg::presetMacro(const Macro& macro)
{
    m_newMacro = false;
    Edit1->setText(macro.text);
    ComboBox1->setCurrentIndex(ComboBox1->findText(macro.hotKey));
}

bool TMacrosDlg::ExecuteMacroEntry()
{
    if (m_newMacro) {
        Edit1->clear();
        ComboBox1->setCurrentIndex(ComboBox1->findText(kNoHotKey.toString()));
    }
    Edit1->setFocus();
    return exec() == QDialog::Accepted;
}

Macro TMacrosDlg::enteredMacro() const
{
    return {ComboBox1->currentText(), Edit1->text()};
}

// Watches the whole application while the dialog is shown: a key goes straight to the focused control,
// which it would reach before any filter on the dialog itself. Focus moving between the fields turns
// their labels bold.
bool TMacrosDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (contains(watched)) {
        if (event->type() == QEvent::KeyPress && previewKey(static_cast<QKeyEvent*>(event)))
            return true;
        if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)
            updateFocusHighlight();
    }
    return QDialog::eventFilter(watched, event);
}

void TMacrosDlg::showEvent(QShowEvent* event)
{
    qApp->installEventFilter(this);
    QDialog::showEvent(event);
}

void TMacrosDlg::hideEvent(QHideEvent* event)
{
    qApp->removeEventFilter(this);
    QDialog::hideEvent(event);
}

void TMacrosDlg::createControls()
{
    Edit1 = named(new QLineEdit(this), u"Edit1"_s);
    Edit1->setMinimumWidth(Edit1->fontMetrics().averageCharWidth() * kFieldWidthInCharacters);
    connect(Edit1, &QLineEdit::textChanged, this, &TMacrosDlg::updateOkButton);
    ComboBox1 = named(new QComboBox(this), u"ComboBox1"_s);
    ComboBox1->addItems(HotKeyTexts());
    connect(ComboBox1, &QComboBox::currentIndexChanged, this, &TMacrosDlg::updateOkButton);

    Button1 = named(new QPushButton(u"Ok"_s, this), u"Button1"_s);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    Button2 = named(new QPushButton(u"Отмена"_s, this), u"Button2"_s);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

    m_messageLabel = labelFor(Edit1, u"Сообщение"_s);
    m_hotKeyLabel = labelFor(ComboBox1, u"Клавиша"_s);
}

// The two fields above a line, the buttons below it at the right.
void TMacrosDlg::arrangeControls()
{
    auto* fields = new QFormLayout;
    fields->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    fields->addRow(m_messageLabel, Edit1);
    fields->addRow(m_hotKeyLabel, ComboBox1);

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addLayout(fields);
    AddDialogFooter(layout, {Button1, Button2});
}

// Each label keeps the width of its bold form, so that the fields never move when it turns bold.
void TMacrosDlg::reserveBoldWidths()
{
    for (QLabel* label : {m_messageLabel, m_hotKeyLabel}) {
        showBold(label, true);
        label->setMinimumWidth(label->sizeHint().width());
        showBold(label, false);
    }
}

// The hot key list's pop-up is a window of its own, but still one of the dialog's objects.
bool TMacrosDlg::contains(const QObject* object) const
{
    for (; object; object = object->parent()) {
        if (object == this)
            return true;
    }
    return false;
}

// A hot key is picked and goes no further.
bool TMacrosDlg::previewKey(const QKeyEvent* event)
{
    const int index = ComboBox1->findText(KeyText(event->key(), event->modifiers()));
    if (index < 0)
        return false;
    ComboBox1->setCurrentIndex(index);
    return true;
}

void TMacrosDlg::updateOkButton()
{
    Button1->setEnabled(!Edit1->text().trimmed().isEmpty() && ComboBox1->currentIndex() >= 0);
}

// A label is bold while its field is this window's focus widget, which it stays while another window is
// active, such as the hot key list's pop-up.
void TMacrosDlg::updateFocusHighlight()
{
    for (QLabel* label : {m_messageLabel, m_hotKeyLabel})
        showBold(label, label->buddy() == focusWidget());
}

} // namespace kovrel
