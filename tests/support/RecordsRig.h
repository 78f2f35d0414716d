#pragma once

#include "Fakes.h"
#include "common/ProgramFolder.h"
#include "common/Readout.h"
#include "records/EventFile.h"
#include "records/EventLog.h"
#include "records/RecordingSettings.h"
#include "records/SampleRing.h"

#include <QTemporaryDir>

// The records side of a station on a temporary program folder: the readout, the event log,
// the sample ring, the recording settings and the event file, with an operator and a shell
// that only record. The clock stands still unless a benchmark asks for the real one.
template <class RigClock = FakeClock> struct RecordsRig {
    QTemporaryDir dir;
    ProgramFolder folder{dir.path()};
    RigClock clock;
    RecordingShell shell;
    ScriptedPrompter prompter;
    Readout readout;
    EventLog eventLog{readout.liveFields, readout.statusLine, folder, clock, prompter, shell};
    SampleRing ring;
    RecordingSettings recording;
    EventFile eventFile{ring, recording, readout.liveFields, eventLog, folder, clock};
};
