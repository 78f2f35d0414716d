#include "ui/StripChartWidget.h"

#include <QTemporaryDir>
#include <QTest>
#include <qcustomplot.h>

// What the plot holds, seen through the widget's own QCustomPlot.
struct HeldSamples {
    int count = 0;
    double firstKey = -1;
};

static HeldSamples held(StripChartWidget &chart, int trace)
{
    QCPGraph *graph = chart.findChild<QCustomPlot *>()->graph(trace);
    const auto data = graph->data();
    return {data->size(), data->isEmpty() ? -1 : data->constBegin()->key};
}

class TestStripChartWidget : public QObject
{
    Q_OBJECT
private slots:
    void loadedFileKeptWhole_data();
    void loadedFileKeptWhole();
    void liveChartKeepsBoundedHistory();
    void marksGoWithTheirSamples();
    void loadedFileBrowsedAlongTime();
    void outageLeavesAVisibleGap();
    void unitsHaveTheirOwnScales();
    void fittedScaleFollowsTheSamplesOnView();
    void exportsPngAndPdf_data();
    void exportsPngAndPdf();
    void recordMissingItsStartKeepsItsTime();
};

namespace
{

// A 300 s history file loaded as the history view loads it, shown from its start.
void loadFile(StripChartWidget &chart, int rows)
{
    chart.setVisibleWidth(12000);
    chart.clear();
    for (int k = 0; k < rows; ++k)
        chart.addSample(0, k % 100);
    chart.setSampleExtent(30000);
    chart.setViewPosition(0);
}

QCPRange timeRange(StripChartWidget &chart)
{
    return chart.plot()->xAxis->range();
}

} // namespace

// The history chart is cleared, filled with a whole file and only then told its extent; a
// file longer than the previous file's extent must still be held from its first sample on.
void TestStripChartWidget::loadedFileKeptWhole_data()
{
    QTest::addColumn<int>("previousRows");
    QTest::addColumn<int>("previousExtent");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("extent");
    QTest::newRow("manual file after an event file") << 12000 << 12000 << 30000 << 30000;
    QTest::newRow("event file after a manual file") << 30000 << 30000 << 12000 << 12000;
    QTest::newRow("first file at start-up") << 0 << 0 << 30000 << 30000;
    QTest::newRow("long plain file after an event file") << 12000 << 12000 << 100000 << 30000;
}

void TestStripChartWidget::loadedFileKeptWhole()
{
    QFETCH(int, previousRows);
    QFETCH(int, previousExtent);
    QFETCH(int, rows);
    QFETCH(int, extent);
    StripChartWidget chart(QStringLiteral("3-axis Trend [gal]"), {"a", "b", "c", "Pd", "Disp"});
    chart.setVisibleWidth(1000);
    const auto load = [&chart](int count, int fileExtent) {
        chart.clear();
        for (int k = 0; k < count; ++k)
            chart.addSample(0, k);
        if (fileExtent > 0)
            chart.setSampleExtent(fileExtent);
        chart.setViewPosition(0);
    };
    load(previousRows, previousExtent);
    load(rows, extent);
    const HeldSamples got = held(chart, 0);
    QCOMPARE(got.count, rows);
    QCOMPARE(got.firstKey, 0.0);
}

void TestStripChartWidget::liveChartKeepsBoundedHistory()
{
    StripChartWidget chart(QStringLiteral("3-axis Acceleration [gal]"), {"a", "b", "c", "Pd"});
    chart.setVisibleWidth(1000);
    const int samples = 200000;
    for (int k = 0; k < samples; ++k)
        chart.addSample(0, k);
    const HeldSamples got = held(chart, 0);
    QVERIFY2(got.count < samples / 2, qPrintable(QString::number(got.count)));
    QCOMPARE(got.firstKey + got.count, double(samples));
}

void TestStripChartWidget::marksGoWithTheirSamples()
{
    StripChartWidget chart(QStringLiteral("3-axis Acceleration [gal]"), {"a", "b", "c", "Pd"});
    chart.setVisibleWidth(1000);
    auto *plot = chart.findChild<QCustomPlot *>();
    QVERIFY(plot);
    for (int event = 0; event < 50; ++event) {
        for (int k = 0; k < 10000; ++k)
            chart.addSample(0, k);
        chart.markCurrentSample();
    }
    // 500000 samples in all; the chart holds only the last few tens of thousands, and so only
    // the marks among them.
    QVERIFY2(plot->itemCount() <= 6, qPrintable(QString::number(plot->itemCount())));
    QVERIFY(plot->itemCount() >= 1);
    chart.clear();
    QCOMPARE(plot->itemCount(), 0);
}

// The time span applies at once to a loaded file, keeping its left edge; the operator can
// drag and zoom only within the file and get the whole file back.
void TestStripChartWidget::loadedFileBrowsedAlongTime()
{
    StripChartWidget chart(QStringLiteral("3-axis Trend [gal]"), {"a", "b", "c", "Pd", "Disp"});
    chart.setBrowsable(true);
    loadFile(chart, 30000);
    QCOMPARE(timeRange(chart), QCPRange(0, 12000));
    chart.setVisibleWidth(2000);
    QCOMPARE(timeRange(chart), QCPRange(0, 2000));
    chart.plot()->xAxis->setRange(29000, 31000); // dragged past the end
    QCOMPARE(timeRange(chart), QCPRange(28000, 30000));
    chart.plot()->xAxis->setRange(-500, 1500); // before the start
    QCOMPARE(timeRange(chart), QCPRange(0, 2000));
    chart.plot()->xAxis->scaleRange(100); // zoomed far out
    QCOMPARE(timeRange(chart), QCPRange(0, 30000));
    chart.setVisibleWidth(6000);
    chart.showWhole();
    QCOMPARE(timeRange(chart), QCPRange(0, 30000));
}

