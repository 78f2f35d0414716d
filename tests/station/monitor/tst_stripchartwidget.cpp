#include "monitor/StripChartWidget.h"

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
};

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

QTEST_MAIN(TestStripChartWidget)
#include "tst_stripchartwidget.moc"
