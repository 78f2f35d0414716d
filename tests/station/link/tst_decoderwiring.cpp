#include "DevicePackets.h"
#include "StationFixture.h"

#include <QTest>

using namespace DevicePackets;

// The station passes what arrives to the decoder and what the decoder asks for to the alarm
// display and the manual recording, in the decoder's order.
class TestDecoderWiring : public QObject
{
    Q_OBJECT
private slots:
    void streamReachesDisplayAndRecording();
    void rangeCombosReachTheCharts();
};

void TestDecoderWiring::streamReachesDisplayAndRecording()
{
    StationFixture f;
    QVERIFY(QDir().mkpath(f.file(QStringLiteral("RecCSV"))));
    f.station->manualRecording().toggleRecording();
    QVERIFY(f.station->manualRecording().isRecording());
    f.station->decoder().serverBytesArrived(streamPacket({{27, 4}, {49, 257}, {32, 1}}));
    QCOMPARE(f.station->alarmPanel().intensity.text(), QStringLiteral("4"));
    QCOMPARE(f.station->alarmPanel().scaleName.text(), QStringLiteral("GB/T mode"));
    QVERIFY(f.station->alarmPanel().ioLamps[0].backColor() !=
            f.station->alarmPanel().ioLamps[1].backColor());
    QCOMPARE(f.station->alarmPanel().ioLamps[1].backColor(),
             f.station->alarmPanel().ioLamps[2].backColor());
    f.station->manualRecording().toggleRecording();
    const QDir recCsv(f.file(QStringLiteral("RecCSV")));
    const QStringList files = recCsv.entryList({QStringLiteral("M*.csv")});
    QCOMPARE(files.size(), 1);
    QFile file(recCsv.filePath(files.first()));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    // Header, 100 rows, Max, Min and the empty end.
    QCOMPARE(lines.size(), 104);
    QCOMPARE(lines[2], QByteArray("0.01,0.0598,-0.0598,0.1196\r"));
}

void TestDecoderWiring::rangeCombosReachTheCharts()
{
    StationFixture f;
    f.strip1.operations.clear();
    f.station->displaySettings().accelerationBox().choose(QStringLiteral("1000"));
    QCOMPARE(f.strip1.operations,
             (QStringList{"select 0", "range 1000 -1000", "select 1", "range 1000 -1000",
                          "select 2", "range 1000 -1000"}));
}

QTEST_GUILESS_MAIN(TestDecoderWiring)
#include "tst_decoderwiring.moc"
