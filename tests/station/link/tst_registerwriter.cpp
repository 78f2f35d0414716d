#include "FakeLinks.h"
#include "Fakes.h"
#include "link/LinkSettings.h"
#include "link/PollState.h"
#include "link/RegisterWriter.h"

#include <QTest>
#include <QTimer>

class TestRegisterWriter : public QObject
{
    Q_OBJECT
private slots:
    void serialWriteBytes();
    void refusedValueSendsNothing();
    void tcpUnitIdentifierIsAlwaysTheLinkAddress();
    void closedClientReconnectsThenSends();
    void waitEndsOnAnyPacket();
    void silentDeviceTimesOut();
    void noLinkEndsAtOnce();
    void serverLinkUsedWhenNotClient();
};

namespace
{

struct Rig {
    PollState poll;
    LinkSettings settings;
    FakeLinks links;
    FakeWaiter waiter;
    RegisterWriter writer{poll, settings, links.serial, links.client, links.server, links, waiter};
};

} // namespace

void TestRegisterWriter::serialWriteBytes()
{
    Rig r;
    r.poll.unitAddress = 1;
    QCOMPARE(r.writer.writeRegisterSerial(118, 3), WriteOutcome::Sent);
    QCOMPARE(r.links.serialWrites.value(0).toHex(), QByteArray("0106007600032811"));
}

void TestRegisterWriter::refusedValueSendsNothing()
{
    Rig r;
    r.links.clientConnected = false;
    QCOMPARE(r.writer.writeRegisterSerial(118, 65536), WriteOutcome::Refused);
    QCOMPARE(r.writer.writeRegisterTcp(118, 65536), WriteOutcome::Refused);
    QVERIFY(r.links.serialWrites.isEmpty());
    QVERIFY(r.links.clientSends.isEmpty());
    QCOMPARE(r.links.reconnects, 0);
    QVERIFY(!r.poll.awaitingReply);
}

void TestRegisterWriter::tcpUnitIdentifierIsAlwaysTheLinkAddress()
{
    Rig r;
    r.poll.unitAddress = 1; // the TCP links always use 1
    r.links.clientConnected = true;
    r.links.onSend = [&r] { r.poll.awaitingReply = false; };
    r.writer.writeRegisterTcp(192, 1);
    QCOMPARE(r.links.clientSends.value(0).toHex(), QByteArray("000000000006010600c00001"));
}

void TestRegisterWriter::closedClientReconnectsThenSends()
{
    Rig r;
    r.links.clientConnected = false;
    r.links.onSend = [&r] { r.poll.awaitingReply = false; };
    QCOMPARE(r.writer.writeRegisterTcp(118, 0), WriteOutcome::Answered);
    QCOMPARE(r.links.reconnects, 1);
    QCOMPARE(r.links.clientSends.size(), 1);
}

void TestRegisterWriter::waitEndsOnAnyPacket()
{
    Rig r;
    r.links.clientConnected = true;
    // The packet arrives a little later, through the event loop.
    r.links.onSend = [&r] { QTimer::singleShot(20, [&r] { r.poll.awaitingReply = false; }); };
    QCOMPARE(r.writer.writeRegisterTcp(118, 0), WriteOutcome::Answered);
    QCOMPARE(r.waiter.timeouts, QList<int>{RegisterWriter::ReplyTimeoutMs});
}

void TestRegisterWriter::silentDeviceTimesOut()
{
    Rig r;
    r.links.clientConnected = true;
    r.waiter.waitCapMs = 50; // stands in for the 2 s of real time
    QCOMPARE(r.writer.writeRegisterTcp(118, 0), WriteOutcome::NoAnswer);
    QVERIFY(r.poll.awaitingReply); // the next packet clears it
}

void TestRegisterWriter::noLinkEndsAtOnce()
{
    Rig r;
    r.links.connectSucceeds = false;
    QCOMPARE(r.writer.writeRegisterTcp(118, 0), WriteOutcome::NoLink);
    QCOMPARE(r.links.reconnects, 1); // reconnects once, no more
    QVERIFY(r.waiter.timeouts.isEmpty());
}

void TestRegisterWriter::serverLinkUsedWhenNotClient()
{
    Rig r;
    r.settings.kind = LinkKind::TcpServer;
    r.links.clientConnected = true;
    r.links.serverConnected = true;
    r.links.onSend = [&r] { r.poll.awaitingReply = false; };
    r.writer.writeRegisterTcp(192, 1);
    QCOMPARE(r.links.serverSends.size(), 1);
    QVERIFY(r.links.clientSends.isEmpty());
    QCOMPARE(r.links.reconnects, 0);
}

QTEST_GUILESS_MAIN(TestRegisterWriter)
#include "tst_registerwriter.moc"
