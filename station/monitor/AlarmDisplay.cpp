#include "AlarmDisplay.h"

#include "common/Clock.h"
#include "common/FieldNumbers.h"
#include "common/Form.h"
#include "common/NumberText.h"
#include "records/EventLog.h"

// One alarm kind's fields, its enable box and its caption texts.
struct AlarmRule {
    AlarmKind kind;
    int currentField;
    int watchThresholdField;
    int warningThresholdField;
    int enableBox; // chktrig index
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

AlarmDisplay::AlarmDisplay(Form &form, EventState &events, EventLog &log, const Clock &clock)
    : form_(form), events_(events), log_(log), clock_(clock)
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
    // DO 0 as the previous response's lamp loop left it.
    return form_.DIO[0].backColor() == OutputOn && form_.chktrig[rule.enableBox].isChecked();
}

float AlarmDisplay::raisePeak(const AlarmRule &rule)
{
    const float current = float(form_.txtReal.value(rule.currentField));
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
            form_.lblAlarm.setVisible(false);
        latch = false;
        return;
    }
    raisePeak(rule);
    const float threshold = float(form_.txtReal.value(rule.watchThresholdField));
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
    const float threshold = float(form_.txtReal.value(rule.warningThresholdField));
    if (threshold > peak || alarm.warningShown)
        return;
    showCaption(rule, rule.warningText);
    bool passed = false;
    switch (rule.passed) {
    case AlarmRule::Passed::Below80Percent:
        passed = double(peak) * 0.8 > form_.txtReal.value(rule.currentField);
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
    const double axis = form_.txtReal.value(Field::PgaTriggerAxis);
    for (int k = 0; k < 4; ++k) {
        if (axis == k)
            return QLatin1String(AxisUnits[k]);
    }
    return std::nullopt;
}

void AlarmDisplay::showCaption(const AlarmRule &rule, const char *text)
{
    if (const auto unit = unitText(rule))
        form_.lblAlarm.setText(QLatin1String(text) +
                               NumberText::singleText(events_.alarm(rule.kind).peak) + *unit);
    form_.lblAlarm.setVisible(true);
}

void AlarmDisplay::logCaption()
{
    log_.appendAlarmLog(NumberText::generalDateTime(clock_.now()) + QLatin1Char(' ') +
                        form_.lblAlarm.text());
}

void AlarmDisplay::updateIntensityDisplay()
{
    form_.lblIntensity.setText(form_.txtReal.text(Field::Intensity));
    events_.setIntensity(form_.txtReal.text(Field::Intensity));
    form_.lblMode.setText(form_.txtReal.bit(Field::OptionWord, 0) ? QStringLiteral("GB/T mode")
                                                                  : QStringLiteral("TW mode"));
    updateLamps();
}

void AlarmDisplay::updateLamps()
{
    for (int k = 0; k < 16; ++k) {
        const QColor on = k < 8 ? OutputOn : InputOn;
        form_.DIO[k].setBackColor(form_.txtReal.bit(Field::DigitalIo, k) ? on : LampOff);
    }
}
