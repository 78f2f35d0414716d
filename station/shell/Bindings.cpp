#include "Bindings.h"

#include "common/Control.h"
#include "common/LiveFields.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>

namespace Bindings
{

namespace
{

void mirrorCommon(Control &model, QWidget *widget)
{
    widget->setEnabled(model.isEnabled());
    if (model.backColor().isValid() || model.foreColor().isValid()) {
        QString style;
        if (model.backColor().isValid())
            style += QStringLiteral("background-color: %1;").arg(model.backColor().name());
        if (model.foreColor().isValid())
            style += QStringLiteral("color: %1;").arg(model.foreColor().name());
        widget->setStyleSheet(style);
    }
}

} // namespace

void visibility(Control &model, QWidget *widget)
{
    auto sync = [&model, widget] {
        widget->setVisible(model.isVisible());
        mirrorCommon(model, widget);
    };
    QObject::connect(&model, &Control::changed, widget, sync);
    sync();
}

void label(Control &model, QLabel *widget)
{
    auto sync = [&model, widget] {
        widget->setText(model.text());
        widget->setVisible(model.isVisible());
        mirrorCommon(model, widget);
    };
    QObject::connect(&model, &Control::changed, widget, sync);
    sync();
}

void lineEdit(Control &model, QLineEdit *widget)
{
    auto sync = [&model, widget] {
        if (widget->text() != model.text())
            widget->setText(model.text());
        widget->setVisible(model.isVisible());
        mirrorCommon(model, widget);
    };
    QObject::connect(&model, &Control::changed, widget, sync);
    QObject::connect(widget, &QLineEdit::textEdited, &model,
                     [&model](const QString &text) { model.setText(text); });
    sync();
}

void checkable(Control &model, QAbstractButton *widget)
{
    auto sync = [&model, widget] {
        const QSignalBlocker block(widget);
        widget->setChecked(model.isChecked());
        widget->setVisible(model.isVisible());
        mirrorCommon(model, widget);
    };
    QObject::connect(&model, &Control::changed, widget, sync);
    QObject::connect(widget, &QAbstractButton::toggled, &model,
                     [&model](bool on) { model.setChecked(on); });
    sync();
}

void button(Control &model, QAbstractButton *widget)
{
    auto sync = [&model, widget] {
        if (!model.text().isEmpty())
            widget->setText(model.text());
        widget->setVisible(model.isVisible());
        mirrorCommon(model, widget);
    };
    QObject::connect(&model, &Control::changed, widget, sync);
    sync();
}

// Typed text is taken as typed: no inline completion turns "10" into "1000", and Enter adds
// nothing to the list.
void comboBox(Control &model, QComboBox *widget)
{
    widget->setEditable(true);
    widget->setCompleter(nullptr);
    widget->setInsertPolicy(QComboBox::NoInsert);
    auto sync = [&model, widget] {
        const QSignalBlocker block(widget);
        QStringList current;
        for (int i = 0; i < widget->count(); ++i)
            current << widget->itemText(i);
        if (current != model.items()) {
            widget->clear();
            widget->addItems(model.items());
        }
        if (widget->currentText() != model.text())
            widget->setEditText(model.text());
        widget->setVisible(model.isVisible());
        mirrorCommon(model, widget);
    };
    QObject::connect(&model, &Control::changed, widget, sync);
    QObject::connect(widget->lineEdit(), &QLineEdit::textEdited, &model,
                     [&model](const QString &text) { model.setText(text); });
    QObject::connect(widget, &QComboBox::activated, &model,
                     [&model, widget](int index) { model.choose(widget->itemText(index)); });
    sync();
}

void liveField(LiveFields &fields, int index, QLabel *widget)
{
    auto sync = [&fields, index, widget] {
        widget->setText(fields.text(index));
        widget->setVisible(fields.isVisible(index));
    };
    auto onChange = [index, sync](int changed) {
        if (changed == index)
            sync();
    };
    QObject::connect(&fields, &LiveFields::changed, widget, onChange);
    QObject::connect(&fields, &LiveFields::stateChanged, widget, onChange);
    sync();
}

} // namespace Bindings
