#include "DeviceBytes.h"
#include "DevicePackets.h"
#include "PtyPair.h"
#include "StationFixture.h"
#include "TcpTap.h"
#include "common/FieldNumbers.h"
#include "link/DemoDevice.h"
#include "link/ModbusFrames.h"
#include "link/TcpServerLink.h"

#include <QTcpSocket>
#include <QTest>

// The station against the device simulator on loopback: polling back to back on the TCP client
// link and on a serial pty pair, streaming in Record mode and on the server link (dial-in).
// The fields must hold what the simulator really sent.
class TestEndToEnd : public QObject
{
    Q_OBJECT
private slots:
    void clientPollsBackToBack();
    void serialPollsBackToBack();
    void recordModeStreamsOnTheClientLink();
    void serverLinkStreamsFromADialIn();
    void garbageOnTheClientLinkChangesNothing();
    void garbageOnTheSerialLinkChangesNothing();
};

namespace
{

using namespace DeviceBytes;

// Registers whose field shows the plain value (signed), and the unsigned address words.
const QList<int> PlainOffsets = {18, 63, 71, 72, 73, 74, 80, 81, 82, 83, 92, 95, 99, 100};
const QList<int> AddressOffsets = {76, 77, 78, 79};

QStringList simulatorArgs(const QStringList &more)
{
    return QStringList{"--tcp", "0", "--serial", "4321", "--firmware", "2095"} + more;
}

bool startSimulator(DemoDevice &sim, const QStringList &more)
{
    QString error;
    const bool started = sim.start(QStringLiteral(DEVSIM_PROGRAM), simulatorArgs(more), &error);
    if (!started)
        qWarning() << "simulator:" << error;
    return started;
}

QByteArray lastPacketOfSize(const QByteArray &bytes, const std::function<bool(int)> &sizeFits)
{
    const QList<QByteArray> packets = devicePackets(bytes);
    for (auto it = packets.crbegin(); it != packets.crend(); ++it)
        if (sizeFits(int(it->size())))
            return *it;
    return {};
}

// Registers 99 onwards read straight from the simulator, in the answer's own words.
QByteArray readRegisters(quint16 port, int count)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(3000))
        return {};
    socket.write(ModbusFrames::tcpReadHolding(1, count));
    QByteArray answer;
    while (answer.size() < 9 + 2 * count && socket.waitForReadyRead(3000))
        answer += socket.readAll();
    return answer;
}

// Field i against register 99 + i of a Modbus answer whose data start at `firstByte`.
void compareRegisterFields(const Readout &readout, const QByteArray &answer, int firstByte)
{
    for (int i : PlainOffsets + AddressOffsets) {
        const int v = bigWord(answer, firstByte + 2 * i, AddressOffsets.contains(i));
        QVERIFY2(readout.liveFields.value(i) == v,
                 qPrintable(QStringLiteral("field %1: %2, device %3")
                                .arg(i)
                                .arg(readout.liveFields.text(i))
                                .arg(v)));
    }
}

// Stream values keep all their digits; Modbus accelerations are shown to two decimals.
void compareFloat(double shown, double sent, const char *what, double tolerance = 0.0005)
{
    QVERIFY2(
        qAbs(shown - sent) <= tolerance,
        qPrintable(
            QStringLiteral("%1: shown %2, sent %3").arg(QLatin1String(what)).arg(shown).arg(sent)));
}

// The last sample of a stream packet in the fields and the ring, and its header words.
void compareWithStream(const Readout &readout, const SampleRing &ring, const QByteArray &packet)
{
    QCOMPARE(packet.size(), StreamPacketSize);
    const int last = 100 + 5 * 99;
    const double a = littleWord(packet, last) * 0.0598, b = littleWord(packet, last + 1) * 0.0598,
                 c = littleWord(packet, last + 2) * 0.0598;
    const double pd = littleWord(packet, last + 3) / 1000.0,
                 disp = littleWord(packet, last + 4) / 1000.0;
    compareFloat(readout.liveFields.value(Field::AccelerationA), a, "a");
    compareFloat(readout.liveFields.value(Field::AccelerationB), b, "b");
    compareFloat(readout.liveFields.value(Field::AccelerationC), c, "c");
    compareFloat(readout.liveFields.value(Field::Pd), pd, "Pd");
    compareFloat(readout.liveFields.value(Field::Displacement), disp, "displacement");
    const SampleRing::Row &row =
        ring.row((ring.writeIndex() + SampleRing::Rows - 1) % SampleRing::Rows);
    compareFloat(row[0], a, "ring a");
    compareFloat(row[3], pd, "ring Pd");
    compareFloat(row[4], disp, "ring displacement");
    QCOMPARE(readout.liveFields.value(Field::FirmwareVersion),
             double(littleWord(packet, 34))); // firmware
    QCOMPARE(readout.liveFields.value(Field::StationCode),
             double(littleWord(packet, 14))); // serial number
    QCOMPARE(readout.liveFields.value(Field::Intensity),
             double(littleWord(packet, 27))); // intensity
    QCOMPARE(readout.liveFields.value(Field::EventFlags),
             double(littleWord(packet, 1))); // event flags
}

} // namespace

