#include "DisplaySettings.h"

#include "common/NumberText.h"

#include <algorithm>

DisplaySettings::DisplaySettings(QObject *parent) : QObject(parent)
{
    followRangeBox(accelerationBox_, accelerationRange_,
                   &DisplaySettings::accelerationRangeChanged);
    followRangeBox(pdBox_, pdRange_, &DisplaySettings::pdRangeChanged);
    followRangeBox(displacementBox_, displacementRange_,
                   &DisplaySettings::displacementRangeChanged);
    connect(&spanBox_, &Control::textChanged, this, &DisplaySettings::takeTypedSpan);
    connect(&spanBox_, &Control::chosen, this, &DisplaySettings::takeChosenSpan);
}

// A range typed or chosen from the list goes in force; a text that is no range leaves the one
// in force as it is.
void DisplaySettings::followRangeBox(Control &box, double &inForce, ChangeSignal changed)
{
    for (auto signal : {&Control::textChanged, &Control::chosen})
        connect(&box, signal, this, [this, &box, &inForce, changed] {
            if (const auto range = rangeOf(box))
                putInForce(inForce, *range, changed);
        });
}

// Text typed into a box counts only once it is a number above zero: while the operator types,
// an empty text, a lone "-" or "." keeps the range, and a range of zero or less would draw
// every trace as a flat line on the chart's edge or leave no sample on view.
std::optional<double> DisplaySettings::typedRange(const Control &box)
{
    double value = 0;
    if (!NumberText::parseNumber(box.text(), &value) || value <= 0)
        return std::nullopt;
    return value;
}

bool DisplaySettings::isAuto(const Control &box)
{
    return box.text().trimmed().compare(QLatin1String(AutoRange), Qt::CaseInsensitive) == 0;
}

std::optional<double> DisplaySettings::rangeOf(const Control &box) const
{
    const bool offersAuto = &box == &accelerationBox_ || &box == &displacementBox_;
    if (offersAuto && isAuto(box))
        return FittedRange;
    return typedRange(box);
}

double DisplaySettings::spanBoxSeconds() const
{
    return NumberText::leadingNumber(spanBox_.text());
}

bool DisplaySettings::accepts(const Control &box) const
{
    return rangeOf(box).has_value();
}

QString DisplaySettings::rangeInForce(const Control &box) const
{
    double range = spanSeconds_;
    if (&box == &accelerationBox_)
        range = accelerationRange_;
    else if (&box == &pdBox_)
        range = pdRange_;
    else if (&box == &displacementBox_)
        range = displacementRange_;
    return range == FittedRange ? QString::fromLatin1(AutoRange) : NumberText::doubleText(range);
}

void DisplaySettings::showRangeInForce(Control &box)
{
    const QString inForce = rangeInForce(box);
    if (box.text() != inForce)
        box.setText(inForce);
}

void DisplaySettings::settleRanges()
{
    const std::pair<Control *, double> boxes[] = {{&accelerationBox_, DefaultAccelerationRange},
                                                  {&pdBox_, DefaultPdRange},
                                                  {&displacementBox_, DefaultDisplacementRange},
                                                  {&spanBox_, DefaultSpanSeconds}};
    for (const auto &[box, fallback] : boxes)
        if (!accepts(*box))
            box->setText(QString::number(fallback));
}

// A typed span above the longest one is cut to it in the box as well.
void DisplaySettings::takeTypedSpan()
{
    const auto seconds = typedRange(spanBox_);
    if (!seconds)
        return;
    if (*seconds > MaxTypedSpanSeconds)
        spanBox_.setText(QString::number(MaxTypedSpanSeconds));
    putInForce(spanSeconds_, std::min(*seconds, double(MaxTypedSpanSeconds)),
               &DisplaySettings::spanChanged);
}

// A span chosen from the list is taken as it is.
void DisplaySettings::takeChosenSpan()
{
    if (const auto seconds = typedRange(spanBox_))
        putInForce(spanSeconds_, *seconds, &DisplaySettings::spanChanged);
}

void DisplaySettings::putInForce(double &inForce, double value, ChangeSignal changed)
{
    if (inForce == value)
        return;
    inForce = value;
    emit(this->*changed)(value);
}
