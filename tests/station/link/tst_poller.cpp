#include "FakeLinks.h"
#include "Fakes.h"
#include "common/FieldNumbers.h"
#include "common/LiveFields.h"
#include "link/LinkSettings.h"
#include "link/PollState.h"
#include "link/Poller.h"

#include <QSignalSpy>
#include <QTest>

class TestPoller : public QObject
{
    Q_OBJECT
private slots:
    void serialPollOnlyWhileUnanswered_data();
    void serialPollOnlyWhileUnanswered();
    void clientReadWhileUnanswered();
    void recordModeStreamRequestCycle();
    void recordModeOffStopsStreamThenReads();
    void serverStartsStreamOnFourthIdleSecond();
    void disconnectedSocketEndsTheTick_data();
    void disconnectedSocketEndsTheTick();
    void pcClockFields();
    void serverInformation_data();
    void serverInformation();
    void pollLengthFollowsFirmware_data();
    void pollLengthFollowsFirmware();
};

namespace
{

const QByteArray StartStream = QByteArray::fromHex("000000000006010600c00001");
const QByteArray StopStream = QByteArray::fromHex("000000000006010600c00000");

struct Rig {
    Rig()
    {
        links.clientConnected = true;
        links.serverConnected = true;
    }
    void select(LinkKind kind) { settings.kind = kind; }
    LiveFields fields;
    PollState poll;
    LinkSettings settings;
    FakeLinks links;
    FakeClock clock{QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7))};
    Poller poller{fields, poll, settings, links.serial, links.client, links.server, links, clock};
};

QByteArray tcpRead(int count)
{
    return QByteArray::fromHex("00000000000601030063") + QByteArray(1, '\0') + char(count);
}

} // namespace

void TestPoller::serialPollOnlyWhileUnanswered_data()
{
    QTest::addColumn<bool>("answerSeen");
    QTest::addColumn<int>("registers");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("answered: nothing sent") << true << 101 << QByteArray();
    QTest::newRow("N = 101") << false << 101 << QByteArray::fromHex("010300630065 75ff");
    QTest::newRow("N = 107") << false << 107 << QByteArray::fromHex("01030063006b f43b");
}

void TestPoller::serialPollOnlyWhileUnanswered()
{
    QFETCH(bool, answerSeen);
    QFETCH(int, registers);
    QFETCH(QByteArray, expected);
    Rig r;
    r.select(LinkKind::Rtu);
    r.poll.serialAnswerSeen = answerSeen;
    r.poll.pollRegisters = registers;
    r.poller.onPollTick();
    QCOMPARE(r.links.serialWrites.join(), expected);
    QVERIFY(r.links.clientSends.isEmpty());
    QVERIFY(r.links.serverSends.isEmpty());
}

void TestPoller::clientReadWhileUnanswered()
{
    Rig r;
    r.poll.pollRegisters = 106;
    r.poll.clientAnswerSeen = true;
    r.poller.onPollTick();
    QVERIFY(r.links.clientSends.isEmpty());
    QVERIFY(!r.poll.awaitingReply);

    r.poll.clientAnswerSeen = false;
    r.links.clientConnected = false; // the reconnect brings it back first
    r.poller.onPollTick();
    QCOMPARE(r.links.reconnects, 1);
    QCOMPARE(r.links.clientSends, QList<QByteArray>{tcpRead(106)});
    QVERIFY(r.poll.awaitingReply);
}

void TestPoller::recordModeStreamRequestCycle()
{
    Rig r;
    r.poll.recordMode = true;
    // The first due tick asks, the second waits, the third (count 3) asks again, and from
    // then on every due tick asks until a stream packet resets the count.
    const QList<int> sentAfterTick = {1, 1, 2, 3, 4};
    for (int tick = 0; tick < sentAfterTick.size(); ++tick) {
        r.poller.onPollTick();
        QCOMPARE(r.links.clientSends.size(), sentAfterTick[tick]);
        QVERIFY(r.poll.streamRequested);
        QVERIFY(r.poll.streamQuietTicks <= 3);
    }
    for (const QByteArray &sent : r.links.clientSends)
        QCOMPARE(sent, StartStream);

    // A decoded stream packet resets the count: the device is streaming, nothing is repeated.
    for (int tick = 0; tick < 5; ++tick) {
        r.poll.streamQuietTicks = 0;
        r.poller.onPollTick();
    }
    QCOMPARE(r.links.clientSends.size(), sentAfterTick.last());
}

void TestPoller::recordModeOffStopsStreamThenReads()
{
    Rig r;
    r.poll.streamRequested = true;
    r.poll.recordMode = false;
    r.poller.onPollTick();
    QCOMPARE(r.links.clientSends, (QList<QByteArray>{StopStream, tcpRead(101)}));
    QVERIFY(!r.poll.streamRequested);
    r.poller.onPollTick();
    QCOMPARE(r.links.clientSends.last(), tcpRead(101));
    QCOMPARE(r.links.clientSends.size(), 3);
}