void TestEndToEnd::clientPollsBackToBack()
{
    DemoDevice sim;
    QVERIFY(startSimulator(sim, {"--scenario", "quiet"}));
    TcpTap tap(sim.port());
    StationFixture f(StationFixture::LinkKind::Real);
    Readout &readout = f.station->readout();
    const PollState &poll = f.station->linkManager().pollState();
    f.useClientLinkTo(tap.port());
    f.station->openLink();
    f.stopOneSecondTimers();
    QTRY_VERIFY(f.station->clientLink().isOpen());
    f.station->poller().onPollTick();
    // Each answer asks for the next: many answers with no poll tick in between.
    QTRY_VERIFY(poll.clientAnswers >= 30);
    QCOMPARE(poll.pollRegisters, 107); // set by the firmware version the device reported
    tap.hold();
    QTest::qWait(100);
    const QByteArray answer = lastPacketOfSize(tap.fromTarget, [](int n) { return n == 223; });
    QVERIFY(!answer.isEmpty());
    QCOMPARE(quint8(answer[8]), quint8(214));
    compareRegisterFields(readout, answer, 9);
    compareFloat(readout.liveFields.value(Field::AccelerationA),
                 bigWord(answer, 9 + 2, false) * 0.0598, "a", 0.005);
    QCOMPARE(readout.liveFields.value(248), double(bigWord(answer, 9 + 2 * 106, false)));
    QCOMPARE(readout.liveFields.text(Field::StationCode), QStringLiteral("4321"));
}

void TestEndToEnd::serialPollsBackToBack()
{
    PtyPair pty;
    QVERIFY(pty.isReady());
    DemoDevice sim;
    QVERIFY(startSimulator(sim, {"--scenario", "quiet", "--rtu", pty.secondEnd(), "--id", "1",
                                 "--baud", "19200,N,8,1"}));
    StationFixture f(StationFixture::LinkKind::Real);
    Readout &readout = f.station->readout();
    ConnectionPage &connection = f.station->connectionPage();
    const PollState &poll = f.station->linkManager().pollState();
    f.station->connectionPage().selectLinkKind(LinkKind::Rtu);
    connection.serialPortField.setText(pty.firstEnd());
    connection.serialSettingsField.setText(QStringLiteral("19200,N,8,1"));
    connection.unitAddressField.setText(QStringLiteral("1"));
    f.station->openLink();
    f.stopOneSecondTimers();
    QVERIFY(f.station->serialLink().isOpen());
    QTRY_VERIFY(poll.serialAnswers >= 10);
    QCOMPARE(poll.pollRegisters, 107);
    QTRY_COMPARE(readout.liveFields.text(Field::StationCode), QStringLiteral("4321"));
    const QByteArray registers = readRegisters(sim.port(), 107);
    QCOMPARE(registers.size(), 9 + 214);
    compareRegisterFields(readout, registers, 9);
}

void TestEndToEnd::recordModeStreamsOnTheClientLink()
{
    DemoDevice sim;
    QVERIFY(startSimulator(sim, {"--scenario", "quake", "--speed", "10"}));
    TcpTap tap(sim.port());
    StationFixture f(StationFixture::LinkKind::Real);
    Readout &readout = f.station->readout();
    ConnectionPage &connection = f.station->connectionPage();
    const PollState &poll = f.station->linkManager().pollState();
    f.useClientLinkTo(tap.port());
    connection.recordModeBox.setChecked(true);
    f.station->openLink();
    f.stopOneSecondTimers();
    QTRY_VERIFY(f.station->clientLink().isOpen());
    if (!poll.streamRequested)
        f.station->poller().onPollTick();
    QTRY_VERIFY_WITH_TIMEOUT(f.station->sampleRing().writeIndex() >= 300, 10000);
    QCOMPARE(poll.streamQuietTicks, 0); // each decoded packet tells the poll the device streams
    tap.hold();
    QTest::qWait(100);
    compareWithStream(readout, f.station->sampleRing(), lastPacketOfSize(tap.fromTarget, [](int n) {
                          return n == StreamPacketSize;
                      }));
}

