#include "Fakes.h"
#include "monitor/ChartFeed.h"

#include <QTest>

// The real-time charts: how the ranges and span in force reach them, and how register polls
// are drawn singly or in blocks of ten.
class TestChartFeed : public QObject
{
    Q_OBJECT
private slots:
    void rangesReachStrips_data();
    void rangesReachStrips();
    void pollFeeding_data();
    void pollFeeding();
    void pollAnswersKeepTime_data();
    void pollAnswersKeepTime();
    void batchOrderAndValues();
    void streamSamplesDrawnAtOnce();
    void chartsStartAtDefaultScales();
    void tracesBreakOncePerOutage();
};

namespace
{

struct Rig {
    FakeClock clock;
    RecordingChart strip1{4};
    RecordingChart strip3{2};
    DisplaySettings settings;
    ChartFeed feed{settings, strip1, strip3, clock};
};

ChartFeed::Sample sampleNumber(int i)
{
    return {double(i), -double(i), 2.0 * i, 0.01 * i, 0.1 * i};
}

} // namespace

void TestChartFeed::rangesReachStrips_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<bool>("typed"); // typed text (Change) or a list choice (Click)
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("strip1");
    QTest::addColumn<QStringList>("strip3");
    const QStringList none;
    QTest::newRow("acceleration 250")
        << "acceleration" << false << "250"
        << QStringList{"select 0",       "range 250 -250", "select 1",
                       "range 250 -250", "select 2",       "range 250 -250"}
        << none;
    QTest::newRow("Pd 0.5") << "pd" << false << "0.5" << QStringList{"select 3", "range 0.5 0"}
                            << QStringList{"select 1", "range 0.5 0"};
    QTest::newRow("displacement typed 2.50")
        << "displacement" << true << "2.50" << none << QStringList{"select 0", "range 2.5 -2.5"};
    QTest::newRow("span 30") << "span" << false << "30" << QStringList{"width 3000"}
                             << QStringList{"width 3000"};
    QTest::newRow("typed span 300 is cut to 120")
        << "span" << true << "300" << QStringList{"width 12000"} << QStringList{"width 12000"};
    QTest::newRow("acceleration Auto")
        << "acceleration" << false << "Auto"
        << QStringList{"select 0", "fit", "select 1", "fit", "select 2", "fit"} << none;
    QTest::newRow("displacement typed auto")
        << "displacement" << true << "auto" << none << QStringList{"select 0", "fit"};
    QTest::newRow("no range: the scales stay") << "acceleration" << true << "abc" << none << none;
}

void TestChartFeed::rangesReachStrips()
{
    QFETCH(QString, box);
    QFETCH(bool, typed);
    QFETCH(QString, text);
    QFETCH(QStringList, strip1);
    QFETCH(QStringList, strip3);
    Rig r;
    const QMap<QString, Control *> boxes{{"acceleration", &r.settings.accelerationBox()},
                                         {"pd", &r.settings.pdBox()},
                                         {"displacement", &r.settings.displacementBox()},
                                         {"span", &r.settings.spanBox()}};
    Control &control = *boxes.value(box);
    control.setText(QStringLiteral("7")); // a previous range, so that every row is a change
    r.strip1.operations.clear();
    r.strip3.operations.clear();
    if (typed)
        control.setText(text);
    else
        control.choose(text);
    QCOMPARE(r.strip1.operations, strip1);
    QCOMPARE(r.strip3.operations, strip3);
}

void TestChartFeed::pollFeeding_data()
{
    QTest::addColumn<QString>("span");
    QTest::addColumn<int>("responses");
    QTest::addColumn<int>("points"); // per trace
    QTest::addColumn<int>("blocks"); // over both charts
    QTest::newRow("20 s: one point per response") << "20" << 25 << 25 << 0;
    QTest::newRow("10 s") << "10" << 3 << 3 << 0;
    QTest::newRow("30 s: nothing before the tenth") << "30" << 9 << 0 << 0;
    QTest::newRow("30 s: ten at the tenth") << "30" << 10 << 10 << 6;
    QTest::newRow("30 s: 25 responses") << "30" << 25 << 20 << 12;
    QTest::newRow("120 s") << "120" << 30 << 30 << 18;
    QTest::newRow("20.5 s is above 20") << "20.5" << 10 << 10 << 6;
    QTest::newRow("no number: direct") << "abc" << 4 << 4 << 0;
}

void TestChartFeed::pollFeeding()
{
    QFETCH(QString, span);
    QFETCH(int, responses);
    QFETCH(int, points);
    QFETCH(int, blocks);
    Rig r;
    r.settings.spanBox().setText(span);
    for (int i = 0; i < responses; ++i)
        r.feed.pollSample(sampleNumber(i));
    for (int trace = 0; trace < 4; ++trace)
        QCOMPARE(int(r.strip1.samples[trace].size()), points);
    for (int trace = 0; trace < 2; ++trace)
        QCOMPARE(int(r.strip3.samples[trace].size()), points);
    QCOMPARE(r.strip1.blocks + r.strip3.blocks, blocks);
}

