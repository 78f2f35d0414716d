#include "FieldScript.h"
#include "MonitorRig.h"
#include "common/FieldNumbers.h"

#include <QSignalSpy>
#include <QTest>

namespace
{
const QString Now = QStringLiteral("2026/12/07 10:00:00");
const QColor Red(255, 0, 0);

void pushRows(SampleRing &ring, int count)
{
    for (int i = 0; i < count; ++i)
        ring.push({});
}
} // namespace

class TestTriggerLogic : public QObject
{
    Q_OBJECT
private slots:
    void eventFlagLogLines_data();
    void eventFlagLogLines();
    void peaksSeededAtEveryChange();
    void unreadFieldsSeedNoPeak();
    void eventStartAndEnd_data();
    void eventStartAndEnd();
    void flagsClearedWithoutEventEndNothing_data();
    void flagsClearedWithoutEventEndNothing();
    void flagChangesKeepTheVoiceRhythm();
    void pWaveFlag_data();
    void pWaveFlag();
    void deviceStatus_data();
    void deviceStatus();
};

void TestTriggerLogic::eventFlagLogLines_data()
{
    QTest::addColumn<QStringList>("flags");
    QTest::addColumn<QStringList>("log");
    QTest::newRow("0 2 3 1 0") << QStringList{"0", "2", "3", "1", "0"}
                               << QStringList{"Pd trig", "Displacement trig", "Displacement trig",
                                              "P End", "Displacement End"};
    QTest::newRow("PGA 4 then 6") << QStringList{"4", "6"} << QStringList{"Pga trig", "Pd trig"};
    QTest::newRow("PGA and Pd end together")
        << QStringList{"6", "0"} << QStringList{"Pd trig", "Pga trig", "P End", "PGA End"};
    QTest::newRow("idle kinds at start-up") << QStringList{"0"} << QStringList{};
    QTest::newRow("STA/LTA on every change, no end line")
        << QStringList{"8", "9", "0"}
        << QStringList{"STA/LTA trig", "Displacement trig", "STA/LTA trig", "Displacement End"};
    QTest::newRow("text without a number counts as 0")
        << QStringList{"1", "abc"} << QStringList{"Displacement trig", "Displacement End"};
}

void TestTriggerLogic::eventFlagLogLines()
{
    QFETCH(QStringList, flags);
    QFETCH(QStringList, log);
    MonitorRig f;
    for (const QString &value : flags)
        f.fields().setText(Field::EventFlags, value);
    QCOMPARE(f.logLines(), expectedLog(Now, log));
}

void TestTriggerLogic::peaksSeededAtEveryChange()
{
    MonitorRig f;
    EventState &events = f.events;
    EventState::Alarm &pga = events.alarm(AlarmKind::Pga);
    EventState::Alarm &pd = events.alarm(AlarmKind::Pd);
    writeFields(f.fields(), "59=0.5 37=0.02 96=3.5 11=4");
    QCOMPARE(pga.peak, 3.5f);
    QVERIFY(pga.triggerActive && events.pWaveAlarmActive() && f.panel.triggerLamps[2].isVisible());

    pga.peak = 40; // raised by the alarm display meanwhile
    writeFields(f.fields(), "96=12.5 11=6");
    QCOMPARE(pga.peak, 12.5f);
    QCOMPARE(pd.peak, 0.02f);
    QCOMPARE(events.alarm(AlarmKind::Displacement).peak, 0.0f);

    pga.warningShown = pd.warningShown = true;
    writeFields(f.fields(), "11=2");
    QVERIFY(!pga.triggerActive && !pga.warningShown && !f.panel.triggerLamps[2].isVisible());
    QCOMPARE(pga.peak, 0.0f);
    // "PGA End" cleared the P-wave flag although the Pd trigger still runs.
    QVERIFY(!events.pWaveAlarmActive() && pd.triggerActive && pd.warningShown);
    QCOMPARE(f.panel.caption.text(), QStringLiteral("PGA End"));
    QVERIFY(!f.panel.caption.isVisible());
}

void TestTriggerLogic::unreadFieldsSeedNoPeak()
{
    MonitorRig f;
    writeFields(f.fields(), "59=88888 37=88888 96=88888 11=7");
    for (AlarmKind kind : AllAlarmKinds) {
        QVERIFY(f.events.alarm(kind).triggerActive);
        QCOMPARE(f.events.alarm(kind).peak, 0.0f);
    }
}

void TestTriggerLogic::eventStartAndEnd_data()
{
    QTest::addColumn<bool>("recordMode");
    QTest::addColumn<bool>("deviceTimeKnown");
    QTest::newRow("live") << false << true;
    QTest::newRow("record mode") << true << true;
    QTest::newRow("record mode before the first packet time") << true << false;
}

