#include "TriggerLogic.h"

#include "common/Clock.h"
#include "common/Colours.h"
#include "common/FieldNumbers.h"
#include "common/LiveFields.h"
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

TriggerLogic::TriggerLogic(LiveFields &fields, AlarmPanel &panel, EventState &events, EventLog &log,
                           EventFile &eventFile, const RecordingSettings &recording,
                           const Clock &clock, StripChart &strip1, StripChart &strip3)
    : fields_(fields), panel_(panel), events_(events), log_(log), eventFile_(eventFile),
      recording_(recording), clock_(clock), strip1_(strip1), strip3_(strip3)
{
    // The summary of an event this logic began and ended; its file's journal notes it so that
    // a recovery does not write it again. The log outlives the event file that writes to it.
    QObject::connect(&events, &EventState::summaryDue, &eventFile,
                     [&log, &eventFile](const QDateTime &start) {
                         log.writeEventSummary(start);
                         eventFile.summaryWritten(start);
                     });
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
    panel_.caption.setText(caption);
    panel_.caption.setVisible(false);
    logLine(panel_.caption.text());
}

// ---- Field 11: event flags ----

void TriggerLogic::eventFlagsChanged()
{
    const LiveFields &f = fields_;
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
    const LiveFields &f = fields_;
    return f.text(field) == QLatin1String(LiveFields::NotYetRead) ? 0.0f : float(f.value(field));
}

void TriggerLogic::kindTrigger(const AlarmTrigger &trigger, bool set)
{
    EventState::Alarm &alarm = events_.alarm(trigger.kind);
    Control &lamp = panel_.triggerLamps[std::size_t(trigger.kind)];
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
    panel_.triggerLamps[3].setVisible(set);
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
        panel_.recording.setVisible(true);
    }
    panel_.intensity.setBackColor(Colours::Red);
    events_.run();
}

void TriggerLogic::eventOver()
{
    // The first response after a connect, or Record mode's "0" at OK, clears the flags while
    // no event runs; that must not end an event or leave a summary with no event behind it.
    if (!events_.isInProgress())
        return;
    events_.end();
    panel_.intensity.setBackColor(Colours::IdleGrey);
    panel_.intensity.setForeColor(Colours::Green);
    panel_.caption.setVisible(false);
}

// ---- Field 39: P-wave flag ----

void TriggerLogic::pWaveFlagChanged()
{
    const LiveFields &f = fields_;
    if (f.bit(Field::PWaveFlag, 5) && !f.bit(Field::PWaveFlag, 6)) {
        const EventState::Alarm &pd = events_.alarm(AlarmKind::Pd);
        const EventState::Alarm &pga = events_.alarm(AlarmKind::Pga);
        if (pd.watchShown || pga.watchShown || pd.warningShown || pga.warningShown)
            return;
        if (!events_.pWaveAlarmActive()) {
            panel_.caption.setText(QStringLiteral("P Wave"));
            panel_.caption.setVisible(true);
        }
        strip1_.markCurrentSample();
        strip3_.markCurrentSample();
        // With a Pd or PGA trigger already running no caption may be on show yet (or only an
        // old hidden one): the line then names the P wave rather than being empty or stale.
        const bool captionShown = panel_.caption.isVisible() && !panel_.caption.text().isEmpty();
        logLine(captionShown ? panel_.caption.text() : QStringLiteral("P Wave"));
    }
    EventState::Alarm &pga = events_.alarm(AlarmKind::Pga);
    if (f.value(Field::PWaveFlag) == 0 && !events_.pWaveAlarmActive() && !pga.triggerActive) {
        panel_.caption.setVisible(false);
        pga.peak = 0;
    }
}

// ---- Field 0: device status ----

void TriggerLogic::deviceStatusChanged()
{
    static constexpr struct {
        int bit;
        int field;
    } Indicators[] = {{0, Field::NtpStatus},
                      {1, Field::Server0Connected},
                      {2, Field::Server1Connected},
                      {4, Field::DisplayConnected}};
    for (const auto &indicator : Indicators) {
        const bool on = fields_.bit(Field::DeviceStatus, indicator.bit);
        fields_.setText(indicator.field, on ? QStringLiteral("Yes") : QStringLiteral("NO"));
    }
}
