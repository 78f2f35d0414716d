#include "WritePlan.h"

#include "common/LiveFields.h"
#include "common/NumberText.h"

#include <cmath>

std::optional<qint64> WritePlan::fieldValue(const LiveFields &fields, int field, double factor,
                                            const QString &caption, qint64 low, qint64 high)
{
    const QString text = fields.text(field);
    if (text.trimmed() == QLatin1String(LiveFields::NotYetRead)) {
        refuse(field, QStringLiteral("%1 has not been read from the device yet").arg(caption));
        return std::nullopt;
    }
    const double scaled = fields.value(field) * factor;
    // The bound before rounding keeps huge or infinite texts from wrapping into range.
    const bool representable = std::isfinite(scaled) && std::fabs(scaled) < 1e12;
    const qint64 value = representable ? NumberText::roundHalfEven(scaled) : 0;
    if (representable && value >= low && value <= high)
        return value;
    const QString range = QStringLiteral("%1 to %2").arg(low).arg(high);
    refuse(field, factor == 1 ? QStringLiteral("%1 \"%2\" is outside %3").arg(caption, text, range)
                              : QStringLiteral("%1 \"%2\" × %3 is outside %4")
                                    .arg(caption, text, NumberText::doubleText(factor), range));
    return std::nullopt;
}

void WritePlan::refuse(int field, const QString &problem)
{
    problems_ << problem;
    wrongFields_ << field;
}

void WritePlan::writeField(int reg, const LiveFields &fields, int field, double factor,
                           const QString &caption, qint64 low, qint64 high)
{
    if (const std::optional<qint64> value = fieldValue(fields, field, factor, caption, low, high))
        write(reg, *value);
}

void WritePlan::write(int reg, qint64 value, bool pauseAfter)
{
    writes_ << Write{reg, value, false, pauseAfter};
}

void WritePlan::skip(bool pauseAfter)
{
    writes_ << Write{0, 0, true, pauseAfter};
}