void TestTriggerLogic::eventStartAndEnd()
{
    QFETCH(bool, recordMode);
    QFETCH(bool, deviceTimeKnown);
    MonitorRig f;
    f.recording.setRecordMode(recordMode);
    const EventState &events = f.events;
    const QDateTime device(QDate(2026, 12, 7), QTime(9, 59, 58));
    if (deviceTimeKnown)
        f.trigger.setDeviceClock(device);
    const bool byDevice = recordMode && deviceTimeKnown;
    SampleRing &ring = f.ring;
    const EventFile &eventFile = f.eventFile;
    pushRows(ring, 123);
    f.panel.caption.setVisible(true);

    f.fields().setText(Field::EventFlags, QStringLiteral("2"));
    QCOMPARE(events.startTime(), byDevice ? device : f.clock.now());
    QVERIFY(events.isInProgress());
    QCOMPARE(ring.eventIndex(), 123);
    QCOMPARE(eventFile.isPending(), recordMode);
    QCOMPARE(f.panel.recording.isVisible(), recordMode);
    QCOMPARE(f.panel.intensity.backColor(), Red);

    // A later change moves the anchor, unless an event file is pending: that file stays at
    // the event's first start.
    const QDateTime firstStart = events.startTime();
    f.clock.advanceSeconds(3);
    if (deviceTimeKnown)
        f.trigger.setDeviceClock(device.addSecs(3));
    pushRows(ring, 300);
    f.fields().setText(Field::EventFlags, QStringLiteral("16"));
    QCOMPARE(events.startTime(), recordMode ? firstStart : f.clock.now());
    QCOMPARE(ring.eventIndex(), recordMode ? 123 : 423);
    QCOMPARE(ring.rowsRecordedAtEvent(), recordMode ? 123 : 423);
    QVERIFY(events.isInProgress());

    f.fields().setText(Field::EventFlags, QStringLiteral("0"));
    QVERIFY(!events.isInProgress());
    QCOMPARE(f.panel.intensity.backColor(), QColor(192, 192, 192));
    QCOMPARE(f.panel.intensity.foreColor(), QColor(0, 255, 0));
    QVERIFY(!f.panel.caption.isVisible());
    QVERIFY(events.isSummaryPending());
    // The event file still has to be written after the flags drop.
    QCOMPARE(eventFile.isPending(), recordMode);

    // The next event is one of its own, also while that file is pending.
    f.clock.advanceSeconds(20);
    if (deviceTimeKnown)
        f.trigger.setDeviceClock(device.addSecs(23));
    pushRows(ring, 2000);
    f.fields().setText(Field::EventFlags, QStringLiteral("4"));
    QCOMPARE(events.startTime(), byDevice ? device.addSecs(23) : f.clock.now());
    QCOMPARE(ring.rowsRecordedAtEvent(), 2423);
    QCOMPARE(eventFile.isLatestPending(), recordMode);
}

void TestTriggerLogic::flagsClearedWithoutEventEndNothing_data()
{
    QTest::addColumn<QString>("flags");
    QTest::newRow("first response after connect") << "0";
    QTest::newRow("record mode's 0 at OK, then again") << "0 abc";
}

void TestTriggerLogic::flagsClearedWithoutEventEndNothing()
{
    QFETCH(QString, flags);
    MonitorRig f;
    f.panel.caption.setVisible(true);
    QSignalSpy ended(&f.events, &EventState::ended);
    for (const QString &value : flags.split(QLatin1Char(' ')))
        f.fields().setText(Field::EventFlags, value);
    QCOMPARE(ended.count(), 0);
    QVERIFY(!f.events.isSummaryPending());
    QVERIFY(f.panel.caption.isVisible());
    QVERIFY(!f.panel.intensity.backColor().isValid());
    QVERIFY(f.logLines().isEmpty());
}

void TestTriggerLogic::flagChangesKeepTheVoiceRhythm()
{
    MonitorRig f;
    // Each start restarts the voice interval: a start per flag change would keep the next
    // announcement a full interval away for as long as the flags keep changing.
    QSignalSpy started(&f.events, &EventState::started);
    for (const char *flags : {"1", "3", "2"})
        f.fields().setText(Field::EventFlags, QString::fromLatin1(flags));
    QCOMPARE(started.count(), 1);
    QVERIFY(f.events.isInProgress());
}

