#include "StationFixture.h"
#include "monitor/AlarmDisplay.h"

#include <benchmark/benchmark.h>

namespace
{

// A station whose next response starts a displacement event past its Watch threshold.
struct AlertRig {
    AlertRig()
    {
        LiveFields &fields = readout.liveFields;
        fields.setText(97, QStringLiteral("1.0"));
        fields.setText(59, QStringLiteral("1.5"));
        fields.setText(39, QStringLiteral("0"));
        fields.setText(11, QStringLiteral("0"));
    }
    void endEvent()
    {
        readout.liveFields.setText(11, QStringLiteral("0"));
        readout.liveFields.setText(39, QStringLiteral("0"));
        f.station->alarmDisplay().evaluateAlarms(AlarmGate::Trigger);
    }
    bool alerted() const
    {
        return f.station->alarmPanel().caption.isVisible() &&
               f.station->eventState().isInProgress();
    }

    StationFixture f;
    Readout &readout = f.station->readout();
};

// The event flags as a decoder writes them: the trigger's log line and the event start.
void EventFlagsToTriggerLog(benchmark::State &state)
{
    AlertRig rig;
    for (auto _ : state) {
        rig.readout.liveFields.setText(11, QStringLiteral("1"));
        state.PauseTiming();
        rig.endEvent();
        state.ResumeTiming();
    }
    if (rig.f.logLines().isEmpty())
        state.SkipWithError("no trigger line logged");
}
BENCHMARK(EventFlagsToTriggerLog)->Unit(benchmark::kMicrosecond);

// One alerting response: event flags, P-wave flag, then the alarm evaluation the decoder
// runs; ends with the trigger, P-wave and Watch lines logged and the alarm caption showing.
void AlertingResponse(benchmark::State &state)
{
    AlertRig rig;
    AlarmDisplay &display = rig.f.station->alarmDisplay();
    bool alerted = true;
    for (auto _ : state) {
        rig.readout.liveFields.setText(11, QStringLiteral("1"));
        rig.readout.liveFields.setText(39, QStringLiteral("32"));
        display.evaluateAlarms(AlarmGate::Trigger);
        display.updateIntensityDisplay();
        state.PauseTiming();
        alerted = alerted && rig.alerted() &&
                  rig.f.station->alarmPanel().caption.text() ==
                      QLatin1String("Displacement Watch 1.5 cm");
        rig.endEvent();
        state.ResumeTiming();
    }
    if (!alerted)
        state.SkipWithError("the response did not raise the alarm");
}
BENCHMARK(AlertingResponse)->Unit(benchmark::kMicrosecond);

// The cost every response pays when nothing changes.
void QuietResponse(benchmark::State &state)
{
    AlertRig rig;
    AlarmDisplay &display = rig.f.station->alarmDisplay();
    for (auto _ : state) {
        display.evaluateAlarms(AlarmGate::Lamp);
        display.updateIntensityDisplay();
    }
}
BENCHMARK(QuietResponse)->Unit(benchmark::kNanosecond);

} // namespace
