#pragma once

#include "Fakes.h"
#include "StationFixture.h"
#include "common/ProgramFolder.h"
#include "common/Readout.h"
#include "monitor/AlarmDisplay.h"
#include "monitor/AlarmPanel.h"
#include "monitor/EventState.h"
#include "monitor/TriggerLogic.h"
#include "records/EventFile.h"
#include "records/EventLog.h"
#include "records/RecordingSettings.h"
#include "records/SampleRing.h"

#include <QTemporaryDir>

// The monitor's units on their own collaborators: the live fields, the alarm panel and the
// event state, the event log and event file in a temporary program folder, a standing clock
// and recording charts. The trigger logic follows every live field, as in the station.
struct MonitorRig {
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

    QTemporaryDir dir;
    ProgramFolder folder{dir.path()};
    FakeClock clock;
    RecordingShell shell;
    ScriptedPrompter prompter;
    Readout readout;
    AlarmPanel panel;
    EventState events;
    EventLog log{readout.liveFields, readout.statusLine, folder, clock, prompter, shell};
    SampleRing ring;
    RecordingSettings recording;
    EventFile eventFile{ring, recording, readout.liveFields, log, folder, clock};
    RecordingChart strip1{4};
    RecordingChart strip3{2};
    TriggerLogic trigger{readout.liveFields, panel, events, log,   eventFile,
                         recording,          clock, strip1, strip3};
    AlarmDisplay display{readout.liveFields, panel, events, log, clock};
};
