#include "SettingRegisters.h"

#include "OptionWords.h"
#include "common/LiveFields.h"

namespace Setting
{

namespace
{

std::optional<qint64> octetValue(WritePlan &plan, const LiveFields &fields,
                                 const SettingRegister &setting, int octet)
{
    return plan.fieldValue(fields, setting.edit + octet, setting.factor, captionOf(setting, octet),
                           setting.low, setting.high);
}

} // namespace

QString captionOf(const SettingRegister &setting, int octet)
{
    const QString caption = QString::fromUtf8(setting.caption);
    return octet < 0 ? caption : QStringLiteral("%1 %2").arg(caption).arg(octet + 1);
}

std::optional<qint64> valueOf(WritePlan &plan, const LiveFields &fields,
                              const SettingRegister &setting)
{
    return plan.fieldValue(fields, setting.edit, setting.factor, captionOf(setting), setting.low,
                           setting.high,
                           setting.unit ? QString::fromLatin1(setting.unit) : QString());
}

void write(WritePlan &plan, const LiveFields &fields, const SettingRegister &setting)
{
    if (setting.octets == 1) {
        if (const auto value = valueOf(plan, fields, setting))
            plan.write(setting.reg, *value);
        return;
    }
    if (!setting.packed) {
        for (int k = 0; k < setting.octets; ++k)
            if (const auto value = octetValue(plan, fields, setting, k))
                plan.write(setting.reg + k, *value);
        return;
    }
    for (int pair = 0; pair < setting.octets / 2; ++pair) {
        const auto high = octetValue(plan, fields, setting, 2 * pair);
        const auto low = octetValue(plan, fields, setting, 2 * pair + 1);
        if (high && low)
            plan.write(setting.reg + pair, OptionWords::packBytes(*high, *low));
    }
}

void copyLiveToEdit(LiveFields &fields, const SettingRegister &setting)
{
    for (int k = 0; k < setting.octets; ++k)
        fields.setText(setting.edit + k, fields.text(setting.live + k));
}

} // namespace Setting
