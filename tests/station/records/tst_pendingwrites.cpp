#include "RecordFiles.h"
#include "StationFixture.h"
#include "WriteFailure.h"
#include "common/FieldNumbers.h"
#include "records/EventFile.h"
#include "records/PendingWrites.h"

#include <QDir>
#include <QDirIterator>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

using namespace RecordFiles;

namespace
{

const QDateTime EventStart(QDate(2024, 1, 15), QTime(8, 30, 12));
const QString EventName = QStringLiteral("240115083012_77.CSV");
// The fixture's clock reads 2026/12/07 10:00:00.
const QString LogName = QStringLiteral("Event/202612.txt");

void loadInRecordMode(StationFixture &f)
{
    f.station->start(QString());
    Readout &readout = f.station->readout();
    ConnectionPage &connection = f.station->connectionPage();
    connection.recordModeBox.setChecked(true);
    readout.liveFields.setText(Field::StationCode, QStringLiteral("77"));
    readout.liveFields.setText(Field::Intensity, QStringLiteral("4"));
}

// An event at ring row 5000 whose post-alarm time has run.
void writeEvent(StationFixture &f, const QDateTime &start)
{
    recordEvent(f.station->sampleRing(), f.station->eventFile(), start, 5000, 9000);
    f.station->eventFile().writeEventFile();
}

QString recCsv(const QString &name)
{
    return QStringLiteral("RecCSV/") + name;
}

// 12 header lines and every one of the 12000 rows, each ending CR LF.
void verifyWholeEventFile(StationFixture &f, const QString &relativePath)
{
    bool crlfOnly = false;
    const QStringList lines = crlfLines(f.readFile(relativePath), &crlfOnly);
    QVERIFY2(crlfOnly, qPrintable(relativePath));
    QCOMPARE(lines.size(), 12 + 12000);
    QCOMPARE(lines[0], QStringLiteral("#StationCode:77"));
    QCOMPARE(lines.last(), expectedEventRow(11999, ringRow(13999)));
}

QStringList filesUnder(const QString &dir)
{
    QStringList files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(dir).relativeFilePath(it.next());
    files.sort();
    return files;
}

// A manual recording made while writes fail may hold fewer lines, but only whole ones.
void verifyWholeManualFile(StationFixture &f, const QString &relativePath)
{
    const QStringList allowed = {"Time,a,b,c", "0,1,2,3", "Max, 1.0000, 2.0000, 3.0000",
                                 "Min, 1.0000, 2.0000, 3.0000"};
    bool crlfOnly = false;
    const QStringList lines = crlfLines(f.readFile(relativePath), &crlfOnly);
    QVERIFY2(crlfOnly, qPrintable(relativePath));
    QCOMPARE(lines, allowed.mid(0, lines.size()));
}

} // namespace

class TestPendingWrites : public QObject
{
    Q_OBJECT
private slots:
    void failingWrites_data();
    void failingWrites();
    void fullQueueDropsOldestAndLogsIt();
    void exitWritesWhatWaits_data();
    void exitWritesWhatWaits();
};

void TestPendingWrites::failingWrites_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("short writes at a file size limit")
        << int(WriteFailure::SizeLimit) << QStringLiteral("File too large");
    QTest::newRow("read-only program folder")
        << int(WriteFailure::ReadOnly)
        << (::geteuid() == 0 ? QStringLiteral("Read-only file system")
                             : QStringLiteral("Permission denied"));
    QTest::newRow("full file system")
        << int(WriteFailure::Full) << QStringLiteral("No space left on device");
}

