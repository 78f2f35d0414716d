#include "Controls.h"

TextControl::TextControl(const QString &text, QObject *parent) : QObject(parent), value(text) {}

void TextControl::setText(const QString &text)
{
    if (text == value)
        return;
    value = text;
    emit textChanged(value);
}

CheckControl::CheckControl(bool checked, QObject *parent) : QObject(parent), value(checked) {}

void CheckControl::setChecked(bool checked)
{
    if (checked == value)
        return;
    value = checked;
    emit checkedChanged(value);
}

QString ListControl::selectedRow() const
{
    return selected >= 0 ? items.at(selected) : QString();
}

void ListControl::addItem(const QString &row)
{
    items.append(row);
    emit rowsChanged();
}

// Removing a row keeps the selection on the same row where it still exists, as a list box
// does; removing the selected row leaves nothing selected.
void ListControl::removeItem(int index)
{
    if (index < 0 || index >= count())
        return;
    items.removeAt(index);
    emit rowsChanged();
    if (index == selected)
        setListIndex(-1);
    else if (index < selected)
        setListIndex(selected - 1);
}

void ListControl::clear()
{
    items.clear();
    emit rowsChanged();
    setListIndex(-1);
}

void ListControl::setListIndex(int index)
{
    const int bounded = (index >= 0 && index < count()) ? index : -1;
    if (bounded == selected)
        return;
    selected = bounded;
    emit listIndexChanged(selected);
}
