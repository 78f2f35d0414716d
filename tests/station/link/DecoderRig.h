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

// The samples that reach the manual recording, each as its a, b, c.
struct ManualFeed {
    QList<QList<QVariant>> rows;
    qsizetype count() const { return rows.size(); }
    QList<QVariant> at(qsizetype i) const { return rows.at(i); }
};

// A decoder with recording charts, and spies on what it asks of the alarm display and the
// manual recording.
struct DecoderRig : RecordingDecoderCharts, FakeLinkDecoder {
    DecoderRig() : FakeLinkDecoder(strip1, strip3)
    {
        strip1.recordSamples = false;
        strip3.recordSamples = false;
        QObject::connect(&decoder, &Decoder::packetDecoded, [this](const DecodedPacket &packet) {
            if (!packet.feedsManualRecording())
                return;
            for (const DecodedPacket::Sample &s : packet.samples)
                manual.rows << QList<QVariant>{float(s.a), float(s.b), float(s.c)};
        });
    }

    QStringList fieldTexts() const
    {
        QStringList texts;
        for (int i = 0; i < LiveFields::Count; ++i)
            texts << readout.liveFields.text(i);
        return texts;
    }
    QString field(int i) const { return readout.liveFields.text(i); }

    QSignalSpy alarms{&decoder, &Decoder::evaluateAlarmsDue};
    QSignalSpy intensity{&decoder, &Decoder::intensityDisplayDue};
    ManualFeed manual;
};
