#include "Options.h"
#include "Scenario.h"

#include <QTemporaryDir>
#include <QtTest>

#include <fstream>

using namespace devsim;

namespace
{

Scenario quake(bool repeat = false)
{
    Scenario s;
    std::string error;
    makeScenario("quake", repeat, s, error);
    return s;
}

bool same(const Sample &x, const Sample &y)
{
    return x.a == y.a && x.b == y.b && x.c == y.c && x.pd == y.pd && x.disp == y.disp;
}

int firstIndexWithFlag(const Scenario &s, int bit)
{
    for (int i = 0; i < s.length(); ++i)
        if (statusAt(s, i).flags & bit)
            return i;
    return -1;
}

} // namespace

class TestDevsimScenario : public QObject
{
    Q_OBJECT

private slots:
    void seedDecidesTheWaveforms();
    void quakeRunsInTheScriptedOrder();
    void quakeFlagsStayAcceptable();
    void repeatRestartsAndOneShotGoesQuiet();
    void intensityClasses_data();
    void intensityClasses();
    void replayReadsAnEventFile();
    void replayRejectsBadFiles_data();
    void replayRejectsBadFiles();
    void options_data();
    void options();
};

void TestDevsimScenario::seedDecidesTheWaveforms()
{
    const Scenario s = quake();
    int differing = 0;
    for (int i = 1500; i < 1600; ++i) {
        QVERIFY(same(sampleAt(3, s, i), sampleAt(3, s, i)));
        differing += same(sampleAt(3, s, i), sampleAt(4, s, i)) ? 0 : 1;
    }
    QVERIFY2(differing > 90, qPrintable(QString::number(differing)));
}

void TestDevsimScenario::quakeRunsInTheScriptedOrder()
{
    const Scenario s = quake();
    const int pWave = [&] {
        for (int i = 0; i < s.length(); ++i)
            if (statusAt(s, i).pWaveBits & 32)
                return i;
        return -1;
    }();
    const int pd = firstIndexWithFlag(s, 2);
    const int pga = firstIndexWithFlag(s, 4);
    QVERIFY(pWave > 0);
    QVERIFY(pd > pWave);
    QVERIFY(pga > pd);
    QCOMPARE(statusAt(s, 0).flags, 0);
    QCOMPARE(statusAt(s, s.length() - 1).flags, 0);
    QCOMPARE(statusAt(s, s.length() - 1).intensity, 0);

    // The intensity never falls while the event runs, and the strong motion reaches it.
    int last = 0;
    double peakGal = 0;
    for (int i = pd; statusAt(s, i).flags != 0; ++i) {
        QVERIFY(statusAt(s, i).intensity >= last);
        last = statusAt(s, i).intensity;
        const Sample x = sampleAt(1, s, i);
        peakGal = std::max(peakGal, std::abs(x.a * galPerCount));
    }
    QCOMPARE(last, 5);
    QVERIFY(peakGal > 80);
    QVERIFY(statusAt(s, pd).eventStart == pd);
}

void TestDevsimScenario::quakeFlagsStayAcceptable()
{
    // The station drops a stream packet whose event-flag byte exceeds 8.
    const Scenario s = quake();
    for (int i = 0; i < s.length(); i += 10)
        QVERIFY2(statusAt(s, i).flags <= 8, qPrintable(QString::number(i)));
}

void TestDevsimScenario::repeatRestartsAndOneShotGoesQuiet()
{
    const Scenario once = quake(false);
    const Scenario again = quake(true);
    const int pd = firstIndexWithFlag(once, 2);
    const int64_t len = once.length();
    QVERIFY(same(sampleAt(1, again, len + 1600), sampleAt(1, again, 1600)));
    QCOMPARE(statusAt(again, len + pd).flags, statusAt(again, pd).flags);
    QCOMPARE(statusAt(again, len + pd).eventStart, len + pd);
    // Before the second run's trigger the last event is the first run's.
    QCOMPARE(statusAt(again, len + 10).eventStart, int64_t(pd));
    QCOMPARE(statusAt(once, len + pd).flags, 0);
    QCOMPARE(statusAt(once, len + pd).eventStart, int64_t(pd));
    QVERIFY(std::abs(sampleAt(1, once, len + 1600).a) <= 4);
}

void TestDevsimScenario::intensityClasses_data()
{
    QTest::addColumn<double>("gal");
    QTest::addColumn<int>("intensity");
    QTest::newRow("rest") << 0.5 << 0;
    QTest::newRow("at 0.8") << 0.8 << 1;
    QTest::newRow("below 2.5") << 2.49 << 1;
    QTest::newRow("at 25") << 25.0 << 4;
    QTest::newRow("at 80") << 80.0 << 5;
    QTest::newRow("below 400") << 399.9 << 6;
    QTest::newRow("at 400") << 400.0 << 7;
}

void TestDevsimScenario::intensityClasses()
{
    QFETCH(double, gal);
    QFETCH(int, intensity);
    QCOMPARE(intensityOf(gal), intensity);
}

