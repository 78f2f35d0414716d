#include "RecordFiles.h"
#include "StationFixture.h"
#include "common/ProgramFolder.h"
#include "records/ManualRecording.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>

using namespace RecordFiles;

namespace
{

// The fixture's clock reads 2026/12/07 10:00:00.
const QString FirstName = QStringLiteral("M1207100000.csv");

QStringList recCsvFiles(StationFixture &f)
{
    return QDir(f.file(QStringLiteral("RecCSV"))).entryList(QDir::Files, QDir::Name);
}

QStringList linesOf(StationFixture &f, const QString &relativePath, bool *crlfOnly = nullptr)
{
    return crlfLines(f.readFile(relativePath), crlfOnly);
}

QString recCsv(const QString &name)
{
    return QStringLiteral("RecCSV/") + name;
}

} // namespace

class TestManualRecording : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void startAndStopWithoutSample();
    void controlsWhileRecording();
    void rowsAndExtremes();
    void cutAt30000RowsLosesNoSample();
    void recordingsInOneSecondKeepEveryFile();
    void failedMoveKeepsFile();
    void failedStartTellsAndStaysIdle();
    void exitStopsRunningRecording();

private:
    std::unique_ptr<StationFixture> f;
    ManualRecording *rec = nullptr;
};

void TestManualRecording::init()
{
    f = std::make_unique<StationFixture>();
    f->station->start(QString());
    rec = &f->station->manualRecording();
}

void TestManualRecording::startAndStopWithoutSample()
{
    rec->toggleRecording();
    QVERIFY(QFile::exists(f->file(FirstName)));
    rec->toggleRecording();

    QVERIFY2(!QFile::exists(f->file(FirstName)), "left in the program folder");
    QCOMPARE(f->readFile(recCsv(FirstName)), QByteArray("Time,a,b,c\r\n"
                                                        "Max, -999.0000, -999.0000, -999.0000\r\n"
                                                        "Min, 999.0000, 999.0000, 999.0000\r\n"));
}

void TestManualRecording::controlsWhileRecording()
{
    Readout &readout = f->station->readout();
    QSignalSpy changes(rec, &ManualRecording::recordingChanged);
    rec->toggleRecording();
    QVERIFY(rec->isRecording());
    QCOMPARE(changes.takeFirst().value(0).toBool(), true);
    QCOMPARE(f->station->alarmPanel().recording.text(), QStringLiteral("Vorsa Recording-M"));
    QVERIFY(f->station->alarmPanel().recording.isVisible());

    rec->toggleRecording();
    QVERIFY(!rec->isRecording());
    QCOMPARE(readout.statusLine.text(), QStringLiteral("Manual recording saved as ") +
                                            QDir::toNativeSeparators(f->file(recCsv(FirstName))));
    QCOMPARE(changes.takeFirst().value(0).toBool(), false);
    QCOMPARE(f->station->alarmPanel().recording.text(), QStringLiteral("Vorsa Recording"));
    QVERIFY(!f->station->alarmPanel().recording.isVisible());
}

void TestManualRecording::rowsAndExtremes()
{
    rec->appendSample(9, 9, 9); // no recording runs: dropped
    rec->toggleRecording();
    rec->appendSample(0.5f, -1.25f, 3);
    rec->appendSample(2, -0.1f, 0.00001f);
    for (int k = 2; k < 58; ++k)
        rec->appendSample(1, -1, 1);
    QVERIFY2(linesOf(*f, FirstName).size() == 1 + 58, "rows held back while recording");
    rec->toggleRecording();

    bool crlfOnly = false;
    const QStringList lines = linesOf(*f, recCsv(FirstName), &crlfOnly);
    QVERIFY(crlfOnly);
    QCOMPARE(lines.size(), 1 + 58 + 2);
    QCOMPARE(lines[1], QStringLiteral("0,0.5,-1.25,3"));
    QCOMPARE(lines[2], QStringLiteral("0.01,2,-0.1,1E-05"));
    QCOMPARE(lines[58], QStringLiteral("0.57,1,-1,1"));
    QCOMPARE(lines[59], QStringLiteral("Max, 2.0000, -0.1000, 3.0000"));
    QCOMPARE(lines[60], QStringLiteral("Min, 0.5000, -1.2500, 0.0000"));
}

