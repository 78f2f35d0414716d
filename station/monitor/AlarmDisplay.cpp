#include "AlarmDisplay.h"

#include "common/Clock.h"
#include "common/FieldNumbers.h"
#include "common/LiveFields.h"
#include "common/NumberText.h"
#include "records/EventLog.h"

// One alarm kind's fields, its enable box and its caption texts.
struct AlarmRule {
    AlarmKind kind;
    int currentField;
    int watchThresholdField;
    int warningThresholdField;
    int enableBit; // of the trigger mode
    const char *watchText;
    const char *warningText;
    bool unitByAxis;
    enum class Passed { Below80Percent, AtZero, BelowPeak } passed;
};

namespace
{

const AlarmRule Rules[] = {
    {AlarmKind::Displacement, Field::Displacement, Field::DisplacementWatchThreshold,
     Field::DisplacementWarningThreshold, 0, "Displacement Watch ", "Displacement Warning ", false,
     AlarmRule::Passed::Below80Percent},
    {AlarmKind::Pd, Field::Pd, Field::PdWatchThreshold, Field::PdWarningThreshold, 1, "P Watch Pd ",
     "P Warning Pd ", false, AlarmRule::Passed::AtZero},
    {AlarmKind::Pga, Field::Pga, Field::PgaWatchThreshold, Field::PgaWarningThreshold, 2,
     "PGA Watch ", "PGA Warning ", true, AlarmRule::Passed::BelowPeak},
};

const char *const AxisUnits[] = {"gal", "gal a-axis", "gal b-axis", "gal c-axis"};

} // namespace

AlarmDisplay::AlarmDisplay(const LiveFields &fields, AlarmPanel &panel, EventState &events,
                           EventLog &log, const Clock &clock)
    : fields_(fields), panel_(panel), events_(events), log_(log), clock_(clock)
{
}

void AlarmDisplay::evaluateAlarms(AlarmGate gate)
{
    for (const AlarmRule &rule : Rules)
        watchBlock(rule, gate);
    for (const AlarmRule &rule : Rules)
        warningBlock(rule);
}

bool AlarmDisplay::watchGateOpen(const AlarmRule &rule, AlarmGate gate) const
{
    if (gate == AlarmGate::Trigger)
        return events_.alarm(rule.kind).triggerActive;
    return alarmOutputOn_ && fields_.bit(Field::TriggerMode, rule.enableBit);
}

float AlarmDisplay::raisePeak(const AlarmRule &rule)
{
    const float current = float(fields_.value(rule.currentField));
    float &peak = events_.alarm(rule.kind).peak;
    if (current > peak)
        peak = current;
    return current;
}

void AlarmDisplay::watchBlock(const AlarmRule &rule, AlarmGate gate)
{
    bool &latch = events_.alarm(rule.kind).watchShown;
    if (!watchGateOpen(rule, gate)) {
        if (latch)
            panel_.caption.setVisible(false);
        latch = false;
        return;
    }
    raisePeak(rule);
    const float threshold = float(fields_.value(rule.watchThresholdField));
    if (threshold <= events_.alarm(rule.kind).peak && !latch) {
        showCaption(rule, rule.watchText);
        logCaption();
        latch = true;
    }
}

void AlarmDisplay::warningBlock(const AlarmRule &rule)
{
    EventState::Alarm &alarm = events_.alarm(rule.kind);
    if (!alarm.triggerActive)
        return;
    const float current = raisePeak(rule);
    const float peak = alarm.peak;
    const float threshold = float(fields_.value(rule.warningThresholdField));
    if (threshold > peak || alarm.warningShown)
        return;
    showCaption(rule, rule.warningText);
    bool passed = false;
    switch (rule.passed) {
    case AlarmRule::Passed::Below80Percent:
        passed = double(peak) * 0.8 > fields_.value(rule.currentField);
        break;
    case AlarmRule::Passed::AtZero:
        passed = current == 0;
        break;
    case AlarmRule::Passed::BelowPeak:
        passed = current < peak;
        break;
    }
    if (passed) {
        logCaption();
        alarm.warningShown = true;
    }
}

std::optional<QLatin1String> AlarmDisplay::unitText(const AlarmRule &rule) const
{
    if (!rule.unitByAxis)
        return QLatin1String(" cm");
    const double axis = fields_.value(Field::PgaTriggerAxis);
    for (int k = 0; k < 4; ++k) {
        if (axis == k)
            return QLatin1String(AxisUnits[k]);
    }
    return std::nullopt;
}

void AlarmDisplay::showCaption(const AlarmRule &rule, const char *text)
{
    if (const auto unit = unitText(rule))
        panel_.caption.setText(QLatin1String(text) +
                               NumberText::singleText(events_.alarm(rule.kind).peak) + *unit);
    panel_.caption.setVisible(true);
}

void AlarmDisplay::logCaption()
{
    log_.appendAlarmLog(NumberText::generalDateTime(clock_.now()) + QLatin1Char(' ') +
                        panel_.caption.text());
}

void AlarmDisplay::updateIntensityDisplay()
{
    panel_.intensity.setText(fields_.text(Field::Intensity));
    events_.setIntensity(fields_.text(Field::Intensity));
    panel_.scaleName.setText(fields_.bit(Field::OptionWord, 0) ? QStringLiteral("GB/T mode")
                                                               : QStringLiteral("TW mode"));
    updateLamps();
}

void AlarmDisplay::updateLamps()
{
    for (int k = 0; k < 16; ++k) {
        const QColor on = k < 8 ? OutputOn : InputOn;
        panel_.ioLamps[std::size_t(k)].setBackColor(fields_.bit(Field::DigitalIo, k) ? on
                                                                                     : LampOff);
    }
    alarmOutputOn_ = fields_.bit(Field::DigitalIo, 0);
}
