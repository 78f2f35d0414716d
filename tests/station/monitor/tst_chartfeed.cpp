#include "Fakes.h"
#include "monitor/ChartFeed.h"

#include <QTest>

// The real-time charts: what the range and time-span combos do to them, and how register
// polls are drawn singly or in blocks of ten.
class TestChartFeed : public QObject
{
    Q_OBJECT
private slots:
    void combos_data();
    void combos();
    void pollFeeding_data();
    void pollFeeding();
    void pollAnswersKeepTime_data();
    void pollAnswersKeepTime();
    void batchOrderAndValues();
    void streamSamplesDrawnAtOnce();
    void readableScalesBeforeAnyNumber();
    void tracesBreakOncePerOutage();
};

namespace
{

struct Rig {
    FakeClock clock;
    RecordingChart strip1{4};
    RecordingChart strip3{2};
    ChartFeed feed{strip1, strip3, clock};
};

Control &combo(ChartFeed &feed, const QString &name)
{
    if (name == QLatin1String("cboXYZ"))
        return feed.accelerationBox();
    if (name == QLatin1String("cboPd"))
        return feed.pdBox();
    if (name == QLatin1String("cbodisp"))
        return feed.displacementBox();
    return feed.spanBox();
}

ChartFeed::Sample sampleNumber(int i)
{
    return {double(i), -double(i), 2.0 * i, 0.01 * i, 0.1 * i};
}

} // namespace

void TestChartFeed::combos_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("typed"); // typed text (Change) or a list choice (Click)
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("strip1");
    QTest::addColumn<QStringList>("strip3");
    QTest::addColumn<QString>("finalText");
    QTest::addColumn<bool>("accepted");   // the box is not marked as refused
    QTest::addColumn<QString>("inForce"); // what the box reads once it loses focus
    const QStringList none;
    QTest::newRow("acceleration 250")
        << "cboXYZ" << false << "250"
        << QStringList{"select 0",       "range 250 -250", "select 1",
                       "range 250 -250", "select 2",       "range 250 -250"}
        << none << "250" << true << "250";
    QTest::newRow("Pd 0.5") << "cboPd" << false << "0.5" << QStringList{"select 3", "range 0.5 0"}
                            << QStringList{"select 1", "range 0.5 0"} << "0.5" << true << "0.5";
    QTest::newRow("displacement typed 2")
        << "cbodisp" << true << "2" << none << QStringList{"select 0", "range 2 -2"} << "2" << true
        << "2";
    QTest::newRow("typed 2.50 reads 2.5 once left")
        << "cbodisp" << true << "2.50" << none << QStringList{"select 0", "range 2.5 -2.5"}
        << "2.50" << true << "2.5";
    QTest::newRow("span 30") << "cboXaxis" << false << "30" << QStringList{"width 3000"}
                             << QStringList{"width 3000"} << "30" << true << "30";
    QTest::newRow("typed 300 becomes 120")
        << "cboXaxis" << true << "300" << QStringList{"width 12000", "width 12000"}
        << QStringList{"width 12000", "width 12000"} << "120" << true << "120";
    QTest::newRow("typed 120 stays") << "cboXaxis" << true << "120" << QStringList{"width 12000"}
                                     << QStringList{"width 12000"} << "120" << true << "120";
    QTest::newRow("chosen 300 has no limit")
        << "cboXaxis" << false << "300" << QStringList{"width 30000"} << QStringList{"width 30000"}
        << "300" << true << "300";
    QTest::newRow("acceleration Auto")
        << "cboXYZ" << false << "Auto"
        << QStringList{"select 0", "fit", "select 1", "fit", "select 2", "fit"} << none << "Auto"
        << true << "Auto";
    QTest::newRow("displacement typed auto")
        << "cbodisp" << true << "auto" << none << QStringList{"select 0", "fit"} << "auto" << true
        << "Auto";
    QTest::newRow("no Auto for Pd")
        << "cboPd" << true << "Auto" << none << none << "Auto" << false << "7";
    QTest::newRow("no Auto for the span")
        << "cboXaxis" << true << "Auto" << none << none << "Auto" << false << "7";
    // Text that is no range keeps the previous one, and the box says so once left.
    for (const QString &name : QStringList{"cboXYZ", "cboPd", "cbodisp", "cboXaxis"}) {
        for (const QString &text : QStringList{"", "-", ".", "abc", "12a"})
            QTest::addRow("%s typed '%s'", qPrintable(name), qPrintable(text))
                << name << true << text << none << none << text << false << "7";
    }
    for (const QString &name : QStringList{"cboXYZ", "cboPd", "cbodisp"})
        QTest::addRow("%s typed range 0", qPrintable(name))
            << name << true << "0" << none << none << "0" << false << "7";
    QTest::newRow("typed span 0") << "cboXaxis" << true << "0" << none << none << "0" << false
                                  << "7";
    QTest::newRow("typed negative span")
        << "cboXaxis" << true << "-5" << none << none << "-5" << false << "7";
}

