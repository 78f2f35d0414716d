#include "ArchiveSamples.h"
#include "Fakes.h"
#include "MiniSeedReadBack.h"
#include "records/ArchiveWriter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace ArchiveSamples;

class TestArchiveWriter : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void dayFileIsSdsPath();
    void dayChangeSplitsAtMidnightUtc();
    void outageLeavesGapWithoutSamples();
    void onlyUnflushedSamplesAreLost();
    void refusedWriteWaitsAndIsRetried();
    void pollAnswersArchivedWhileInStep();

private:
    // The packet whose first sample was taken at `first` arrives with its last one.
    void arrive(ArchiveWriter &writer, const DecodedPacket &p, const QDateTime &first)
    {
        clock_.set(first.addMSecs(990));
        writer.takePacket(p);
    }

    std::unique_ptr<QTemporaryDir> dir_;
    FakeClock clock_{Midnight};
    MiniSeedOptions codes_;
};

void TestArchiveWriter::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    codes_ = MiniSeedOptions{};
    codes_.network = QStringLiteral("AB");
    codes_.station = QStringLiteral("kr-12345678");
    codes_.location = QString();
}

void TestArchiveWriter::dayFileIsSdsPath()
{
    const ArchiveWriter writer(dir_->path(), codes_, clock_);
    QCOMPARE(writer.dayFile(1, QDate(2026, 2, 9)),
             dir_->path() + QStringLiteral("/2026/AB/45678/HNB.D/AB.45678..HNB.D.2026.040"));
}

// A packet starting half a second before midnight puts 50 samples in each day's file; the
// new day's file begins exactly at 00:00:00.000 and the two join without a sample lost.
void TestArchiveWriter::dayChangeSplitsAtMidnightUtc()
{
    ArchiveWriter writer(dir_->path(), codes_, clock_);
    arrive(writer, packet(0), Midnight.addMSecs(-1500));
    arrive(writer, packet(100), Midnight.addMSecs(-500));
    arrive(writer, packet(200), Midnight.addMSecs(500));
    writer.flush();
    for (int axis = 0; axis < ArchiveWriter::Axes; ++axis) {
        const MiniSeedReadBack before =
            MiniSeedReadBack::read(writer.dayFile(axis, QDate(2026, 2, 28)));
        const MiniSeedReadBack after =
            MiniSeedReadBack::read(writer.dayFile(axis, QDate(2026, 3, 1)));
        QVERIFY(before.ok && after.ok);
        QCOMPARE(before.segments.size(), size_t(1));
        QCOMPARE(after.segments.size(), size_t(1));
        QCOMPARE(before.segments[0].channel, codes_.channels[size_t(axis)]);
        QCOMPARE(before.segments[0].startMicros, micros(Midnight) - 1500000);
        QCOMPARE(before.segments[0].samples, run(axis * 1000, 150));
        QCOMPARE(after.segments[0].startMicros, micros(Midnight));
        QCOMPARE(after.segments[0].sampleRate, 100.0);
        QCOMPARE(after.segments[0].samples, run(axis * 1000 + 150, 150));
    }
}

// Packets arriving a little late, or drained at once from a backlog, continue the run; one a
// second late follows a lost packet: the run ends there and the time between holds no sample.
void TestArchiveWriter::outageLeavesGapWithoutSamples()
{
    ArchiveWriter writer(dir_->path(), codes_, clock_);
    const QDateTime start = Midnight.addSecs(3600);
    arrive(writer, packet(0), start);
    arrive(writer, packet(100), start.addSecs(1));
    arrive(writer, packet(200), start.addMSecs(2300)); // 0.3 s late
    arrive(writer, packet(300), start.addMSecs(3300));
    arrive(writer, packet(400), start.addMSecs(3300)); // a backlog: 1 s early
    arrive(writer, packet(500), start.addSecs(7));     // one packet lost
    writer.flush();
    const MiniSeedReadBack back = MiniSeedReadBack::read(writer.dayFile(0, Midnight.date()));
    QVERIFY(back.ok);
    QCOMPARE(back.segments.size(), size_t(2));
    QCOMPARE(back.segments[0].startMicros, micros(start));
    QCOMPARE(back.segments[0].samples, run(0, 500));
    QCOMPARE(back.segments[1].startMicros, micros(start.addSecs(7)));
    QCOMPARE(back.segments[1].samples, run(500, 100));
}

