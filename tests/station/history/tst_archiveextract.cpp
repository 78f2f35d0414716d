#include "ArchiveSamples.h"
#include "Fakes.h"
#include "MiniSeedReadBack.h"
#include "history/ArchiveExtract.h"
#include "history/MiniSeedExport.h"
#include "records/ArchiveWriter.h"
#include "shell/ArchiveCommand.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace ArchiveSamples;

class TestArchiveExtract : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void miniSeedKeepsSpanAndGap();
    void recordFileLoadsAndExports();
    void commandWords_data();
    void commandWords();

private:
    QTemporaryDir dir_;
    MiniSeedOptions codes_;
};

// Two seconds before midnight UTC to one second after, then a gap of three seconds, then two
// seconds more: 3 + 2 packets.
void TestArchiveExtract::initTestCase()
{
    FakeClock clock(Midnight);
    ArchiveWriter writer(dir_.filePath(QStringLiteral("archive")), codes_, clock);
    // Each packet arrives with its last sample.
    for (int s = 0; s < 3; ++s) {
        clock.set(Midnight.addMSecs((s - 2) * 1000 + 990));
        writer.takePacket(packet(s * 100));
    }
    for (int s = 0; s < 2; ++s) {
        clock.set(Midnight.addMSecs((4 + s) * 1000 + 990));
        writer.takePacket(packet(300 + s * 100));
    }
    writer.flush();
}

void TestArchiveExtract::miniSeedKeepsSpanAndGap()
{
    const ArchiveExtract extract(dir_.filePath(QStringLiteral("archive")), codes_);
    const QString path = dir_.filePath(QStringLiteral("span.mseed"));
    const ArchiveExtract::Result result = extract.writeMiniSeed(
        Midnight.addMSecs(-1500), Midnight.addMSecs(4500), {codes_.channels[1]}, path);
    QCOMPARE(result.output, path);
    const MiniSeedReadBack back = MiniSeedReadBack::read(path);
    QVERIFY(back.ok);
    QCOMPARE(back.segments.size(), size_t(2));
    QCOMPARE(back.segments[0].channel, codes_.channels[1]);
    QCOMPARE(back.segments[0].startMicros, micros(Midnight) - 1500000);
    QCOMPARE(back.segments[0].samples, run(1050, 250)); // across midnight, one run
    QCOMPARE(back.segments[1].startMicros, micros(Midnight.addSecs(4)));
    QCOMPARE(back.segments[1].samples, run(1300, 50));

    const ArchiveExtract::Result none = extract.writeMiniSeed(
        Midnight.addSecs(1), Midnight.addSecs(4), {}, dir_.filePath(QStringLiteral("gap.mseed")));
    QVERIFY(none.output.isEmpty());
    QVERIFY(!QFile::exists(dir_.filePath(QStringLiteral("gap.mseed"))));
}

// The record file starts at a whole second, the history page's export reads it back with the
// samples' own start and values.
void TestArchiveExtract::recordFileLoadsAndExports()
{
    const ArchiveExtract extract(dir_.filePath(QStringLiteral("archive")), codes_);
    const ArchiveExtract::Result result =
        extract.writeRecordFile(Midnight.addMSecs(-1700), Midnight.addSecs(1), dir_.path());
    const QString name = QStringLiteral("M%1.csv").arg(
        Midnight.addSecs(-1).toLocalTime().toString(QStringLiteral("MMddHHmmss")));
    QCOMPARE(result.output, dir_.filePath(name));

    const MiniSeedExport::Result exported = MiniSeedExport(codes_, 0).exportFile(result.output);
    QVERIFY2(!exported.output.isEmpty(), qPrintable(exported.message));
    QCOMPARE(exported.samplesPerTrace, qint64(200));
    const MiniSeedReadBack back = MiniSeedReadBack::read(exported.output);
    QVERIFY(back.ok);
    QCOMPARE(back.segments.size(), size_t(3));
    for (const MiniSeedReadBack::Segment &segment : back.segments) {
        QCOMPARE(segment.startMicros, micros(Midnight) - 1000000);
        const int axis = segment.channel.back().toLatin1() - 'A';
        for (int k = 0; k < 200; ++k)
            QCOMPARE(segment.floats[size_t(k)], float((axis * 1000 + 100 + k) * 598 / 10000.0));
    }
}

void TestArchiveExtract::commandWords_data()
{
    QTest::addColumn<QStringList>("words");
    QTest::addColumn<bool>("usable");
    QTest::newRow("local times") << QStringList{"2026-03-01T12:00:00", "2026-03-01T12:10:00"}
                                 << true;
    QTest::newRow("UTC and channels")
        << QStringList{"2026-03-01T12:00:00Z", "2026-03-01T12:00:30.5Z", "HNA,HNC"} << true;
    QTest::newRow("station form") << QStringList{"2026/03/01 12:00:00", "2026/03/02 00:00:00"}
                                  << true;
    QTest::newRow("end before start")
        << QStringList{"2026-03-01T12:00:00", "2026-03-01T11:00:00"} << false;
    QTest::newRow("no end") << QStringList{"2026-03-01T12:00:00"} << false;
    QTest::newRow("no time") << QStringList{"yesterday", "2026-03-01T11:00:00"} << false;
}

void TestArchiveExtract::commandWords()
{
    QFETCH(QStringList, words);
    QFETCH(bool, usable);
    QCOMPARE(ArchiveCommand::problem(words).isEmpty(), usable);
}

QTEST_GUILESS_MAIN(TestArchiveExtract)
#include "tst_archiveextract.moc"
