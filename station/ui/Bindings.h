#pragma once

class Control;
class LiveFields;
class QAbstractButton;
class QComboBox;
class QLabel;
class QLineEdit;
class QString;
class QObject;
class QWidget;

#include <functional>

// Two-way bindings between the form's control models and widgets: the model is the truth,
// the widget mirrors it and reports the operator's edits back.
namespace Bindings
{

// The model's back and fore colours as the widget's style sheet, set only when it changes:
// setting it, even unchanged, restyles, lays out and repaints. A model without colours leaves
// the widget's own style.
void mirrorColours(const Control &model, QWidget *widget);
void visibility(Control &model, QWidget *widget);
void label(Control &model, QLabel *widget);
void lineEdit(Control &model, QLineEdit *widget);
void checkable(Control &model, QAbstractButton *widget);
void button(Control &model, QAbstractButton *widget);
void comboBox(Control &model, QComboBox *widget);
// A label showing live field `index` (text and visibility). A field not yet read, or still
// holding its design placeholder, shows "—"; `decimals` >= 0 shows the value with that many
// decimals whichever way it was read (poll or stream).
void liveField(LiveFields &fields, int index, QLabel *widget, int decimals = -1);
// Runs `run` while `owner` lives, whenever live field `index` changes its text (or, for the
// second, its visibility or enabled state). One connection serves all fields: a widget
// connected to every change would be asked about each of the hundreds of fields.
void onFieldChange(LiveFields &fields, int index, QObject *owner, std::function<void()> run);
void onFieldStateChange(LiveFields &fields, int index, QObject *owner, std::function<void()> run);
// `refresh`, to be run on every change of something `owner` shows, as run at once and then at
// most ten times a second, the last change always shown.
std::function<void()> paced(QObject *owner, std::function<void()> refresh);
// What the window shows of a live field's text.
QString shownFieldText(const QString &text, int decimals = -1);

} // namespace Bindings
