#pragma once

#include "FakeLinks.h"
#include "RecordsRig.h"
#include "link/Decoder.h"
#include "link/LinkStatus.h"
#include "link/PollState.h"
#include "monitor/ChartFeed.h"
#include "monitor/EventState.h"
#include "monitor/TriggerLogic.h"

// A decoder on a temporary program folder, both TCP links connected (fakes), drawing on the
// charts it is given: strip1 for the accelerations, strip3 for the displacement. Its packets
// reach the peaks, the sample ring and the charts as in the station.
struct FakeLinkDecoder : RecordsRig<> {
    FakeLinkDecoder(StripChart &strip1, StripChart &strip3)
        : chartFeed{display, strip1, strip3, clock},
          triggerLogic{readout.liveFields, panel, events, eventLog, eventFile,
                       recording,          clock, strip1, strip3}
    {
        links.clientConnected = true;
        links.serverConnected = true;
        display.spanBox().setText(QStringLiteral("10"));
        QObject::connect(&decoder, &Decoder::packetDecoded, [this](const DecodedPacket &packet) {
            triggerLogic.takePacket(packet);
            ring.take(packet);
            chartFeed.takePacket(packet);
        });
        QObject::connect(&decoder, &Decoder::answerDecoded, &events, &EventState::countAnswer);
        QObject::connect(&decoder, &Decoder::deviceAddressSeen, &readout.deviceAddress,
                         &Control::setText);
        QObject::connect(&decoder, &Decoder::deviceEventTimeChanged, &readout.deviceEventTime,
                         &Control::setText);
    }

    PollState poll;
    LinkStatus status;
    FakeLinks links;
    AlarmPanel panel;
    DisplaySettings display;
    ChartFeed chartFeed;
    EventState events;
    TriggerLogic triggerLogic;
    Decoder decoder{readout.liveFields, readout.statusLine, poll,  status, links.serial,
                    links.client,       links.server,       links, folder};
};
