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
    QCOMPARE(f.station->form().rtc_cal_cntdwn.text(), QString::number(ticks.size()));
}

void TestDeviceWiring::commandsGoOutOnTheStationsLinks()
{
    StationFixture f;
    Form &form = f.station->form();
    form.optCom.setChecked(true);
    form.optTCP.setChecked(false);
    f.station->linkManager().pollState().unitAddress = 1;
    f.station->deviceSettings().switchAlarmOutputsOn();
    f.station->networkSettings().commitServerAddresses();
    QCOMPARE(RegisterWrites::rtu(f.links.serialWrites),
             (QList<RegisterWrite>{{118, 3}, {112, 18}}));
    form.chkadj.setChecked(true);
    QVERIFY(form.cmdadj.isEnabled());
}

QTEST_GUILESS_MAIN(TestDeviceWiring)
#include "tst_devicewiring.moc"