// Log lines, the summary, an event file and a manual recording while writes fail: nothing
// torn, empty or half written is left, and once writes succeed again everything that waited
// appears whole and in order.
void TestPendingWrites::failingWrites()
{
    QFETCH(int, kind);
    QFETCH(QString, reason);
    StationFixture f;
    WriteFailure failure(WriteFailure::Kind(kind), f.home());
    if (!failure.available())
        QSKIP(qPrintable(failure.why()));
    loadInRecordMode(f);
    EventLog &log = f.station->eventLog();
    PendingWrites &pending = log.pendingWrites();
    const QStringList filesBefore = filesUnder(f.home());
    QStringList expectedLog = f.logLines();
    QVERIFY(failure.begin(f.file(LogName)));

    log.appendEventLog(QStringLiteral("2026/12/07 10:00:00 Pd trig"));
    writeEvent(f, EventStart);
    log.writeEventSummary(EventStart);
    ManualRecording &rec = f.station->manualRecording();
    rec.toggleRecording();
    rec.appendSample(1, 2, 3);
    if (rec.isRecording())
        rec.toggleRecording();
    expectedLog << QStringLiteral("2026/12/07 10:00:00 Pd trig_77")
                << QStringLiteral("2024/01/15 08:30:12 Max Intensity---4_77");

    bool crlfOnly = false;
    const QStringList logWhileFailing = crlfLines(f.readFile(LogName), &crlfOnly);
    QVERIFY(crlfOnly);
    QCOMPARE(logWhileFailing, expectedLog.mid(0, logWhileFailing.size()));
    for (const QString &file : filesUnder(f.home())) {
        QVERIFY2(QFileInfo(f.file(file)).size() > 0, qPrintable(file + " is empty"));
        if (filesBefore.contains(file) || file == QLatin1String("filler"))
            continue;
        QVERIFY2(
            QRegularExpression(QStringLiteral("^RecCSV/M\\d{10}\\.csv$")).match(file).hasMatch(),
            qPrintable(file + " should not be there"));
        verifyWholeManualFile(f, file);
    }
    QVERIFY(f.station->eventLog().writeWarning().isVisible());
    const QString warning = f.station->eventLog().writeWarning().text();
    QVERIFY2(warning.contains(reason), qPrintable(warning));
    QVERIFY2(warning.contains(f.file(QStringLiteral("Event"))) ||
                 warning.contains(f.file(QStringLiteral("RecCSV"))),
             qPrintable(warning));
    QVERIFY(pending.retryTimer().isActive());
    QCOMPARE(pending.retryTimer().interval(), 10000);

    // Writable again: a new line waits behind the lines that still wait for the same file.
    failure.end();
    log.appendEventLog(QStringLiteral("2026/12/07 10:00:10 P End"));
    expectedLog << QStringLiteral("2026/12/07 10:00:10 P End_77");
    pending.retry();

    QCOMPARE(f.logLines(), expectedLog);
    verifyWholeEventFile(f, recCsv(EventName));
    QVERIFY2(!QFile::exists(f.file(EventName)), "the event was written twice");
    QCOMPARE(f.readFile(QStringLiteral("Vorsa.txt")),
             log.summaryLine(EventStart).toUtf8() + "\r\n");
    QVERIFY(pending.isEmpty());
    QVERIFY(!f.station->eventLog().writeWarning().isVisible());
    QVERIFY(!pending.retryTimer().isActive());
}

void TestPendingWrites::fullQueueDropsOldestAndLogsIt()
{
    StationFixture f;
    WriteFailure failure(WriteFailure::SizeLimit, f.home());
    loadInRecordMode(f);
    QVERIFY(failure.begin(f.file(LogName)));
    for (int k = 0; k < 11; ++k)
        writeEvent(f, EventStart.addSecs(k));
    failure.end();
    f.station->eventLog().pendingWrites().retry();

    QStringList expectedFiles;
    for (int k = 1; k < 11; ++k)
        expectedFiles << EventStart.addSecs(k).toString(QStringLiteral("yyMMddHHmmss_77.CSV"));
    QCOMPARE(QDir(f.file(QStringLiteral("RecCSV"))).entryList(QDir::Files, QDir::Name),
             expectedFiles);
    verifyWholeEventFile(f, recCsv(expectedFiles.last()));
    const QStringList drops = f.logLines().filter(QStringLiteral(" Write queue full, dropped "));
    QCOMPARE(drops.size(), 1);
    QVERIFY2(drops[0].contains(f.file(recCsv(EventName))), qPrintable(drops[0]));
}

void TestPendingWrites::exitWritesWhatWaits_data()
{
    QTest::addColumn<bool>("fromMenu");
    QTest::addColumn<QString>("lastLine");
    QTest::newRow("&Exit") << true << "2026/12/07 10:00:00 Manual Exit Application_77";
    QTest::newRow("SIGTERM or SIGINT") << false << "2026/12/07 10:00:00 System Exit Application_77";
}

void TestPendingWrites::exitWritesWhatWaits()
{
    QFETCH(bool, fromMenu);
    QFETCH(QString, lastLine);
    StationFixture f;
    WriteFailure failure(WriteFailure::SizeLimit, f.home());
    loadInRecordMode(f);
    QVERIFY(failure.begin(f.file(LogName)));
    writeEvent(f, EventStart);
    failure.end();
    QVERIFY(!QFile::exists(f.file(recCsv(EventName))));

    QSignalSpy quit(f.station.get(), &Station::quitRequested);
    f.prompter.yesNoAnswers << true;
    if (fromMenu)
        f.station->confirmExit();
    else
        f.station->systemExit();
    QCOMPARE(quit.size(), 1);
    verifyWholeEventFile(f, recCsv(EventName));
    QCOMPARE(f.logLines().last(), lastLine);
}

QTEST_GUILESS_MAIN(TestPendingWrites)
#include "tst_pendingwrites.moc"
