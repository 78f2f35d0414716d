#pragma once

#include "RecordsRig.h"
#include "StationFixture.h"
#include "monitor/AlarmDisplay.h"
#include "monitor/AlarmPanel.h"
#include "monitor/EventState.h"
#include "monitor/TriggerLogic.h"

// The monitor's units on the records side, a standing clock and recording charts: the live
// fields, the alarm panel and the event state. The trigger logic follows every live field, as
// in the station.
struct MonitorRig : RecordsRig<> {
    MonitorRig()
    {
        QObject::connect(&readout.liveFields, &LiveFields::changed, &readout,
                         [this](int i) { trigger.onFieldChanged(i); });
    }
    LiveFields &fields() { return readout.liveFields; }
    QString file(const QString &name) const { return dir.filePath(name); }
    QStringList logLines() const
    {
        return StationFixture::logLinesIn(dir.path(), clock.now().date());
    }

    AlarmPanel panel;
    EventState events;
    RecordingChart strip1{4};
    RecordingChart strip3{2};
    TriggerLogic trigger{readout.liveFields, panel, events, eventLog, eventFile,
                         recording,          clock, strip1, strip3};
    AlarmDisplay display{readout.liveFields, panel, events, eventLog, clock};
};
