#include "Control.h"

void Control::setText(const QString &text)
{
    if (text_ == text)
        return;
    text_ = text;
    emit changed();
    emit textChanged();
}

void Control::choose(const QString &text)
{
    if (text_ != text) {
        text_ = text;
        emit changed();
    }
    emit chosen();
}

void Control::setVisible(bool visible)
{
    if (visible_ == visible)
        return;
    visible_ = visible;
    emit changed();
}

void Control::setEnabled(bool enabled)
{
    if (enabled_ == enabled)
        return;
    enabled_ = enabled;
    emit changed();
}

void Control::setChecked(bool checked)
{
    if (checked_ == checked)
        return;
    checked_ = checked;
    emit changed();
    emit checkedChanged();
}

void Control::setBackColor(const QColor &color)
{
    if (backColor_ == color)
        return;
    backColor_ = color;
    emit changed();
}

void Control::setForeColor(const QColor &color)
{
    if (foreColor_ == color)
        return;
    foreColor_ = color;
    emit changed();
}

void Control::setItems(const QStringList &items)
{
    if (items_ == items)
        return;
    items_ = items;
    emit changed();
}