void TestEndToEnd::serverLinkStreamsFromADialIn()
{
    StationFixture f(StationFixture::LinkKind::Real);
    Readout &readout = f.station->readout();
    TcpServerLink &server = *f.station->realServerLink();
    f.useServerLinkOnFreePort();
    f.station->openLink();
    f.stopOneSecondTimers();
    QVERIFY(server.isListening());
    TcpTap tap(server.port());
    DemoDevice sim;
    QVERIFY(startSimulator(sim, {"--scenario", "quake", "--speed", "10", "--dial",
                                 QStringLiteral("127.0.0.1:%1").arg(tap.port())}));
    QTRY_VERIFY(server.isOpen());
    // Four silent seconds, then the tick asks the device to stream.
    for (int second = 0; second < 4; ++second)
        f.station->linkManager().onServerWatchdogTick();
    f.station->poller().onPollTick();
    QTRY_VERIFY_WITH_TIMEOUT(f.station->sampleRing().writeIndex() >= 300, 10000);
    QCOMPARE(readout.deviceAddress.text(), QStringLiteral("127.0.0.1"));
    tap.hold();
    QTest::qWait(100);
    compareWithStream(
        readout, f.station->sampleRing(),
        lastPacketOfSize(tap.fromConnector, [](int n) { return n == StreamPacketSize; }));
}

// A device that answers every poll with random bytes of the right length: nothing of it reaches
// the fields or the log, and each answer still asks for the next.
void TestEndToEnd::garbageOnTheClientLinkChangesNothing()
{
    DemoDevice sim;
    QVERIFY(startSimulator(sim, {"--scenario", "quake", "--fault", "garbage"}));
    StationFixture f(StationFixture::LinkKind::Real);
    Readout &readout = f.station->readout();
    const PollState &poll = f.station->linkManager().pollState();
    const LinkStatus &status = f.station->linkStatus();
    f.useClientLinkTo(sim.port());
    f.station->openLink();
    f.stopOneSecondTimers();
    const QStringList fields = DevicePackets::deviceFieldTexts(readout.liveFields);
    const QStringList log = f.logLines();
    QTRY_VERIFY(f.station->clientLink().isOpen());
    f.station->poller().onPollTick();
    // A random answer has the right byte count once in 256: enough answers to meet some.
    QTRY_VERIFY_WITH_TIMEOUT(status.rejectedFrames() >= 1000, 30000);
    QCOMPARE(poll.clientAnswers, status.rejectedFrames());
    QCOMPARE(DevicePackets::deviceFieldTexts(readout.liveFields), fields);
    QCOMPARE(f.logLines(), log);
}

void TestEndToEnd::garbageOnTheSerialLinkChangesNothing()
{
    PtyPair pty;
    QVERIFY(pty.isReady());
    DemoDevice sim;
    QVERIFY(startSimulator(sim, {"--scenario", "quake", "--fault", "garbage", "--rtu",
                                 pty.secondEnd(), "--id", "1", "--baud", "115200,N,8,1"}));
    StationFixture f(StationFixture::LinkKind::Real);
    Readout &readout = f.station->readout();
    ConnectionPage &connection = f.station->connectionPage();
    const PollState &poll = f.station->linkManager().pollState();
    const LinkStatus &status = f.station->linkStatus();
    f.station->connectionPage().selectLinkKind(LinkKind::Rtu);
    connection.serialPortField.setText(pty.firstEnd());
    connection.serialSettingsField.setText(QStringLiteral("115200,N,8,1"));
    connection.unitAddressField.setText(QStringLiteral("1"));
    f.station->openLink();
    f.stopOneSecondTimers();
    QVERIFY(f.station->serialLink().isOpen());
    const QStringList fields = DevicePackets::deviceFieldTexts(readout.liveFields);
    const QStringList log = f.logLines();
    QTRY_VERIFY_WITH_TIMEOUT(status.rejectedFrames() >= 100, 30000);
    QCOMPARE(poll.serialAnswers, status.rejectedFrames());
    QCOMPARE(DevicePackets::deviceFieldTexts(readout.liveFields), fields);
    QCOMPARE(f.logLines(), log);
}

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
