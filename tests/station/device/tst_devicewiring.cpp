#include "RegisterWrites.h"
#include "StationFixture.h"

#include <QSignalSpy>
#include <QTest>

// The device pages as the station wires them.
class TestDeviceWiring : public QObject
{
    Q_OBJECT
private slots:
    void clockTimerRunsFromTheStart();
    void commandsGoOutOnTheStationsLinks();
};

void TestDeviceWiring::clockTimerRunsFromTheStart()
{
    StationFixture f;
    QTimer &timer = f.station->clockAdjust().timer();
    QVERIFY(timer.isActive());
    QCOMPARE(timer.interval(), 10000);
    QSignalSpy ticks(&timer, &QTimer::timeout);
    timer.start(1); // its ticks, without waiting ten seconds for each
    QVERIFY(ticks.wait(1000));
    timer.stop();
    QCOMPARE(f.station->deviceSettings().controls().clockCheckCountdown.text(),
             QString::number(ticks.size()));
}

void TestDeviceWiring::commandsGoOutOnTheStationsLinks()
{
    StationFixture f;
    ConnectionPage &connection = f.station->connectionPage();
    connection.serialOption.setChecked(true);
    connection.tcpClientOption.setChecked(false);
    f.station->linkManager().pollState().unitAddress = 1;
    f.station->deviceSettings().switchAlarmOutputsOn();
    f.station->networkSettings().commitServerAddresses();
    QCOMPARE(RegisterWrites::rtu(f.links.serialWrites),
             (QList<RegisterWrite>{{118, 3}, {112, 18}}));
    DevicePageControls &page = f.station->deviceSettings().controls();
    page.clockAdjustedByPc.setChecked(true);
    QVERIFY(page.adjustClockButton.isEnabled());
}

QTEST_GUILESS_MAIN(TestDeviceWiring)
#include "tst_devicewiring.moc"
