#include "DeviceRig.h"
#include "common/FieldNumbers.h"

#include <QSignalSpy>
#include <QTest>

class TestClockAdjust : public QObject
{
    Q_OBJECT
private slots:
    void firstAdjustmentOnTheIntervalTick();
    void ledClockComesFirstOnEveryTick();
    void buttonAdjustsAtOnceAndRestartsTheCount();
    void serialFrames_data();
    void serialFrames();
    void tcpClockFrame();
    void tcpSecond59IsSkipped();
    void tcpClientDownOnlyReconnects();
    void tcpWithoutServerLinkSendsNothing();
    void ntpDeviceIsLeftAlone();
    void busyCommandDefersTheAdjustment();
};

namespace
{

const QDateTime December5 = QDateTime(QDate(2026, 12, 5), QTime(14, 25, 37));

void tick(DeviceRig &r, int times)
{
    for (int k = 0; k < times; ++k)
        r.clockAdjust.onClockAdjustTick();
}

} // namespace

void TestClockAdjust::firstAdjustmentOnTheIntervalTick()
{
    DeviceRig r;
    QCOMPARE(r.clockAdjust.interval(), 360.0);
    QSignalSpy counted(&r.clockAdjust, &ClockAdjust::ticksCounted);
    tick(r, 359);
    QVERIFY(r.links.serialWrites.isEmpty());
    QCOMPARE(counted.last()[0].toInt(), 359);
    tick(r, 1);
    QCOMPARE(r.links.serialWrites.size(), 7);
    QCOMPARE(counted.last()[0].toInt(), 360); // shown until the next tick
    tick(r, 1);
    QCOMPARE(counted.last()[0].toInt(), 1);
    QVERIFY(!r.poll.commandInProgress);
}

void TestClockAdjust::ledClockComesFirstOnEveryTick()
{
    DeviceRig r;
    r.clockAdjust.setInterval(2);
    QList<int> writesAtSignal;
    QList<int> countAtSignal;
    int count = 0;
    connect(&r.clockAdjust, &ClockAdjust::ticksCounted, this, [&](int n) { count = n; });
    connect(&r.clockAdjust, &ClockAdjust::ledClockDue, this, [&] {
        writesAtSignal << int(r.links.serialWrites.size());
        countAtSignal << count;
    });
    tick(r, 3);
    QCOMPARE(writesAtSignal, (QList<int>{0, 0, 7}));
    QCOMPARE(countAtSignal, (QList<int>{0, 1, 2}));
}

void TestClockAdjust::buttonAdjustsAtOnceAndRestartsTheCount()
{
    DeviceRig r;
    tick(r, 100);
    r.clockAdjust.adjustClockNow();
    QCOMPARE(r.links.serialWrites.size(), 7);
    QCOMPARE(r.clockAdjust.tickCount(), 0);
    tick(r, 359);
    QCOMPARE(r.links.serialWrites.size(), 7);
    tick(r, 1);
    QCOMPARE(r.links.serialWrites.size(), 14);
}

void TestClockAdjust::serialFrames_data()
{
    QTest::addColumn<QTime>("time");
    QTest::addColumn<int>("second");
    QTest::newRow("second plus 1") << QTime(14, 25, 37) << 38;
    QTest::newRow("59 stays 59") << QTime(23, 59, 59) << 59;
    QTest::newRow("0 becomes 1") << QTime(0, 0, 0) << 1;
}

void TestClockAdjust::serialFrames()
{
    QFETCH(QTime, time);
    QFETCH(int, second);
    DeviceRig r;
    r.poll.unitAddress = 7;
    r.clock.set(QDateTime(QDate(2026, 12, 5), time));
    r.clockAdjust.adjustClockNow();
    QCOMPARE(r.serialWrites(), (QList<RegisterWrite>{{152, 2026},
                                                     {153, 12},
                                                     {154, 5},
                                                     {155, time.hour()},
                                                     {156, time.minute()},
                                                     {157, second},
                                                     {112, 8}}));
    QCOMPARE(r.links.serialWrites.first().at(0), char(7));
    QCOMPARE(r.waiter.pauses, QList<int>(6, 60));
}

