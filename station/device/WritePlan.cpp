#include "WritePlan.h"

#include "common/LiveFields.h"
#include "common/NumberText.h"

#include <cmath>

std::optional<qint64> WritePlan::fieldValue(const LiveFields &fields, int field, double factor,
                                            const QString &caption, qint64 low, qint64 high,
                                            const QString &unit)
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
    const QString range = QStringLiteral("%1 to %2")
                              .arg(boundText(low, factor, false), boundText(high, factor, true));
    refuse(field, unit.isEmpty()
                      ? QStringLiteral("%1 \"%2\" is outside %3").arg(caption, text, range)
                      : QStringLiteral("%1 %2 %3 is outside %4 %3")
                            .arg(caption, text.trimmed(), unit, range));
    return std::nullopt;
}

QString WritePlan::boundText(qint64 limit, double factor, bool upper)
{
    if (factor == 1)
        return QString::number(limit);
    // As many decimals as the factor resolves: 1000 gives thousandths, 16.7184 hundredths.
    const int decimals = qMax(0, int(std::ceil(std::log10(factor))));
    const double scale = std::pow(10.0, decimals);
    const double exact = double(limit) / factor * scale;
    const double inside = upper ? std::floor(exact + 1e-9) : std::ceil(exact - 1e-9);
    return NumberText::doubleText(inside / scale);
}

void WritePlan::refuse(int field, const QString &problem)
{
    problems_ << problem;
    wrongFields_ << field;
}

void WritePlan::writeField(int reg, const LiveFields &fields, int field, double factor,
                           const QString &caption, qint64 low, qint64 high, const QString &unit)
{
    if (const std::optional<qint64> value =
            fieldValue(fields, field, factor, caption, low, high, unit))
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
