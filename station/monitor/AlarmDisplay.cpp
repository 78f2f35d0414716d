#include "AlarmDisplay.h"

#include "common/Clock.h"
#include "common/FieldNumbers.h"
#include "common/Form.h"
#include "common/NumberText.h"
#include "records/EventLog.h"

// One trigger kind: its fields, the state it keeps in the form and its caption texts.
struct AlarmKind {
    int currentField;
    int watchThresholdField;
    int warningThresholdField;
    int enableBox; // chktrig index
    bool Form::*triggerActive;
    bool Form::*watchShown;
    bool Form::*warningShown;
    float Form::*peak;
    const char *watchText;
    const char *warningText;
    bool unitByAxis;
    enum class Passed { Below80Percent, AtZero, BelowPeak } passed;
};

namespace
{

const AlarmKind Kinds[] = {
    {Field::Displacement, Field::DisplacementWatchThreshold, Field::DisplacementWarningThreshold, 0,
     &Form::dispTriggerActive, &Form::dispWatchShown, &Form::dispWarningShown,
     &Form::peakDisplacement, "Displacement Watch ", "Displacement Warning ", false,
     AlarmKind::Passed::Below80Percent},
    {Field::Pd, Field::PdWatchThreshold, Field::PdWarningThreshold, 1, &Form::pdTriggerActive,
     &Form::pdWatchShown, &Form::pdWarningShown, &Form::peakPd, "P Watch Pd ", "P Warning Pd ",
     false, AlarmKind::Passed::AtZero},
    {Field::Pga, Field::PgaWatchThreshold, Field::PgaWarningThreshold, 2, &Form::pgaTriggerActive,
     &Form::pgaWatchShown, &Form::pgaWarningShown, &Form::peakPga, "PGA Watch ", "PGA Warning ",
     true, AlarmKind::Passed::BelowPeak},
};

const char *const AxisUnits[] = {"gal", "gal a-axis", "gal b-axis", "gal c-axis"};

} // namespace

AlarmDisplay::AlarmDisplay(Form &form, EventLog &log, const Clock &clock)
    : form_(form), log_(log), clock_(clock)
{
}

void AlarmDisplay::EvaluateAlarms(AlarmGate gate)
{
    for (const AlarmKind &kind : Kinds)
        watchBlock(kind, gate);
    for (const AlarmKind &kind : Kinds)
        warningBlock(kind);
}

bool AlarmDisplay::watchGateOpen(const AlarmKind &kind, AlarmGate gate) const
{
    if (gate == AlarmGate::Trigger)
        return form_.*kind.triggerActive;
    // DO 0 as the previous response's lamp loop left it.
    return form_.DIO[0].backColor() == OutputOn && form_.chktrig[kind.enableBox].isChecked();
}

float AlarmDisplay::raisePeak(const AlarmKind &kind)
{
    const float current = float(form_.txtReal.value(kind.currentField));
    if (current > form_.*kind.peak)
        form_.*kind.peak = current;
    return current;
}

void AlarmDisplay::watchBlock(const AlarmKind &kind, AlarmGate gate)
{
    bool &latch = form_.*kind.watchShown;
    if (!watchGateOpen(kind, gate)) {
        if (latch)
            form_.lblAlarm.setVisible(false);
        latch = false;
        return;
    }
    raisePeak(kind);
    const float threshold = float(form_.txtReal.value(kind.watchThresholdField));
    if (threshold <= form_.*kind.peak && !latch) {
        showCaption(kind, kind.watchText);
        logCaption();
        latch = true;
    }
}

void AlarmDisplay::warningBlock(const AlarmKind &kind)
{
    bool &latch = form_.*kind.warningShown;
    if (!(form_.*kind.triggerActive))
        return;
    const float current = raisePeak(kind);
    const float peak = form_.*kind.peak;
    const float threshold = float(form_.txtReal.value(kind.warningThresholdField));
    if (threshold > peak || latch)
        return;
    showCaption(kind, kind.warningText);
    bool passed = false;
    switch (kind.passed) {
    case AlarmKind::Passed::Below80Percent:
        passed = double(peak) * 0.8 > form_.txtReal.value(kind.currentField);
        break;
    case AlarmKind::Passed::AtZero:
        passed = current == 0;
        break;
    case AlarmKind::Passed::BelowPeak:
        passed = current < peak;
        break;
    }
    if (passed) {
        logCaption();
        latch = true;
    }
}

std::optional<QLatin1String> AlarmDisplay::unitText(const AlarmKind &kind) const
{
    if (!kind.unitByAxis)
        return QLatin1String(" cm");
    const double axis = form_.txtReal.value(Field::PgaTriggerAxis);
    for (int k = 0; k < 4; ++k) {
        if (axis == k)
            return QLatin1String(AxisUnits[k]);
    }
    return std::nullopt;
}

void AlarmDisplay::showCaption(const AlarmKind &kind, const char *text)
{
    if (const auto unit = unitText(kind))
        form_.lblAlarm.setText(QLatin1String(text) + NumberText::singleText(form_.*kind.peak) +
                               *unit);
    form_.lblAlarm.setVisible(true);
}

void AlarmDisplay::logCaption()
{
    log_.appendAlarmLog(NumberText::generalDateTime(clock_.now()) + QLatin1Char(' ') +
                        form_.lblAlarm.text());
}

void AlarmDisplay::UpdateIntensityDisplay()
{
    form_.lblIntensity.setText(form_.txtReal.text(Field::Intensity));
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
