#include "common/Control.h"
#include "link/LinkStatus.h"
#include "monitor/EventState.h"
#include "ui/OutageMark.h"

#include <QTest>

// A silent link marks the live view stale and holds the alarm the operator saw, until data
// comes again or the event ends.
class TestOutageMark : public QObject
{
    Q_OBJECT
private slots:
    void alarmHeldThroughAnOutage_data();
    void alarmHeldThroughAnOutage();
    void unreadIntensityShownAsDash();
};

namespace
{

struct Rig {
    LinkStatus status;
    EventState events;
    Control intensity{QStringLiteral("5")};
    Control caption{QStringLiteral("PGA Warning 161.2gal a-axis")};
    OutageMark mark{status, events, intensity, caption};

    Rig()
    {
        status.setOpen(true);
        status.noteData(QDateTime(QDate(2024, 3, 7), QTime(8, 5, 9)).toMSecsSinceEpoch());
        events.run();
    }
    // A reopened link, or the first answer after it, writes its zeros while the link is down.
    void liveLabelsCleared()
    {
        intensity.setText(QStringLiteral("0"));
        caption.setVisible(false);
    }
};

} // namespace

void TestOutageMark::alarmHeldThroughAnOutage_data()
{
    QTest::addColumn<QString>("afterwards"); // what ends the outage's hold, if anything
    QTest::addColumn<bool>("stale");
    QTest::addColumn<QString>("intensity");
    QTest::addColumn<bool>("captionShown");
    QTest::newRow("still silent") << "" << true << "5" << true;
    QTest::newRow("data again") << "data" << false << "0" << false;
    QTest::newRow("event ended") << "ended" << true << "0" << false;
}

void TestOutageMark::alarmHeldThroughAnOutage()
{
    QFETCH(QString, afterwards);
    QFETCH(bool, stale);
    QFETCH(QString, intensity);
    QFETCH(bool, captionShown);
    Rig r;
    QVERIFY(!r.mark.isStale());
    QCOMPARE(r.mark.notice(), QString());
    r.status.setSilent(true);
    r.liveLabelsCleared();
    QVERIFY(r.mark.isStale());
    QCOMPARE(r.mark.notice(), QStringLiteral("no data since 08:05:09"));
    if (afterwards == QLatin1String("data"))
        r.status.setSilent(false);
    else if (afterwards == QLatin1String("ended"))
        r.events.end();
    QCOMPARE(r.mark.isStale(), stale);
    QCOMPARE(r.mark.intensity(), intensity);
    QCOMPARE(r.mark.isCaptionVisible(), captionShown);
    QCOMPARE(r.mark.caption(), QStringLiteral("PGA Warning 161.2gal a-axis"));
}

void TestOutageMark::unreadIntensityShownAsDash()
{
    Rig r;
    r.intensity.setText(QStringLiteral("88888"));
    QCOMPARE(r.mark.intensity(), QStringLiteral("\u2014"));
    r.status.setSilent(true);
    QCOMPARE(r.mark.intensity(), QStringLiteral("\u2014"));
}

QTEST_GUILESS_MAIN(TestOutageMark)
#include "tst_outagemark.moc"