void TestTriggerLogic::pWaveFlag_data()
{
    QTest::addColumn<QString>("setup"); // state names set before the change
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<int>("marks");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<float>("peakPga");

    const QString before = QStringLiteral("Displacement Watch 1.3 cm");
    QTest::newRow("P wave") << ""
                            << "32"
                            << "P Wave" << true << 1 << QStringList{"P Wave"} << 5.0f;
    QTest::newRow("PGA Watch caption showing")
        << "pgaWatchShown"
        << "32" << before << true << 0 << QStringList{} << 5.0f;
    QTest::newRow("Pd Warning logged") << "pdWarningShown"
                                       << "32" << before << true << 0 << QStringList{} << 5.0f;
    QTest::newRow("displacement latches not consulted")
        << "dispWatchShown dispWarningShown"
        << "32"
        << "P Wave" << true << 1 << QStringList{"P Wave"} << 5.0f;
    QTest::newRow("bits 5 and 6") << ""
                                  << "96" << before << true << 0 << QStringList{} << 5.0f;
    QTest::newRow("P-wave alarm active keeps the caption")
        << "pWaveAlarmActive"
        << "32" << before << true << 1 << QStringList{before} << 5.0f;
    QTest::newRow("P-wave alarm active, no caption yet: the line names the P wave")
        << "pWaveAlarmActive noCaption"
        << "32"
        << "" << false << 1 << QStringList{"P Wave"} << 5.0f;
    QTest::newRow("P-wave alarm active, old caption hidden: the line names the P wave")
        << "pWaveAlarmActive hiddenCaption"
        << "32" << before << false << 1 << QStringList{"P Wave"} << 5.0f;
    QTest::newRow("cleared while idle") << ""
                                        << "0" << before << false << 0 << QStringList{} << 0.0f;
    QTest::newRow("cleared while the PGA trigger runs")
        << "pgaTriggerActive"
        << "0" << before << true << 0 << QStringList{} << 5.0f;
    QTest::newRow("cleared while the P-wave alarm is active")
        << "pWaveAlarmActive"
        << "0" << before << true << 0 << QStringList{} << 5.0f;
}

void TestTriggerLogic::pWaveFlag()
{
    QFETCH(QString, setup);
    QFETCH(QString, value);
    QFETCH(QString, caption);
    QFETCH(bool, visible);
    QFETCH(int, marks);
    QFETCH(QStringList, log);
    QFETCH(float, peakPga);
    MonitorRig f;
    EventState &events = f.events;
    EventState::Alarm &pga = events.alarm(AlarmKind::Pga);
    EventState::Alarm &displacement = events.alarm(AlarmKind::Displacement);
    const QHash<QString, bool *> flags = {
        {"pgaWatchShown", &pga.watchShown},
        {"pdWarningShown", &events.alarm(AlarmKind::Pd).warningShown},
        {"dispWatchShown", &displacement.watchShown},
        {"dispWarningShown", &displacement.warningShown},
        {"pgaTriggerActive", &pga.triggerActive},
    };
    f.panel.caption.setText(QStringLiteral("Displacement Watch 1.3 cm"));
    f.panel.caption.setVisible(true);
    for (const QString &name : setup.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (name == QLatin1String("noCaption"))
            f.panel.caption.setText(QString());
        if (name == QLatin1String("noCaption") || name == QLatin1String("hiddenCaption"))
            f.panel.caption.setVisible(false);
        else if (name == QLatin1String("pWaveAlarmActive"))
            events.setPWaveAlarmActive(true);
        else
            *flags.value(name) = true;
    }
    pga.peak = 5;

    f.fields().setText(Field::PWaveFlag, value);
    QCOMPARE(f.panel.caption.text(), caption);
    QCOMPARE(f.panel.caption.isVisible(), visible);
    QCOMPARE(f.strip1.marks, marks);
    QCOMPARE(f.strip3.marks, marks);
    QCOMPARE(f.logLines(), expectedLog(Now, log));
    QCOMPARE(pga.peak, peakPga);
}

void TestTriggerLogic::deviceStatus_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QStringList>("shown"); // fields 201, 202, 214, 239
    QTest::newRow("16: RVD only") << "16" << QStringList{"NO", "NO", "NO", "Yes"};
    QTest::newRow("7: NTP and both servers") << "7" << QStringList{"Yes", "Yes", "Yes", "NO"};
    QTest::newRow("8: bit 3 not shown") << "8" << QStringList{"NO", "NO", "NO", "NO"};
    QTest::newRow("no number") << "abc" << QStringList{"NO", "NO", "NO", "NO"};
    QTest::newRow("negative word") << "-1" << QStringList{"Yes", "Yes", "Yes", "Yes"};
}

void TestTriggerLogic::deviceStatus()
{
    QFETCH(QString, value);
    QFETCH(QStringList, shown);
    MonitorRig f;
    LiveFields &fields = f.fields();
    fields.setText(Field::DeviceStatus, value);
    QCOMPARE(
        (QStringList{fields.text(Field::NtpStatus), fields.text(Field::Server0Connected),
                     fields.text(Field::Server1Connected), fields.text(Field::DisplayConnected)}),
        shown);
}

QTEST_GUILESS_MAIN(TestTriggerLogic)
#include "tst_triggerlogic.moc"
