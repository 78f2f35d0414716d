#pragma once

#include "FakeLinkDecoder.h"
#include "Fakes.h"

#include <QSignalSpy>
#include <QStringList>

// The charts come first so that they outlive the decoder drawing on them.
struct RecordingDecoderCharts {
    RecordingChart strip1{4};
    RecordingChart strip3{2};
};

// A decoder with recording charts, and spies on what it asks of the alarm display and the
// manual recording.
struct DecoderRig : RecordingDecoderCharts, FakeLinkDecoder {
    DecoderRig() : FakeLinkDecoder(strip1, strip3)
    {
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

    QSignalSpy alarms{&decoder, &Decoder::evaluateAlarmsDue};
    QSignalSpy intensity{&decoder, &Decoder::intensityDisplayDue};
    QSignalSpy manual{&decoder, &Decoder::manualSample};
};