void TestChartFeed::combos()
{
    QFETCH(QString, name);
    QFETCH(bool, typed);
    QFETCH(QString, text);
    QFETCH(QStringList, strip1);
    QFETCH(QStringList, strip3);
    QFETCH(QString, finalText);
    QFETCH(bool, accepted);
    QFETCH(QString, inForce);
    Rig r;
    Control &box = combo(r.feed, name);
    box.setText(QStringLiteral("7")); // a previous text, so that every row is a change
    r.strip1.operations.clear();
    r.strip3.operations.clear();
    if (typed)
        box.setText(text);
    else
        box.choose(text);
    QCOMPARE(r.strip1.operations, strip1);
    QCOMPARE(r.strip3.operations, strip3);
    QCOMPARE(box.text(), finalText);
    QCOMPARE(r.feed.accepts(box), accepted);
    r.strip1.operations.clear();
    r.feed.showRangeInForce(box);
    QCOMPARE(box.text(), inForce);
    QCOMPARE(r.feed.accepts(box), true);
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
    r.feed.spanBox().setText(span);
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
    r.feed.spanBox().setText(span);
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
    r.feed.spanBox().setText(QStringLiteral("60"));
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
    r.feed.spanBox().setText(QStringLiteral("120")); // the span does not batch stream samples
    r.strip1.operations.clear();
    r.strip3.operations.clear();
    r.feed.streamSample(sampleNumber(3));
    QCOMPARE(r.strip1.operations, (QStringList{"add 0 3", "add 1 -3", "add 2 6", "add 3 0.03"}));
    QCOMPARE(r.strip3.operations, (QStringList{"add 0 0.3", "add 1 0.03"}));
}

// A first start without settings leaves the design text "Combo1" in the range combos: each box
// takes a range a strong quake fits, and the charts show it.
void TestChartFeed::readableScalesBeforeAnyNumber()
{
    Rig r;
    QList<Control *> boxes{&r.feed.accelerationBox(), &r.feed.pdBox(), &r.feed.displacementBox(),
                           &r.feed.spanBox()};
    for (Control *box : boxes)
        box->setText(QStringLiteral("Combo1"));
    QCOMPARE(r.strip1.operations,
             (QStringList{"select 0", "range 250 -250", "select 1", "range 250 -250", "select 2",
                          "range 250 -250", "select 3", "range 0.5 0", "width 6000"}));
    QCOMPARE(r.strip3.operations,
             (QStringList{"select 1", "range 0.5 0", "select 0", "range 3 -3", "width 6000"}));
    r.feed.pdBox().setText(QStringLiteral("2"));
    r.feed.settleRanges();
    QStringList shown;
    for (Control *box : boxes)
        shown << box->text();
    QCOMPARE(shown, (QStringList{"250", "2", "3", "60"}));
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