void TestClockAdjust::tcpClockFrame()
{
    DeviceRig r;
    r.useTcpClient();
    r.clock.set(December5);
    QList<bool> inProgress;
    r.links.onSend = [&] {
        inProgress << r.poll.commandInProgress;
        r.poll.awaitingReply = false;
    };
    r.clockAdjust.adjustClockNow();
    QCOMPARE(r.links.clientSends.size(), 2);
    QCOMPARE(r.links.clientSends[0].toHex(' '), QByteArray("00 00 00 00 00 13 01 10 00 98 00 06 0c "
                                                           "07 ea 00 0c 00 05 00 0e 00 19 00 26"));
    QCOMPARE(RegisterWrites::tcp(r.links.clientSends.mid(1)), (QList<RegisterWrite>{{112, 8}}));
    QCOMPARE(r.waiter.pauses, (QList<int>{100, 200}));
    // Both waits for an answer are bounded.
    QCOMPARE(r.waiter.timeouts, QList<int>(2, RegisterWriter::ReplyTimeoutMs));
    QCOMPARE(inProgress, (QList<bool>{true, true}));
    QVERIFY(!r.poll.commandInProgress);
}

void TestClockAdjust::tcpSecond59IsSkipped()
{
    DeviceRig r;
    r.useTcpClient();
    r.clock.set(QDateTime(QDate(2026, 12, 5), QTime(14, 25, 59)));
    r.clockAdjust.adjustClockNow();
    QVERIFY(r.links.clientSends.isEmpty());
    QVERIFY(r.poll.awaitingReply); // the next packet clears it
    QCOMPARE(r.clockAdjust.tickCount(), 0);
    QVERIFY(!r.poll.commandInProgress);
}

void TestClockAdjust::tcpClientDownOnlyReconnects()
{
    DeviceRig r;
    r.useTcpClient();
    r.links.clientConnected = false;
    r.clockAdjust.adjustClockNow();
    QCOMPARE(r.links.reconnects, 1);
    QVERIFY(r.links.clientConnected);
    QVERIFY(r.links.clientSends.isEmpty()); // the next interval adjusts
    QCOMPARE(r.clockAdjust.tickCount(), 0);
    QVERIFY(!r.poll.commandInProgress);
}

void TestClockAdjust::tcpWithoutServerLinkSendsNothing()
{
    DeviceRig r;
    r.link.kind = LinkKind::TcpServer;
    r.links.serverConnected = false;
    r.clock.set(December5);
    r.clockAdjust.adjustClockNow();
    QVERIFY(r.links.serverSends.isEmpty());
    QVERIFY(r.waiter.timeouts.isEmpty()); // no wait for an answer that cannot come
    QCOMPARE(r.waiter.pauses, QList<int>{100});
    QVERIFY(r.readout.statusLine.text().contains("no link"));

    r.links.serverConnected = true;
    r.clockAdjust.adjustClockNow();
    QCOMPARE(r.links.serverSends.size(), 2);
    QCOMPARE(r.links.serverSends[0].size(), 25);
}

void TestClockAdjust::ntpDeviceIsLeftAlone()
{
    for (bool serial : {true, false}) {
        DeviceRig r;
        if (!serial)
            r.useTcpClient();
        r.setField(Field::NtpStatus, QStringLiteral("Yes"));
        tick(r, 360);
        QCOMPARE(r.clockAdjust.tickCount(), 0); // the count still restarts
        r.clockAdjust.adjustClockNow();
        QVERIFY(r.links.serialWrites.isEmpty());
        QVERIFY(r.links.clientSends.isEmpty());
        QVERIFY(!r.poll.commandInProgress);
    }
}

void TestClockAdjust::busyCommandDefersTheAdjustment()
{
    DeviceRig r;
    r.clockAdjust.setInterval(1);
    r.commands.exclusive(QStringLiteral("test command"), [&] { tick(r, 1); });
    QVERIFY(r.links.serialWrites.isEmpty());
    QCOMPARE(r.clockAdjust.tickCount(), 1); // still due
    tick(r, 1);
    QCOMPARE(r.links.serialWrites.size(), 7);
}

QTEST_GUILESS_MAIN(TestClockAdjust)
#include "tst_clockadjust.moc"
