#pragma once

#include "FakeLinks.h"
#include "Fakes.h"
#include "common/ProgramFolder.h"
#include "link/Decoder.h"
#include "monitor/ChartFeed.h"
#include "records/EventLog.h"
#include "shell/Form.h"

#include <QSignalSpy>
#include <QStringList>
#include <QTemporaryDir>

// A decoder on a temporary program folder, with fake links and recording charts, and spies
// on what it asks of the alarm display and the manual recording.
struct DecoderRig {
    DecoderRig()
    {
        links.clientConnected = true;
        links.serverConnected = true;
        form.cboXaxis.setText(QStringLiteral("10"));
        strip1.recordSamples = false;
        strip3.recordSamples = false;
    }

    QStringList fieldTexts() const
    {
        QStringList texts;
        for (int i = 0; i < LiveFields::Count; ++i)
            texts << form.txtReal.text(i);
        return texts;
    }
    QString field(int i) const { return form.txtReal.text(i); }

    QTemporaryDir dir;
    ProgramFolder folder{dir.path()};
    FakeClock clock;
    ScriptedPrompter prompter;
    RecordingShell shell;
    Form form;
    FakeLinks links;
    RecordingChart strip1{4};
    RecordingChart strip3{2};
    EventLog eventLog{form, folder, clock, prompter, shell};
    ChartFeed chartFeed{form, strip1, strip3};
    Decoder decoder{form, links, eventLog, chartFeed, folder};
    QSignalSpy alarms{&decoder, &Decoder::evaluateAlarmsDue};
    QSignalSpy intensity{&decoder, &Decoder::intensityDisplayDue};
    QSignalSpy manual{&decoder, &Decoder::manualSample};
};
