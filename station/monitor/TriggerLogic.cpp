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

namespace
{

// Enabling a running timer must not restart its interval: the flags change on many
// responses while an event runs, and the voice would otherwise never come due.
void enable(QTimer &timer)
{
    if (!timer.isActive())
        timer.start();
}

} // namespace

TriggerLogic::TriggerLogic(Form &form, EventLog &log, EventFile &eventFile,
                           const RecordingSettings &recording, const Clock &clock,
                           StripChart &strip1, StripChart &strip3)
    : form_(form), log_(log), eventFile_(eventFile), recording_(recording), clock_(clock),
      strip1_(strip1), strip3_(strip3)
{
}

void TriggerLogic::takePacket(const DecodedPacket &packet)
{
    if (!packet.isStream())
        return;
    for (const DecodedPacket::Sample &sample : packet.samples) {
        form_.peakPd = qMax(form_.peakPd, float(sample.pd));
        form_.peakDisplacement = qMax(form_.peakDisplacement, float(sample.displacement));
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
    displacementTrigger(f.bit(Field::EventFlags, 0));
    pdTrigger(f.bit(Field::EventFlags, 1));
    pgaTrigger(f.bit(Field::EventFlags, 2));
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

void TriggerLogic::displacementTrigger(bool set)
{
    if (set) {
        form_.peakDisplacement = seedPeak(Field::Displacement);
        form_.dispTriggerActive = true;
        form_.lblEvent[0].setVisible(true);
        logLine(QStringLiteral("Displacement trig"));
    } else if (form_.dispTriggerActive) {
        form_.lblEvent[0].setVisible(false);
        logEndCaption(QStringLiteral("Displacement End"));
        form_.dispTriggerActive = false;
        form_.dispWarningShown = false;
        form_.peakDisplacement = 0;
    }
}

void TriggerLogic::pdTrigger(bool set)
{
    if (set) {
        form_.lblEvent[1].setVisible(true);
        if (!form_.pdTriggerActive)
            logLine(QStringLiteral("Pd trig"));
        form_.peakPd = seedPeak(Field::Pd);
        form_.pWaveAlarmActive = true;
        form_.pdTriggerActive = true;
    } else if (form_.pdTriggerActive) {
        form_.lblEvent[1].setVisible(false);
        form_.pWaveAlarmActive = false;
        logEndCaption(QStringLiteral("P End"));
        form_.pdTriggerActive = false;
        form_.pdWarningShown = false;
        form_.peakPd = 0;
    }
}

void TriggerLogic::pgaTrigger(bool set)
{
    if (set) {
        form_.lblEvent[2].setVisible(true);
        if (!form_.pgaTriggerActive)
            logLine(QStringLiteral("Pga trig"));
        form_.peakPga = seedPeak(Field::Pga);
        form_.pWaveAlarmActive = true;
        form_.pgaTriggerActive = true;
    } else if (form_.pgaTriggerActive) {
        form_.lblEvent[2].setVisible(false);
        form_.pWaveAlarmActive = false;
        logEndCaption(QStringLiteral("PGA End"));
        form_.pgaTriggerActive = false;
        form_.pgaWarningShown = false;
        form_.peakPga = 0;
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
    // While an event file is pending it stays anchored at the event's first start: moving its
    // trigger row to a later change of the flags would reach past the newest recorded row.
    if (!eventFile_.isPending()) {
        // Before the first streamed packet there is no device time to anchor the event to.
        const bool deviceTimeKnown = recording_.recordMode() && form_.deviceClockTime.isValid();
        form_.eventStartTime = deviceTimeKnown ? form_.deviceClockTime : clock_.now();
        eventFile_.beginEvent(form_.eventStartTime);
    }
    enable(form_.Timer1);
    enable(form_.Voice_timer);
    if (recording_.recordMode()) {
        eventFile_.armPostAlarm();
        form_.lblRec.setVisible(true);
    }
    form_.lblIntensity.setBackColor(Colours::Red);
}

void TriggerLogic::eventOver()
{
    // The first response after a connect, or Record mode's "0" at OK, clears the flags while
    // no event runs; that must not end an event or leave a summary with no event behind it.
    if (!form_.eventInProgress())
        return;
    form_.Timer1.stop();
    form_.lblIntensity.setBackColor(Colours::IdleGrey);
    form_.lblIntensity.setForeColor(Colours::Green);
    form_.lblAlarm.setVisible(false);
    form_.Voice_timer.stop();
    form_.lastVoiceLevel = 0;
    form_.summaryPending = true;
}

// ---- Field 39: P-wave flag ----

void TriggerLogic::pWaveFlagChanged()
{
    const LiveFields &f = form_.txtReal;
    if (f.bit(Field::PWaveFlag, 5) && !f.bit(Field::PWaveFlag, 6)) {
        if (form_.pdWatchShown || form_.pgaWatchShown || form_.pdWarningShown ||
            form_.pgaWarningShown)
            return;
        if (!form_.pWaveAlarmActive) {
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
    if (f.value(Field::PWaveFlag) == 0 && !form_.pWaveAlarmActive && !form_.pgaTriggerActive) {
        form_.lblAlarm.setVisible(false);
        form_.peakPga = 0;
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