// Records reach the disk only whole and only at a flush: what a crash loses is what came
// since the last flush, and the file read back is never torn.
void TestArchiveWriter::onlyUnflushedSamplesAreLost()
{
    const QDateTime start = Midnight.addSecs(60);
    QString path;
    {
        ArchiveWriter writer(dir_->path(), codes_, clock_);
        path = writer.dayFile(2, Midnight.date());
        QVERIFY(writer.flushTimer().interval() <= 10000);
        for (int s = 0; s < 10; ++s)
            arrive(writer, packet(s * 100), start.addSecs(s));
        QVERIFY(!QFile::exists(path));
        writer.flush();
        for (int s = 10; s < 15; ++s)
            arrive(writer, packet(s * 100), start.addSecs(s));
    } // ends without a flush, as a killed program would
    QCOMPARE(QFileInfo(path).size() % ArchiveWriter::RecordLength, 0);
    const MiniSeedReadBack back = MiniSeedReadBack::read(path);
    QVERIFY(back.ok);
    QCOMPARE(back.segments.size(), size_t(1));
    QCOMPARE(back.segments[0].samples, run(2000, 1000));
}

void TestArchiveWriter::refusedWriteWaitsAndIsRetried()
{
    ArchiveWriter writer(dir_->path(), codes_, clock_);
    const QString blocker = dir_->filePath(QStringLiteral("2026"));
    QFile file(blocker);
    QVERIFY(file.open(QIODevice::WriteOnly)); // a file where the year's folder belongs
    file.close();
    const QDateTime start = Midnight.addSecs(60);
    arrive(writer, packet(0), start);
    writer.flush();
    QVERIFY(writer.warning().isVisible());
    QVERIFY(writer.warning().text().contains(QStringLiteral("tried again every 10 s")));
    arrive(writer, packet(100), start.addSecs(1));
    QVERIFY(QFile::remove(blocker));
    writer.flush();
    QVERIFY(!writer.warning().isVisible());
    const MiniSeedReadBack back = MiniSeedReadBack::read(writer.dayFile(0, Midnight.date()));
    QVERIFY(back.ok);
    QCOMPARE(back.segments.size(), size_t(1));
    QCOMPARE(back.segments[0].samples, run(0, 200));
}

// Poll answers at the device's pace are archived from the first of them, jitter within the
// slack included; one out of step ends the run and the next run begins once answers are in
// step again; a poll slower than the device archives nothing, and a lone read beside the
// stream does not break the stream's run.
void TestArchiveWriter::pollAnswersArchivedWhileInStep()
{
    ArchiveWriter writer(dir_->path(), codes_, clock_);
    const QDateTime start = Midnight.addSecs(7200);
    DecodedPacket answer;
    answer.source = DecodedPacket::Source::TcpResponse;
    const auto answerAt = [&](qint64 ms, int value) {
        answer.samples = packet(value, 1).samples;
        clock_.set(start.addMSecs(ms));
        writer.takePacket(answer);
    };
    for (int k = 0; k < 150; ++k)
        answerAt(k * 10 + (k % 2) * 8, k);
    for (int k = 150; k < 250; ++k)
        answerAt(k * 10 + 30, k); // the first 30 ms late
    for (int k = 0; k < 300; ++k)
        answerAt(3000 + k * 11, 500 + k);
    arrive(writer, packet(1000), start.addSecs(10));
    answerAt(11500, 900);
    arrive(writer, packet(1100), start.addSecs(11));
    writer.flush();

    const MiniSeedReadBack back = MiniSeedReadBack::read(writer.dayFile(0, Midnight.date()));
    QVERIFY(back.ok);
    QCOMPARE(back.segments.size(), size_t(3));
    QCOMPARE(back.segments[0].startMicros, micros(start));
    QCOMPARE(back.segments[0].samples, run(0, 150));
    QCOMPARE(back.segments[1].startMicros, micros(start.addMSecs(1530)));
    QCOMPARE(back.segments[1].samples, run(150, 100));
    QCOMPARE(back.segments[2].startMicros, micros(start.addSecs(10)));
    QCOMPARE(back.segments[2].samples, run(1000, 200));
}

QTEST_GUILESS_MAIN(TestArchiveWriter)
#include "tst_archivewriter.moc"
