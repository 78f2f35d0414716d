#include "common/LiveFields.h"
#include "monitor/EventState.h"

#include <QSignalSpy>
#include <QTest>

class TestEventState : public QObject
{
    Q_OBJECT
private slots:
    void oneStartAndOneEndPerEvent();
    void summaryWaitsForTheDevicesFinalValues();
    void eachEventOfASequenceSummarisedWithItsStart();
    void intensityAnnouncedOncePerChange();
    void lastEventNamedOnceItEnded();
};

void TestEventState::oneStartAndOneEndPerEvent()
{
    EventState events;
    QSignalSpy started(&events, &EventState::started);
    QSignalSpy ended(&events, &EventState::ended);
    events.end(); // flags at 0 with no event: nothing ends
    events.run();
    events.run();
    QVERIFY(events.isInProgress());
    events.end();
    events.end();
    QCOMPARE(started.count(), 1);
    QCOMPARE(ended.count(), 1);
    QVERIFY(!events.isInProgress());
}

void TestEventState::summaryWaitsForTheDevicesFinalValues()
{
    EventState events;
    QSignalSpy due(&events, &EventState::summaryDue);
    events.countAnswer(); // no event ended: nothing counts
    const QDateTime start(QDate(2024, 3, 7), QTime(8, 5, 9));
    events.setStartTime(start);
    events.run();
    events.end();
    for (int i = 1; i < EventState::SummaryDelayAnswers; ++i)
        events.countAnswer();
    QCOMPARE(due.count(), 0);
    events.countAnswer();
    QCOMPARE(due.count(), 1);
    QCOMPARE(due.first().first().toDateTime(), start);
    for (int i = 0; i < 3 * EventState::SummaryDelayAnswers; ++i)
        events.countAnswer();
    QCOMPARE(due.count(), 1);
}

// The next event may start before the last one's summary is due, and may even end before it.
void TestEventState::eachEventOfASequenceSummarisedWithItsStart()
{
    EventState events;
    QSignalSpy due(&events, &EventState::summaryDue);
    const QDateTime first(QDate(2024, 3, 7), QTime(8, 5, 9));
    const QDateTime second = first.addSecs(25);
    const QDateTime third = first.addSecs(27);
    events.setStartTime(first);
    events.run();
    events.end();
    events.setStartTime(second);
    events.run();
    events.countAnswer();
    events.end();
    QCOMPARE(due.count(), 1);
    QCOMPARE(due.at(0).first().toDateTime(), first);
    events.setStartTime(third); // started, not yet ended: the second's summary keeps its start
    events.run();
    for (int i = 0; i < EventState::SummaryDelayAnswers; ++i)
        events.countAnswer();
    QCOMPARE(due.count(), 2);
    QCOMPARE(due.at(1).first().toDateTime(), second);
}

void TestEventState::intensityAnnouncedOncePerChange()
{
    EventState events;
    QSignalSpy changed(&events, &EventState::intensityChanged);
    for (const char *intensity : {"3", "3", "4", "4", "3"})
        events.setIntensity(QString::fromLatin1(intensity));
    QCOMPARE(changed.count(), 3);
    QCOMPARE(events.intensity(), QStringLiteral("3"));
}

// The line gives the event's first start and its highest intensity, not the ones read last; the
// not-yet-read mark is no intensity.
void TestEventState::lastEventNamedOnceItEnded()
{
    EventState events;
    QSignalSpy changed(&events, &EventState::lastEventChanged);
    events.setIntensity(QString::fromLatin1(LiveFields::NotYetRead));
    QCOMPARE(events.lastEventLine(), QString());
    events.setStartTime(QDateTime(QDate(2024, 3, 7), QTime(8, 5, 9)));
    events.run();
    for (const char *intensity : {"2", "5", "3"})
        events.setIntensity(QString::fromLatin1(intensity));
    events.setStartTime(QDateTime(QDate(2024, 3, 7), QTime(8, 5, 20))); // a later flag change
    QCOMPARE(events.lastEventLine(), QString());                        // still running
    events.end();
    QCOMPARE(events.lastEventLine(), QStringLiteral("Last event 08:05:09, intensity 5"));
    events.setIntensity(QStringLiteral("6")); // after the event: not the event's
    QCOMPARE(events.lastEventLine(), QStringLiteral("Last event 08:05:09, intensity 5"));
    events.setIntensity(QString::fromLatin1(LiveFields::NotYetRead));
    events.setStartTime(QDateTime(QDate(2024, 3, 7), QTime(9, 0, 0)));
    events.run();
    events.end();
    QCOMPARE(events.lastEventLine(), QStringLiteral("Last event 09:00:00, intensity \u2014"));
    QCOMPARE(changed.count(), 4);
}

QTEST_GUILESS_MAIN(TestEventState)
#include "tst_eventstate.moc"
