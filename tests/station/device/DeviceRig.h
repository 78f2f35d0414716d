#pragma once

#include "FakeLinks.h"
#include "Fakes.h"
#include "RegisterWrites.h"
#include "common/Readout.h"
#include "device/ClockAdjust.h"
#include "device/DeviceCommands.h"
#include "device/DeviceSettings.h"
#include "device/NetworkSettings.h"
#include "device/SettingRegisters.h"
#include "link/LinkSettings.h"
#include "link/PollState.h"
#include "link/RegisterWriter.h"

#include <QTest>

// The device pages on a form with faked links, pauses, clock and operator.
struct DeviceRig {
    DeviceRig()
    {
        useSerial();
        links.onSend = [this] { poll.awaitingReply = false; }; // a device that answers
    }
    void useSerial() { link.kind = LinkKind::Rtu; }
    void useTcpClient()
    {
        link.kind = LinkKind::TcpClient;
        links.clientConnected = true;
    }
    QList<RegisterWrite> serialWrites() const { return RegisterWrites::rtu(links.serialWrites); }
    QList<RegisterWrite> clientWrites() const { return RegisterWrites::tcp(links.clientSends); }
    void setField(int i, const QString &text) { readout.liveFields.setText(i, text); }

    Readout readout;
    PollState poll;
    LinkSettings link;
    FakeLinks links;
    FakeWaiter waiter;
    FakeClock clock;
    ScriptedPrompter prompter;
    RegisterWriter writer{poll, link, links.serial, links.client, links.server, links, waiter};
    DeviceCommands commands{readout.statusLine, writer, waiter, prompter};
    DeviceSettings settings{readout.liveFields, commands, waiter, prompter};
    DevicePageControls &page = settings.controls();
    NetworkSettings network{readout.liveFields, commands};
    ClockAdjust clockAdjust{
        readout.liveFields, commands, writer, links.client, links, waiter, clock};
};

// A page refused for a wrong value: nothing written, no pause, and one message to the
// operator naming the field to blame.
inline void verifyRefused(const DeviceRig &r, const QString &blamed)
{
    QVERIFY(r.links.serialWrites.isEmpty());
    QVERIFY(r.waiter.pauses.isEmpty());
    QCOMPARE(r.prompter.told.size(), 1);
    QVERIFY2(r.prompter.told[0].contains(blamed), qPrintable(r.prompter.told[0]));
}
