#include "history/Helicorder.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

namespace
{

const QDateTime Day(QDate(2026, 3, 1), QTime(0, 0), Qt::UTC);

qint64 micros(const QDateTime &t)
{
    return t.toMSecsSinceEpoch() * 1000;
}

} // namespace

class TestHelicorder : public QObject
{
    Q_OBJECT
private slots:
    void placeOfTime_data();
    void placeOfTime();
    void traceScalesClipsAndBreaksAtGaps();
    void eventTimesFromSummaryLines();
};

void TestHelicorder::placeOfTime_data()
{
    QTest::addColumn<int>("minutesPerLine");
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<int>("line"); // -1: not on the drum
    QTest::addColumn<double>("seconds");

    QTest::newRow("first sample") << 15 << Day << 0 << 0.0;
    QTest::newRow("last sample of the first line") << 15 << Day.addMSecs(899990) << 0 << 899.99;
    QTest::newRow("next line starts") << 15 << Day.addSecs(900) << 1 << 0.0;
    QTest::newRow("last sample of the day") << 15 << Day.addMSecs(86399990) << 95 << 899.99;
    QTest::newRow("before the drum") << 15 << Day.addMSecs(-10) << -1 << 0.0;
    QTest::newRow("the next day") << 15 << Day.addDays(1) << -1 << 0.0;
    QTest::newRow("30-minute lines") << 30 << Day.addSecs(12 * 3600 + 600) << 24 << 600.0;
    QTest::newRow("an hour a line") << 60 << Day.addSecs(23 * 3600 + 59) << 23 << 59.0;
}

void TestHelicorder::placeOfTime()
{
    QFETCH(int, minutesPerLine);
    QFETCH(QDateTime, time);
    QFETCH(int, line);
    QFETCH(double, seconds);
    const HelicorderLayout layout(Day, minutesPerLine);
    QCOMPARE(layout.lineCount(), 24 * 60 / minutesPerLine);
    const auto place = layout.place(micros(time));
    QCOMPARE(place.has_value(), line >= 0);
    if (!place)
        return;
    QCOMPARE(place->line, line);
    QCOMPARE(place->seconds, seconds);
    QCOMPARE(layout.timeAt(line, seconds), micros(time)); // a click finds the time again
}

// Two runs on line 1 with a gap between, the first reaching over from line 0, and samples
// before the drum: each column of two samples gives its least and greatest value, a value beyond
// the clip level stops half a line away, and the gap breaks line 1's trace. Joining columns
// for a narrower drum keeps the extremes and the break.
void TestHelicorder::traceScalesClipsAndBreaksAtGaps()
{
    const HelicorderLayout layout(Day, 15, 1);
    const qint64 lineStart = micros(Day.addSecs(900));
    HelicorderEnvelope envelope(micros(Day), micros(Day.addSecs(3600)), 2);
    const std::vector<qint32> early{100, 100}, run{1, 3, 10, -40}, later{5, 5};
    envelope.add(micros(Day) - 10000, early.data(), 2); // the first sample is before the drum
    envelope.add(lineStart - 20000, run.data(), 4);     // 10 and -40 counts on line 1
    envelope.add(lineStart + 100000, later.data(), 2);
    QCOMPARE(envelope.sampleCount(), 7);
    QCOMPARE(envelope.readUpTo(), lineStart + 120000);

    HelicorderTrace trace = HelicorderTrace::build(layout, envelope, 0.5, 8.0, 45000);
    QCOMPARE(trace.x[0], (std::vector<double>{0, 0, 899.98, 899.98, 899.98}));
    QCOMPARE(trace.y[0][1], 0.5); // 100 counts clipped
    QVERIFY(std::isnan(trace.y[0][2]));
    QCOMPARE(trace.y[0][3], 0.03125);
    QCOMPARE(trace.y[0][4], 0.09375);
    QCOMPARE(trace.x[1].size(), size_t(5));
    QCOMPARE(trace.x[1][0], 0.0);
    QCOMPARE(trace.y[1][0], -1.5); // -40 counts = -20 gal, clipped at -8
    QCOMPARE(trace.y[1][1], -0.6875);
    QVERIFY(std::isnan(trace.y[1][2]));
    QCOMPARE(trace.x[1][3], 0.1);
    QCOMPARE(trace.y[1][3], -0.84375);
    QCOMPARE(trace.y[2].size(), size_t(0));

    trace = HelicorderTrace::build(layout, envelope, 0.5, 8.0, 22500); // by twos
    QCOMPARE(trace.x[1], (std::vector<double>{0, 0, 0.08, 0.08, 0.08}));
    QCOMPARE(trace.y[1][0], -1.5);
    QCOMPARE(trace.y[1][1], -0.6875);
    QVERIFY(std::isnan(trace.y[1][2]));
    QCOMPARE(trace.y[1][4], -0.84375);
}

void TestHelicorder::eventTimesFromSummaryLines()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Vorsa.txt"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("2026/03/01 10:15:02,KR-1, Max Intensity :  3, Tri-axial ...\r\n"
               "\r\n"
               "garbage\r\n"
               "2026/03/01 23:59:59,KR-1, Max Intensity :  1\r\n");
    file.close();
    QCOMPARE(eventTimesFromSummaries(path),
             (QList<QDateTime>{QDateTime(QDate(2026, 3, 1), QTime(10, 15, 2)),
                               QDateTime(QDate(2026, 3, 1), QTime(23, 59, 59))}));
}

QTEST_GUILESS_MAIN(TestHelicorder)
#include "tst_helicorder.moc"
