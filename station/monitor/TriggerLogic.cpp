#include "TriggerLogic.h"

#include "common/Clock.h"
#include "common/Colours.h"
#include "common/FieldNumbers.h"
#include "common/Form.h"
#include "common/NumberText.h"
#include "common/StripChart.h"
#include "records/EventFile.h"
#include "records/EventLog.h"
#include "records/RecordingSettings.h"

// The event flags' bits 0..2, one per alarm kind: the field the peak starts from and the
// log lines. Displacement logs every rise of its bit; Pd and PGA only their first, and they
// hold the P-wave alarm while they run.
struct AlarmTrigger {
    AlarmKind kind;
    int currentField;
    const char *startLine;
    const char *endCaption;
    bool logEveryChange;
    bool holdsPWaveAlarm;
};

namespace
{

constexpr AlarmTrigger AlarmTriggers[] = {
    {AlarmKind::Displacement, Field::Displacement, "Displacement trig", "Displacement End", true,
     false},
    {AlarmKind::Pd, Field::Pd, "Pd trig", "P End", false, true},
    {AlarmKind::Pga, Field::Pga, "Pga trig", "PGA End", false, true},
};
} // namespace

TriggerLogic::TriggerLogic(Form &form, EventState &events, EventLog &log, EventFile &eventFile,
                           const RecordingSettings &recording, const Clock &clock,
                           StripChart &strip1, StripChart &strip3)
    : form_(form), events_(events), log_(log), eventFile_(eventFile), recording_(recording),
      clock_(clock), strip1_(strip1), strip3_(strip3)
{
}

void TriggerLogic::takePacket(const DecodedPacket &packet)
{
    if (!packet.isStream())
        return;
    float &pd = events_.alarm(AlarmKind::Pd).peak;
    float &displacement = events_.alarm(AlarmKind::Displacement).peak;
    for (const DecodedPacket::Sample &sample : packet.samples) {
        pd = qMax(pd, float(sample.pd));
        displacement = qMax(displacement, float(sample.displacement));
    }
}

void TriggerLogic::onFieldChanged(int i)
{
    switch (i) {
    case Field::EventFlags:
        eventFlagsChanged();
        break;
    case Field::PWaveFlag:
        pWaveFlagChanged();
        break;
    case Field::DeviceStatus:
        deviceStatusChanged();
        break;
    case Field::TriggerMode:
        triggerModeChanged();
        break;
    case Field::PgaWarningThreshold:
        thresholdChanged(Field::PgaWarningThreshold, form_.cboPga);
        break;
    case Field::PgaWatchThreshold:
        thresholdChanged(Field::PgaWatchThreshold, form_.cboPga1);
        break;
    case Field::FirmwareVersion:
        firmwareVersionChanged();
        break;
    default:
        break;
    }
}

void TriggerLogic::logLine(const QString &text)
{
    log_.appendAlarmLog(NumberText::generalDateTime(clock_.now()) + QLatin1Char(' ') + text);
}

void TriggerLogic::logEndCaption(const QString &caption)
{
    form_.lblAlarm.setText(caption);
    form_.lblAlarm.setVisible(false);
    logLine(form_.lblAlarm.text());
}

// ---- Field 11: event flags ----

void TriggerLogic::eventFlagsChanged()
{
    const LiveFields &f = form_.txtReal;
    for (const AlarmTrigger &trigger : AlarmTriggers)
        kindTrigger(trigger, f.bit(Field::EventFlags, int(trigger.kind)));
    staLtaTrigger(f.bit(Field::EventFlags, 3));
    if (f.value(Field::EventFlags) != 0)
        eventRunning();
    else
        eventOver();
}

// A field the device has not reported yet still shows the "not yet read" mark; seeding a peak
// from it would log a warning with a value nobody measured.
float TriggerLogic::seedPeak(int field) const
{
    const LiveFields &f = form_.txtReal;
    return f.text(field) == QLatin1String(LiveFields::NotYetRead) ? 0.0f : float(f.value(field));
}

void TriggerLogic::kindTrigger(const AlarmTrigger &trigger, bool set)
{
    EventState::Alarm &alarm = events_.alarm(trigger.kind);
    Control &lamp = form_.lblEvent[std::size_t(trigger.kind)];
    if (set) {
        lamp.setVisible(true);
        if (trigger.logEveryChange || !alarm.triggerActive)
            logLine(QLatin1String(trigger.startLine));
        alarm.peak = seedPeak(trigger.currentField);
        if (trigger.holdsPWaveAlarm)
            events_.setPWaveAlarmActive(true);
        alarm.triggerActive = true;
    } else if (alarm.triggerActive) {
        lamp.setVisible(false);
        if (trigger.holdsPWaveAlarm)
            events_.setPWaveAlarmActive(false);
        logEndCaption(QLatin1String(trigger.endCaption));
        alarm.triggerActive = false;
        alarm.warningShown = false;
        alarm.peak = 0;
    }
}

void TriggerLogic::staLtaTrigger(bool set)
{
    form_.lblEvent[3].setVisible(set);
    if (set)
        logLine(QStringLiteral("STA/LTA trig"));
}