void TestManualRecording::cutAt30000RowsLosesNoSample()
{
    const int samples = ManualRecording::RowsPerFile + 2;
    rec->toggleRecording();
    for (int i = 0; i < samples; ++i)
        rec->appendSample(float(i) * 0.5f, -float(i), float(i % 7));
    QVERIFY2(rec->isRecording(), "the cut must go straight on into the next file");
    rec->toggleRecording();

    const QStringList first = linesOf(*f, recCsv(FirstName));
    QCOMPARE(first.size(), 1 + 30000 + 2);
    QCOMPARE(first[1], QStringLiteral("0,0,0,0"));
    QCOMPARE(first[30000], QStringLiteral("299.99,14999.5,-29999,4"));
    QCOMPARE(first[30001], QStringLiteral("Max, 14999.5000, 0.0000, 6.0000"));
    QCOMPARE(first[30002], QStringLiteral("Min, 0.0000, -29999.0000, 0.0000"));

    // Started in the same second (the clock stands still), so the next file gets its own name.
    const QStringList second = linesOf(*f, recCsv(QStringLiteral("M1207100000_2.csv")));
    QCOMPARE(second, QStringList({"Time,a,b,c", "0,15000,-30000,5", "0.01,15000.5,-30001,6",
                                  "Max, 15000.5000, -999.0000, 6.0000",
                                  "Min, 999.0000, -30001.0000, 5.0000"}));
}

void TestManualRecording::recordingsInOneSecondKeepEveryFile()
{
    for (int n = 0; n < 3; ++n) {
        rec->toggleRecording();
        rec->appendSample(float(n), 0, 0);
        rec->toggleRecording();
    }
    QCOMPARE(recCsvFiles(*f), QStringList({FirstName, "M1207100000_2.csv", "M1207100000_3.csv"}));
    QCOMPARE(linesOf(*f, recCsv(QStringLiteral("M1207100000_3.csv"))).value(1),
             QStringLiteral("0,2,0,0"));

    f->clock.advanceSeconds(1);
    rec->toggleRecording();
    rec->toggleRecording();
    QVERIFY(recCsvFiles(*f).contains(QStringLiteral("M1207100001.csv")));
}

void TestManualRecording::failedMoveKeepsFile()
{
    Readout &readout = f->station->readout();
    rec->toggleRecording();
    rec->appendSample(1, 2, 3);
    QVERIFY(QDir(f->file(QStringLiteral("RecCSV"))).removeRecursively());
    rec->toggleRecording();

    QCOMPARE(linesOf(*f, FirstName),
             QStringList({"Time,a,b,c", "0,1,2,3", "Max, 1.0000, 2.0000, 3.0000",
                          "Min, 1.0000, 2.0000, 3.0000"}));
    QVERIFY2(readout.statusLine.text().contains(QStringLiteral("kept in")),
             qPrintable(readout.statusLine.text()));
    QVERIFY(!rec->isRecording());
}

void TestManualRecording::failedStartTellsAndStaysIdle()
{
    Control statusLine;
    Control indicator;
    indicator.setVisible(false);
    const ProgramFolder gone(f->file(QStringLiteral("gone")));
    ManualRecording lonely(statusLine, indicator, gone, f->clock);
    QSignalSpy changes(&lonely, &ManualRecording::recordingChanged);
    lonely.toggleRecording();
    lonely.appendSample(1, 2, 3);

    QVERIFY(!lonely.isRecording());
    QVERIFY2(statusLine.text().startsWith(QStringLiteral("Cannot start the manual recording")),
             qPrintable(statusLine.text()));
    QVERIFY(changes.isEmpty());
    QVERIFY(!indicator.isVisible());
}

void TestManualRecording::exitStopsRunningRecording()
{
    rec->toggleRecording();
    rec->appendSample(1, 2, 3);
    f->prompter.yesNoAnswers << true;
    QSignalSpy quit(f->station.get(), &Station::quitRequested);
    f->station->confirmExit();

    QCOMPARE(quit.size(), 1);
    QVERIFY(!rec->isRecording());
    QCOMPARE(linesOf(*f, recCsv(FirstName)).value(2),
             QStringLiteral("Max, 1.0000, 2.0000, 3.0000"));
}

QTEST_GUILESS_MAIN(TestManualRecording)
#include "tst_manualrecording.moc"