void TestPoller::serverStartsStreamOnFourthIdleSecond()
{
    Rig r;
    r.select(LinkKind::TcpServer);
    for (int idle = 0; idle <= 3; ++idle) {
        r.poll.serverIdleSeconds = idle;
        r.poller.onPollTick();
    }
    QVERIFY(r.links.serverSends.isEmpty());
    QVERIFY(!r.poll.awaitingReply);
    r.poll.serverIdleSeconds = 4;
    r.poller.onPollTick();
    QCOMPARE(r.links.serverSends, QList<QByteArray>{StartStream});
    QVERIFY(r.poll.awaitingReply);
    QVERIFY(r.links.clientSends.isEmpty());
    QCOMPARE(r.links.reconnects, 0);
}

void TestPoller::disconnectedSocketEndsTheTick_data()
{
    QTest::addColumn<bool>("server");
    QTest::addColumn<bool>("recordMode");
    QTest::newRow("client read") << false << false;
    QTest::newRow("client stream request") << false << true;
    QTest::newRow("server stream request") << true << false;
}

void TestPoller::disconnectedSocketEndsTheTick()
{
    QFETCH(bool, server);
    QFETCH(bool, recordMode);
    Rig r;
    r.select(server ? LinkKind::TcpServer : LinkKind::TcpClient);
    r.poll.recordMode = recordMode;
    r.poll.serverIdleSeconds = 10;
    r.fields.setText(Field::ServerInformation, QStringLiteral("2305"));
    const QString dateBefore = r.fields.text(Field::PcDate);
    r.links.clientConnected = r.links.serverConnected = false;
    r.links.connectClient = !server;
    r.links.connectSucceeds = false;
    QSignalSpy tickEnd(&r.poller, &Poller::serverForecast);
    r.poller.onPollTick();
    QCOMPARE(r.links.reconnects, 1);
    QVERIFY(r.poll.awaitingReply);
    QVERIFY(r.links.clientSends.isEmpty() && r.links.serverSends.isEmpty());
    QVERIFY(!r.poll.streamRequested);
    QCOMPARE(tickEnd.count(), 0);
    QCOMPARE(r.fields.text(Field::PcDate), dateBefore); // the clock is not shown
}

void TestPoller::pcClockFields()
{
    Rig r;
    r.poll.clientAnswerSeen = true;
    QSignalSpy tickEnd(&r.poller, &Poller::serverForecast);
    r.poller.onPollTick();
    QCOMPARE(tickEnd.count(), 1);
    QCOMPARE(r.fields.text(Field::PcDate), QStringLiteral("2026/03/04"));
    QCOMPARE(r.fields.text(Field::PcTime), QStringLiteral("05:06:07"));
    r.clock.set(QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59)));
    r.poller.onPollTick();
    QCOMPARE(r.fields.text(Field::PcDate), QStringLiteral("2026/12/31"));
    QCOMPARE(r.fields.text(Field::PcTime), QStringLiteral("23:59:59"));
}

void TestPoller::serverInformation_data()
{
    QTest::addColumn<QString>("field98");
    QTest::addColumn<bool>("shown");
    QTest::addColumn<QString>("intensity");
    QTest::addColumn<QString>("countdown");
    QTest::newRow("0x0901") << "2305" << true << "9"
                            << "1";
    QTest::newRow("countdown only") << "45" << true << "0"
                                    << "45";
    QTest::newRow("intensity only") << "1792" << true << "7"
                                    << "0";
    QTest::newRow("zero hides") << "0" << false << ""
                                << "";
    QTest::newRow("not yet read hides") << "88888" << false << ""
                                        << "";
}

void TestPoller::serverInformation()
{
    QFETCH(QString, field98);
    QFETCH(bool, shown);
    QFETCH(QString, intensity);
    QFETCH(QString, countdown);
    Rig r;
    r.poll.clientAnswerSeen = true;
    r.fields.setText(Field::ServerInformation, field98);
    QSignalSpy forecast(&r.poller, &Poller::serverForecast);
    r.poller.onPollTick();
    QCOMPARE(forecast.size(), 1);
    QCOMPARE(forecast[0][0].toBool(), shown);
    if (shown) {
        QCOMPARE(QString::number(forecast[0][1].toInt()), intensity);
        QCOMPARE(QString::number(forecast[0][2].toInt()), countdown);
    }
}

void TestPoller::pollLengthFollowsFirmware_data()
{
    QTest::addColumn<double>("version");
    QTest::addColumn<int>("registers");
    QTest::newRow("2026 keeps the length") << 2026.0 << 101;
    QTest::newRow("2027") << 2027.0 << 102;
    QTest::newRow("2076.5") << 2076.5 << 102;
    QTest::newRow("2077") << 2077.0 << 104;
    QTest::newRow("2079") << 2079.0 << 104;
    QTest::newRow("2079.5") << 2079.5 << 106;
    QTest::newRow("2094") << 2094.0 << 106;
    QTest::newRow("2095") << 2095.0 << 107;
    QTest::newRow("2102") << 2102.0 << 107;
}

// A version the table does not know (an older firmware, or the "0" written at OK) keeps the
// length the poll has.
void TestPoller::pollLengthFollowsFirmware()
{
    QFETCH(double, version);
    QFETCH(int, registers);
    PollState poll;
    poll.followFirmware(version);
    QCOMPARE(poll.pollRegisters, registers);
    QCOMPARE(poll.pollBytes(), 2 * registers);
    poll.followFirmware(2000);
    QCOMPARE(poll.pollRegisters, registers);
}

QTEST_GUILESS_MAIN(TestPoller)
#include "tst_poller.moc"