void TestDevsimScenario::replayReadsAnEventFile()
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("event.CSV").toStdString();
    std::ofstream out(path, std::ios::binary);
    out << "#StationCode:1\r\n#SampleRate(Hz): 100\r\n#Data: 4F10.3 \r\n";
    for (int k = 0; k < 1200; ++k) {
        const double a = (k >= 100 && k < 110) ? 59.8 : 0.0598 * (k % 3);
        char row[80];
        std::snprintf(row, sizeof row, "%10.2f,%10.3f,%10.3f,%10.3f,%10.3f,%10.3f\r\n", k * 0.01, a,
                      -a, 0.0, k >= 100 ? 0.25 : 0.0, k >= 100 ? -0.5 : 0.0);
        out << row;
    }
    out.close();
    Scenario s;
    std::string error;
    QVERIFY2(makeScenario(path, false, s, error), error.c_str());
    QCOMPARE(s.kind, ScenarioKind::Replay);
    QCOMPARE(s.length(), int64_t(1200));
    const Sample strong = sampleAt(1, s, 105);
    QCOMPARE(int(strong.a), 1000);
    QCOMPARE(int(strong.b), -1000);
    QCOMPARE(int(strong.pd), 250);
    QCOMPARE(int(strong.disp), -500);
    QCOMPARE(statusAt(s, 99).flags, 0);
    QCOMPARE(statusAt(s, 100).flags, 7); // displacement, Pd and vector above their triggers
    // The PGA trigger holds ten seconds past its last exceedance at sample 109.
    QCOMPARE(statusAt(s, 1109).flags, 7);
    QCOMPARE(statusAt(s, 1110).flags, 3);
    QCOMPARE(statusAt(s, 100).eventStart, int64_t(100));
    QCOMPARE(statusAt(s, 150).intensity, intensityOf(std::sqrt(2.0) * 59.8));
}

void TestDevsimScenario::replayRejectsBadFiles_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("only a header") << QByteArray("#StationCode:1\r\n");
    QTest::newRow("five fields") << QByteArray(
        "      0.00,     0.1,     0.2,     0.3,     0.4\r\n");
    QTest::newRow("text in a field")
        << QByteArray("      0.00,     abc,     0.2,     0.3,     0.4,     0.5\r\n");
}

void TestDevsimScenario::replayRejectsBadFiles()
{
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    QFile file(dir.filePath("bad.csv"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    Scenario s;
    std::string error;
    QVERIFY(!makeScenario(file.fileName().toStdString(), false, s, error));
    QVERIFY(!error.empty());
    QVERIFY(!makeScenario(dir.filePath("missing.csv").toStdString(), false, s, error));
}

void TestDevsimScenario::options_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<bool>("tcp");
    QTest::newRow("defaults serve TCP") << QStringList{} << true << true;
    QTest::newRow("rtu alone") << QStringList{"--rtu", "/dev/ttyS0"} << true << false;
    QTest::newRow("rtu and tcp") << QStringList{"--rtu", "/dev/ttyS0", "--tcp", "0"} << true
                                 << true;
    QTest::newRow("inline value") << QStringList{"--speed=2.5"} << true << true;
    QTest::newRow("even parity") << QStringList{"--baud", "9600,E,8,1"} << true << true;
    QTest::newRow("answering time") << QStringList{"--latency", "10"} << true << true;
    QTest::newRow("negative answering time") << QStringList{"--latency", "-1"} << false << false;
    QTest::newRow("answering time not a number")
        << QStringList{"--latency", "soon"} << false << false;
    QTest::newRow("zero speed") << QStringList{"--speed", "0"} << false << false;
    QTest::newRow("speed not a number") << QStringList{"--speed", "fast"} << false << false;
    QTest::newRow("parity X") << QStringList{"--baud", "9600,X,8,1"} << false << false;
    QTest::newRow("baud missing stop bits") << QStringList{"--baud", "9600,N,8"} << false << false;
    QTest::newRow("port too large") << QStringList{"--tcp", "65536"} << false << false;
    QTest::newRow("slave 0") << QStringList{"--id", "0"} << false << false;
    QTest::newRow("dial without port") << QStringList{"--dial", "localhost"} << false << false;
    QTest::newRow("unknown fault") << QStringList{"--fault", "explode"} << false << false;
    QTest::newRow("close-after without number")
        << QStringList{"--fault", "close-after="} << false << false;
    QTest::newRow("value missing") << QStringList{"--seed"} << false << false;
    QTest::newRow("unknown option") << QStringList{"--colour"} << false << false;
}

void TestDevsimScenario::options()
{
    QFETCH(QStringList, args);
    QFETCH(bool, valid);
    QFETCH(bool, tcp);
    std::vector<std::string> argv;
    for (const QString &a : args)
        argv.push_back(a.toStdString());
    Options o;
    std::string error;
    QCOMPARE(parseOptions(argv, o, error), valid);
    QCOMPARE(error.empty(), valid);
    if (valid)
        QCOMPARE(o.tcp, tcp);
}

QTEST_GUILESS_MAIN(TestDevsimScenario)
#include "tst_devsim_scenario.moc"
