#include "StationFixture.h"
#include "common/Colours.h"
#include "common/NumberText.h"
#include "link/DemoDevice.h"
#include "link/Poller.h"

#include <QTest>

// Record mode on the client link against the device simulator: the window shows whether the
// device is there, and a quake's summary line carries the quake's peaks.
class TestRecordModeDevsim : public QObject
{
    Q_OBJECT
private slots:
    void offlineAndOnlineFollowTheStream();
    void summaryCarriesTheQuakesPeaks();
};

namespace
{

constexpr int Timeout = 15000;

QStringList simulatorArgs(quint16 port)
{
    return {"--tcp", QString::number(port), "--serial", "4321", "--scenario", "quake", "--speed",
            "10"};
}

bool startSimulator(DemoDevice &sim, quint16 port)
{
    QString error;
    if (sim.start(QStringLiteral(DEVSIM_PROGRAM), simulatorArgs(port), &error))
        return true;
    qWarning() << "simulator:" << error;
    return false;
}

void startRecordStation(StationFixture &f, quint16 port)
{
    f.station->start(QString());
    f.useClientLinkTo(port);
    f.station->connectionPage().recordModeBox.setChecked(true);
    f.station->openLink();
    f.stopOneSecondTimers();
}

// Poll ticks until stream packets come, as the running poll timer would give them.
bool pollUntilStreaming(StationFixture &f)
{
    return QTest::qWaitFor(
        [&f] {
            if (f.station->linkManager().pollState().streamPackets > 0)
                return true;
            f.station->poller().onPollTick();
            QTest::qWait(50);
            return f.station->linkManager().pollState().streamPackets > 0;
        },
        Timeout);
}

int countOf(const QStringList &lines, const QString &phrase)
{
    int n = 0;
    for (const QString &line : lines)
        n += line.contains(phrase) ? 1 : 0;
    return n;
}

} // namespace

void TestRecordModeDevsim::offlineAndOnlineFollowTheStream()
{
    DemoDevice sim;
    QVERIFY(startSimulator(sim, 0));
    const quint16 port = sim.port();
    StationFixture f(StationFixture::LinkKind::Real);
    startRecordStation(f, port);
    LinkManager &link = f.station->linkManager();
    const QString offline = QStringLiteral(" Offline");
    const QString online = QStringLiteral(" Online");

    QVERIFY(pollUntilStreaming(f));
    for (int second = 0; second < 4; ++second) {
        QTRY_VERIFY(link.pollState().streamPackets > 0);
        link.onRateTick();
    }
    QCOMPARE(countOf(f.logLines(), offline), 0);
    QCOMPARE(countOf(f.logLines(), online), 1);
    QCOMPARE(f.station->linkStatus().dataPerSecond() % 100, 0);
    QVERIFY(f.station->linkStatus().dataPerSecond() > 0);

    sim.stop();
    QTRY_VERIFY(!f.station->clientLink().isOpen());
    int silentSeconds = 0;
    while (countOf(f.logLines(), offline) == 0 && silentSeconds < 10) {
        silentSeconds = link.pollState().streamPackets > 0 ? 0 : silentSeconds + 1;
        link.onRateTick();
    }
    QCOMPARE(silentSeconds, LinkManager::StreamSilenceLimit);
    link.onRateTick();
    QCOMPARE(countOf(f.logLines(), offline), 1);
    QVERIFY(f.station->linkStatus().isSilent());
    QCOMPARE(f.station->linkStatus().dataPerSecond(), 0);

    QVERIFY(startSimulator(sim, port));
    QVERIFY(pollUntilStreaming(f));
    link.onRateTick();
    QTRY_VERIFY(link.pollState().streamPackets > 0);
    link.onRateTick();
    QCOMPARE(countOf(f.logLines(), online), 2);
    QCOMPARE(countOf(f.logLines(), offline), 1);
    QVERIFY(!f.station->linkStatus().isSilent());
}

void TestRecordModeDevsim::summaryCarriesTheQuakesPeaks()
{
    DemoDevice sim;
    QVERIFY(startSimulator(sim, 0));
    StationFixture f(StationFixture::LinkKind::Real);
    startRecordStation(f, sim.port());
    QVERIFY(pollUntilStreaming(f));

    // The quake is over 40 simulated seconds into the run; ten packets later comes the line.
    QTRY_VERIFY_WITH_TIMEOUT(!f.readFile(QStringLiteral("Vorsa.txt")).isEmpty(), 2 * Timeout);
    const QString line = QString::fromUtf8(f.readFile(QStringLiteral("Vorsa.txt"))).trimmed();
    QVERIFY2(line.contains(QStringLiteral(",4321, Max Intensity :  5, ")), qPrintable(line));
    const auto valueAfter = [&line](const QString &label) {
        const qsizetype at = line.indexOf(label);
        return at < 0 ? -1.0 : NumberText::leadingNumber(line.mid(at + label.size()));
    };
    const double vector = valueAfter(QStringLiteral("Tri-axial Compound Vector Max :"));
    QVERIFY2(vector >= 100 && vector < 200, qPrintable(line)); // the S wave peaks at 130 gal
    QVERIFY2(valueAfter(QStringLiteral("a Axis Max :")) > 50, qPrintable(line));
    QVERIFY2(valueAfter(QStringLiteral("Compound a Axis Max:")) > 0, qPrintable(line));
    QCOMPARE(f.logLines().filter(QStringLiteral(" Max Intensity---5_4321")).size(), 1);
}

QTEST_GUILESS_MAIN(TestRecordModeDevsim)
#include "tst_recordmode_devsim.moc"
