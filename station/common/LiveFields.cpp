#include "LiveFields.h"

#include "NumberText.h"

LiveFields::LiveFields(QObject *parent) : QObject(parent) {}

QString LiveFields::text(int i) const
{
    return valid(i) ? fields_[i].text : QString();
}

bool LiveFields::isRead(int i) const
{
    const QString value = text(i).trimmed();
    return !value.isEmpty() && value != QLatin1String(NotYetRead);
}

void LiveFields::setText(int i, const QString &text)
{
    if (!valid(i) || fields_[i].text == text)
        return;
    fields_[i].text = text;
    fields_[i].value = NumberText::leadingNumber(text);
    emit changed(i);
}

double LiveFields::value(int i) const
{
    return valid(i) ? fields_[i].value : 0;
}

qint64 LiveFields::integer(int i) const
{
    return NumberText::roundHalfEven(value(i));
}

bool LiveFields::bit(int i, int k) const
{
    return k >= 0 && k < 63 && ((quint64(integer(i)) >> k) & 1u) != 0;
}

bool LiveFields::isVisible(int i) const
{
    return valid(i) && fields_[i].visible;
}

void LiveFields::setVisible(int i, bool visible)
{
    if (!valid(i) || fields_[i].visible == visible)
        return;
    fields_[i].visible = visible;
    emit stateChanged(i);
}

bool LiveFields::isEnabled(int i) const
{
    return valid(i) && fields_[i].enabled;
}

void LiveFields::setEnabled(int i, bool enabled)
{
    if (!valid(i) || fields_[i].enabled == enabled)
        return;
    fields_[i].enabled = enabled;
    emit stateChanged(i);
}