void TestStripChartWidget::outageLeavesAVisibleGap()
{
    StripChartWidget chart(QStringLiteral("3-axis Acceleration [gal]"), {"a", "b", "c", "Pd"});
    chart.setVisibleWidth(12000);
    for (int k = 0; k < 100; ++k)
        chart.addSample(0, 1);
    chart.breakTraces();
    chart.addSample(0, 2);
    const auto data = chart.plot()->graph(0)->data();
    QCOMPARE(data->size(), 102);
    QVERIFY(qIsNaN((data->constEnd() - 2)->value));
    // 2 % of 120 s: wide enough to see on any screen.
    QCOMPARE((data->constEnd() - 1)->key - (data->constEnd() - 2)->key, 240.0);
}

// Pd never shares the gal scale: its own axis, labelled with its unit, shows its range.
void TestStripChartWidget::unitsHaveTheirOwnScales()
{
    StripChartWidget chart(QStringLiteral("3-axis Acceleration [gal]"), {"a", "b", "c", "Pd"},
                           {"gal", "gal", "gal", "Pd [cm]"});
    chart.selectTrace(3);
    chart.setRange(0.5, 0);
    QCPAxis *pd = chart.plot()->graph(3)->valueAxis();
    QCPAxis *a = chart.plot()->graph(0)->valueAxis();
    QVERIFY(pd->visible());
    QCOMPARE(pd->axisType(), QCPAxis::atRight);
    QCOMPARE(pd->label(), QStringLiteral("Pd [cm]"));
    QCOMPARE(pd->range(), QCPRange(0, 0.5));
    QVERIFY(a->visible());
    QCOMPARE(a->axisType(), QCPAxis::atLeft);
    QVERIFY(!chart.plot()->graph(1)->valueAxis()->visible());
}

// "Auto": a, b and c share the gal scale, so they get one range from the largest of them; only
// the samples on view count, and a range set ends the fitting.
void TestStripChartWidget::fittedScaleFollowsTheSamplesOnView()
{
    StripChartWidget chart(QStringLiteral("3-axis Acceleration [gal]"), {"a", "b", "c", "Pd"},
                           {"gal", "gal", "gal", "Pd [cm]"});
    chart.resize(600, 300);
    chart.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chart));
    chart.setVisibleWidth(100);
    chart.selectTrace(3);
    chart.setRange(0.5, 0);
    for (int trace = 0; trace < 3; ++trace) {
        chart.selectTrace(trace);
        chart.fitRangeToData();
    }
    const auto range = [&chart](int trace) {
        return chart.plot()->graph(trace)->valueAxis()->range();
    };
    for (int k = 0; k < 100; ++k) {
        chart.addSample(0, k == 50 ? -80 : 1);
        chart.addSample(1, 10);
        chart.addSample(2, 0);
        chart.addSample(3, 3);
    }
    QTRY_COMPARE(range(0), QCPRange(-80 * 1.1, 80 * 1.1));
    QCOMPARE(range(1), QCPRange(-80 * 1.1, 80 * 1.1));
    QCOMPARE(range(2), QCPRange(-80 * 1.1, 80 * 1.1));
    QCOMPARE(range(3), QCPRange(0, 0.5));
    for (int k = 0; k < 60; ++k) // the -80 scrolls off the view
        chart.addSample(0, 1);
    QTRY_COMPARE(range(0), QCPRange(-10 * 1.1, 10 * 1.1));
    chart.selectTrace(0);
    chart.setRange(250, -250);
    for (int k = 0; k < 10; ++k)
        chart.addSample(0, 400);
    QTest::qWait(400);
    QCOMPARE(range(0), QCPRange(-250, 250));
}

void TestStripChartWidget::exportsPngAndPdf_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("magic");
    QTest::newRow("png") << "E20261207.png" << QByteArray("\x89PNG");
    QTest::newRow("pdf") << "E20261207.pdf" << QByteArray("%PDF");
}

void TestStripChartWidget::exportsPngAndPdf()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, magic);
    StripChartWidget chart(QStringLiteral("3-axis Trend [gal]"), {"a", "b", "c", "Pd", "Disp"});
    chart.resize(800, 400);
    loadFile(chart, 3000);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    const int rows = chart.plot()->plotLayout()->rowCount();
    QVERIFY(chart.exportTo(path, QStringLiteral("E20261207.CSV, station 77")));
    QCOMPARE(chart.plot()->plotLayout()->rowCount(), rows); // the caption is the picture's only
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.read(magic.size()) == magic);
    QVERIFY(!chart.exportTo(dir.filePath(QStringLiteral("missing/folder/") + name)));
}

// The first recorded row stands at its own time; the missing start shows as empty chart.
void TestStripChartWidget::recordMissingItsStartKeepsItsTime()
{
    StripChartWidget chart(QStringLiteral("3-axis Trend [gal]"), {"a", "b", "c", "Pd", "Disp"});
    chart.setBrowsable(true);
    chart.clear();
    chart.startTracesAt(3050);
    for (int trace = 0; trace < 2; ++trace)
        chart.addSample(trace, 1);
    chart.addSample(0, 2);
    QCOMPARE(held(chart, 0).firstKey, 3050.0);
    QCOMPARE(held(chart, 1).firstKey, 3050.0);
    QCOMPARE(chart.plot()->graph(0)->data()->at(1)->key, 3051.0);
    chart.showWhole();
    QCOMPARE(timeRange(chart), QCPRange(0, 3052)); // up to the end of the last sample
}

QTEST_MAIN(TestStripChartWidget)
#include "tst_stripchartwidget.moc"