void TestChartFeed::pollAnswersKeepTime_data()
{
    QTest::addColumn<QString>("span");
    QTest::addColumn<QList<int>>("msBefore"); // before each answer
    QTest::addColumn<int>("points");          // per trace
    QTest::addColumn<QStringList>("skips");
    QList<int> every12ms(50, 12);
    QTest::newRow("82 a second: held in between") << "10" << every12ms << 60 << QStringList();
    QTest::newRow("faster than the sample time") << "10" << QList<int>(5, 0) << 5 << QStringList();
    QTest::newRow("a 2 s silence is left empty")
        << "10" << QList<int>{0, 10, 2000} << 3 << QStringList{"skip 199"};
    QTest::newRow("the block under way ends first")
        << "30" << QList<int>{0, 10, 10, 2000} << 10 << QStringList{"skip 192"};
}

void TestChartFeed::pollAnswersKeepTime()
{
    QFETCH(QString, span);
    QFETCH(QList<int>, msBefore);
    QFETCH(int, points);
    QFETCH(QStringList, skips);
    Rig r;
    r.settings.spanBox().setText(span);
    for (int i = 0; i < msBefore.size(); ++i) {
        r.clock.advanceMs(msBefore[i]);
        r.feed.pollSample(sampleNumber(i + 1));
    }
    QCOMPARE(int(r.strip1.samples[0].size()), points);
    QCOMPARE(r.strip1.operations.filter(QStringLiteral("skip")), skips);
    QCOMPARE(r.strip3.operations.filter(QStringLiteral("skip")), skips);
}

void TestChartFeed::batchOrderAndValues()
{
    Rig r;
    r.settings.spanBox().setText(QStringLiteral("60"));
    r.strip1.operations.clear();
    r.strip3.operations.clear();
    for (int i = 0; i < 10; ++i) {
        QCOMPARE(r.feed.chartBatchIndex(), i);
        r.feed.pollSample(sampleNumber(i));
    }
    QCOMPARE(r.feed.chartBatchIndex(), 0);
    QCOMPARE(r.strip1.operations, (QStringList{"block 0", "block 1", "block 2", "block 3"}));
    QCOMPARE(r.strip3.operations, (QStringList{"block 0", "block 1"}));
    QCOMPARE(r.strip1.samples[1][9], -9.0);
    QCOMPARE(r.strip1.samples[3][4], 0.04);
    QCOMPARE(r.strip3.samples[0][9], 0.9);
    QCOMPARE(r.strip3.samples[1], r.strip1.samples[3]);
}

void TestChartFeed::streamSamplesDrawnAtOnce()
{
    Rig r;
    r.settings.spanBox().setText(QStringLiteral("120")); // the span does not batch stream samples
    r.strip1.operations.clear();
    r.strip3.operations.clear();
    r.feed.streamSample(sampleNumber(3));
    QCOMPARE(r.strip1.operations, (QStringList{"add 0 3", "add 1 -3", "add 2 6", "add 3 0.03"}));
    QCOMPARE(r.strip3.operations, (QStringList{"add 0 0.3", "add 1 0.03"}));
}

// Before any range is typed, and while the boxes hold the design text "Combo1" of a first
// start, the charts show the default ranges: a strong quake fits.
void TestChartFeed::chartsStartAtDefaultScales()
{
    Rig r;
    for (Control *box : {&r.settings.accelerationBox(), &r.settings.pdBox(),
                         &r.settings.displacementBox(), &r.settings.spanBox()})
        box->setText(QStringLiteral("Combo1"));
    QCOMPARE(r.strip1.operations,
             (QStringList{"select 0", "range 250 -250", "select 1", "range 250 -250", "select 2",
                          "range 250 -250", "select 3", "range 0.5 0", "width 6000"}));
    QCOMPARE(r.strip3.operations,
             (QStringList{"select 1", "range 0.5 0", "select 0", "range 3 -3", "width 6000"}));
}

// The link's status tells each change once; the traces break where the link fell silent.
void TestChartFeed::tracesBreakOncePerOutage()
{
    Rig r;
    const auto breaks = [&r] {
        return QPair<int, int>(int(r.strip1.operations.count(QStringLiteral("break"))),
                               int(r.strip3.operations.count(QStringLiteral("break"))));
    };
    r.feed.setLinkSilent(true);
    QCOMPARE(breaks(), qMakePair(1, 1));
    r.feed.streamSample(sampleNumber(1));
    r.feed.setLinkSilent(false);
    QCOMPARE(breaks(), qMakePair(1, 1));
    r.feed.setLinkSilent(true);
    QCOMPARE(breaks(), qMakePair(2, 2));
}

QTEST_GUILESS_MAIN(TestChartFeed)
#include "tst_chartfeed.moc"
