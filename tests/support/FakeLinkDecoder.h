#pragma once

#include "FakeLinks.h"
#include "Fakes.h"
#include "common/ProgramFolder.h"
#include "link/Decoder.h"
#include "monitor/ChartFeed.h"
#include "records/EventLog.h"
#include "shell/Form.h"

#include <QTemporaryDir>

// A decoder on a temporary program folder, both TCP links connected (fakes), drawing on the
// charts it is given: strip1 for the accelerations, strip3 for the displacement.
struct FakeLinkDecoder {
    FakeLinkDecoder(StripChart &strip1, StripChart &strip3) : chartFeed{form, strip1, strip3}
    {
        links.clientConnected = true;
        links.serverConnected = true;
        form.cboXaxis.setText(QStringLiteral("10"));
    }

    QTemporaryDir dir;
    ProgramFolder folder{dir.path()};
    FakeClock clock;
    ScriptedPrompter prompter;
    RecordingShell shell;
    Form form;
    FakeLinks links;
    EventLog eventLog{form, folder, clock, prompter, shell};
    ChartFeed chartFeed;
    Decoder decoder{form, links, eventLog, chartFeed, folder};
};
