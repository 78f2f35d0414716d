#pragma once

class Control;
class LiveFields;
class QAbstractButton;
class QComboBox;
class QLabel;
class QLineEdit;
class QWidget;

// Two-way bindings between the form's control models and widgets: the model is the truth,
// the widget mirrors it and reports the operator's edits back.
namespace Bindings
{

void visibility(Control &model, QWidget *widget);
void label(Control &model, QLabel *widget);
void lineEdit(Control &model, QLineEdit *widget);
void checkable(Control &model, QAbstractButton *widget);
void button(Control &model, QAbstractButton *widget);
void comboBox(Control &model, QComboBox *widget);
// A label showing live field `index` (text and visibility).
void liveField(LiveFields &fields, int index, QLabel *widget);

} // namespace Bindings