void TriggerLogic::eventRunning()
{
    // A change of the flags within an event keeps the file that is pending for it anchored at
    // its first start: moving its trigger row to a later change would reach past the newest
    // recorded row. An event that begins while an earlier one's file is still pending is an
    // event of its own, with its own start and file.
    if (!events_.isInProgress() || !eventFile_.isLatestPending()) {
        // Before the first streamed packet there is no device time to anchor the event to.
        const bool deviceTimeKnown = recording_.recordMode() && deviceClock_.isValid();
        events_.setStartTime(deviceTimeKnown ? deviceClock_ : clock_.now());
        eventFile_.beginEvent(events_.startTime());
    }
    if (recording_.recordMode()) {
        eventFile_.armPostAlarm();
        form_.lblRec.setVisible(true);
    }
    form_.lblIntensity.setBackColor(Colours::Red);
    events_.run();
}

void TriggerLogic::eventOver()
{
    // The first response after a connect, or Record mode's "0" at OK, clears the flags while
    // no event runs; that must not end an event or leave a summary with no event behind it.
    if (!events_.isInProgress())
        return;
    events_.end();
    form_.lblIntensity.setBackColor(Colours::IdleGrey);
    form_.lblIntensity.setForeColor(Colours::Green);
    form_.lblAlarm.setVisible(false);
}

// ---- Field 39: P-wave flag ----

void TriggerLogic::pWaveFlagChanged()
{
    const LiveFields &f = form_.txtReal;
    if (f.bit(Field::PWaveFlag, 5) && !f.bit(Field::PWaveFlag, 6)) {
        const EventState::Alarm &pd = events_.alarm(AlarmKind::Pd);
        const EventState::Alarm &pga = events_.alarm(AlarmKind::Pga);
        if (pd.watchShown || pga.watchShown || pd.warningShown || pga.warningShown)
            return;
        if (!events_.pWaveAlarmActive()) {
            form_.lblAlarm.setText(QStringLiteral("P Wave"));
            form_.lblAlarm.setVisible(true);
        }
        strip1_.markCurrentSample();
        strip3_.markCurrentSample();
        // With a Pd or PGA trigger already running no caption may be on show yet (or only an
        // old hidden one): the line then names the P wave rather than being empty or stale.
        const bool captionShown = form_.lblAlarm.isVisible() && !form_.lblAlarm.text().isEmpty();
        logLine(captionShown ? form_.lblAlarm.text() : QStringLiteral("P Wave"));
    }
    EventState::Alarm &pga = events_.alarm(AlarmKind::Pga);
    if (f.value(Field::PWaveFlag) == 0 && !events_.pWaveAlarmActive() && !pga.triggerActive) {
        form_.lblAlarm.setVisible(false);
        pga.peak = 0;
    }
}

// ---- Field 0: device status ----

void TriggerLogic::deviceStatusChanged()
{
    static constexpr struct {
        int bit;
        int field;
    } Indicators[] = {{0, 201}, {1, 202}, {2, 214}, {4, 239}};
    for (const auto &indicator : Indicators) {
        const bool on = form_.txtReal.bit(Field::DeviceStatus, indicator.bit);
        form_.txtReal.setText(indicator.field, on ? QStringLiteral("Yes") : QStringLiteral("NO"));
    }
}

// ---- Fields 63, 61, 21: trigger settings mirrored on the options page ----

void TriggerLogic::triggerModeChanged()
{
    for (int k = 0; k < 4; ++k)
        form_.chktrig[k].setChecked(form_.txtReal.bit(Field::TriggerMode, k));
    const bool filter20Hz = form_.txtReal.bit(Field::TriggerMode, 7);
    form_.optLPF[0].setChecked(!filter20Hz);
    form_.optLPF[1].setChecked(filter20Hz);
}

void TriggerLogic::thresholdChanged(int field, Control &combo)
{
    combo.setText(NumberText::doubleText(form_.txtReal.value(field)));
}

// ---- Field 99: firmware version ----

void TriggerLogic::firmwareVersionChanged()
{
    const double v = form_.txtReal.value(Field::FirmwareVersion);
    if (v > 2080)
        form_.chkMMI.setEnabled(true);
    if (v > 2101)
        form_.chkKMA.setEnabled(true);
    if (v > 2079) {
        form_.chkRVD.setEnabled(true);
        form_.Label1_64.setVisible(true);
        form_.wrt_rvd_ip.setEnabled(true);
        form_.modify_rvd_ip.setEnabled(true);
        for (int i = 244; i <= 247; ++i)
            form_.txtReal.setEnabled(i, true);
    }
    if (v > 2094) {
        form_.Label37.setVisible(true);
        form_.txtReal.setVisible(248, true);
        form_.txtReal.setVisible(249, true);
    }
    if (v < 2077)
        return;
    if (form_.userMode == 1) {
        form_.Label21.setVisible(true);
        form_.Label22.setVisible(true);
        for (int i = 235; i <= 238; ++i)
            form_.txtReal.setVisible(i, true);
    }
}
