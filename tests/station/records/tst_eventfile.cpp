#include "RecordFiles.h"
#include "RecordsRig.h"
#include "StationFixture.h"
#include "WriteFailure.h"
#include "common/FieldNumbers.h"
#include "common/LiveFields.h"
#include "common/NumberText.h"
#include "common/ProgramFolder.h"
#include "common/RecordFolder.h"
#include "records/EventFile.h"
#include "records/EventJournal.h"
#include "records/SampleRing.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>
#include <unistd.h>

using namespace RecordFiles;

namespace
{

const QDateTime EventStart(QDate(2024, 1, 15), QTime(8, 30, 12));

// An event file on its own, writing to the record folder of a fresh program folder, for a
// station whose code is 77 and whose intensity is 4.
struct EventFileRig : RecordsRig<> {
    EventFileRig()
    {
        QDir().mkpath(folder.file(QStringLiteral("RecCSV")));
        recording.setRecordFolder(folder.file(QStringLiteral("RecCSV")));
        readout.liveFields.setText(Field::StationCode, QStringLiteral("77"));
        readout.liveFields.setText(Field::Intensity, QStringLiteral("4"));
    }
    QString recordPath(const QString &name) const
    {
        return QDir(recording.recordFolder()).filePath(name);
    }
    QStringList logLines() const
    {
        QFile file(folder.file(QStringLiteral("Event/") + eventLog.monthFileName()));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return crlfLines(file.readAll());
    }
};

QString recordPath(StationFixture &f, const QString &name)
{
    return QDir(f.station->recordFolder().path()).filePath(name);
}

QStringList readLines(const QString &path, bool *crlfOnly = nullptr)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return crlfLines(file.readAll(), crlfOnly);
}

void tick(EventFile &eventFile, int times)
{
    for (int i = 0; i < times; ++i)
        eventFile.onPostAlarmTick();
}

// A Record-mode station with short record times, `recordedBefore` rows stored before the
// device reports an event.
void startRecording(StationFixture &f, int recordedBefore)
{
    f.station->start(QString());
    Readout &readout = f.station->readout();
    ConnectionPage &connection = f.station->connectionPage();
    connection.recordModeBox.setChecked(true);
    readout.liveFields.setText(Field::StationCode, QStringLiteral("77"));
    connection.preEventField.setText(QStringLiteral("3"));
    connection.postEventField.setText(QStringLiteral("5"));
    f.station->triggerLogic().setDeviceClock(EventStart);
    pushRows(f.station->sampleRing(), recordedBefore);
    readout.liveFields.setText(Field::EventFlags, QStringLiteral("2"));
}

QStringList journalsIn(const QString &dir)
{
    return QDir(dir).entryList({QStringLiteral(".*")}, QDir::Files | QDir::Hidden);
}

} // namespace

class TestEventFile : public QObject
{
    Q_OBJECT
private slots:
    void writtenOnLastPostAlarmTick();
    void eventStartWritesOnlyInRecordMode_data();
    void eventStartWritesOnlyInRecordMode();
    void windowOfRows_data();
    void windowOfRows();
    void header();
    void extremes_data();
    void extremes();
    void stationCodeInName_data();
    void stationCodeInName();
    void twoEventsInOneSecondShareTheFile();
    void tooWideValueWrittenWhole();
    void laterFlagChangesKeepTheFirstStart();
    void overlappingEventsEachWrittenOnce();
    void windowOfRecordedRows_data();
    void windowOfRecordedRows();
    void writeFailureKeepsSamples_data();
    void writeFailureKeepsSamples();
    void bothFoldersFailingWarns();
    void exitWritesPendingEventWithSamplesAtHand();
    void journalFollowsThePendingFile();
    void journalRecoveredAtStart_data();
    void journalRecoveredAtStart();
    void journalRefusedByTheDisk_data();
    void journalRefusedByTheDisk();
    void recordTimesRefused_data();
    void recordTimesRefused();
};

void TestEventFile::writtenOnLastPostAlarmTick()
{
    EventFileRig r;
    recordEvent(r.ring, r.eventFile, EventStart, 5000, 9000);
    QSignalSpy pending(&r.eventFile, &EventFile::pendingChanged);
    r.eventFile.armPostAlarm();
    const QString path = r.recordPath(QStringLiteral("240115083012_77.CSV"));

    tick(r.eventFile, 89);
    QVERIFY2(!QFile::exists(path), "written before the 90th tick");
    QVERIFY(r.eventFile.isPending());
    QCOMPARE(pending.size(), 1);
    QCOMPARE(r.eventFile.postAlarmTicks(), 89);

    tick(r.eventFile, 1);
    QVERIFY(QFile::exists(path));
    QVERIFY(!r.eventFile.isPending());
    QCOMPARE(pending.size(), 2);
    QCOMPARE(pending.last().at(0).toBool(), false);
    QCOMPARE(r.eventFile.postAlarmTicks(), 0);

    // A written window is not armed again; the next event's file ticks by itself.
    QFile::remove(path);
    r.recording.setPostAlarmSeconds(1);
    r.eventFile.armPostAlarm();
    QVERIFY(!r.eventFile.isPending());
    r.eventFile.beginEvent(EventStart);
    r.eventFile.armPostAlarm();
    QTRY_VERIFY(QFile::exists(path));
}

void TestEventFile::eventStartWritesOnlyInRecordMode_data()
{
    QTest::addColumn<bool>("recordMode");
    QTest::newRow("Record mode") << true;
    QTest::newRow("not in Record mode") << false;
}

void TestEventFile::eventStartWritesOnlyInRecordMode()
{
    QFETCH(bool, recordMode);
    StationFixture f;
    f.station->start(QString());
    Readout &readout = f.station->readout();
    ConnectionPage &connection = f.station->connectionPage();
    SampleRing &ring = f.station->sampleRing();
    EventFile &eventFile = f.station->eventFile();
    connection.recordModeBox.setChecked(recordMode);
    readout.liveFields.setText(Field::StationCode, QStringLiteral("77"));
    pushRows(ring, 5000);
    readout.liveFields.setText(Field::EventFlags,
                               QStringLiteral("2")); // the device reports a Pd trigger
    QCOMPARE(ring.eventIndex(), 5000);
    QCOMPARE(eventFile.isPending(), recordMode);
    QCOMPARE(f.station->alarmPanel().recording.isVisible(), recordMode);

    pushRows(ring, 9000);
    for (int second = 0; second < 90 && eventFile.isPending(); ++second)
        eventFile.onPostAlarmTick();
    // No packet time yet: the event is named after the PC clock.
    QCOMPARE(QFile::exists(recordPath(f, QStringLiteral("261207100000_77.CSV"))), recordMode);
    QVERIFY(!f.station->alarmPanel().recording.isVisible());
    if (recordMode)
        QCOMPARE(readLines(recordPath(f, QStringLiteral("261207100000_77.CSV"))).value(12 + 3000),
                 expectedEventRow(3000, ringRow(5000)));
}

void TestEventFile::windowOfRows_data()
{
    QTest::addColumn<double>("pre");
    QTest::addColumn<double>("post");
    QTest::addColumn<int>("eventIndex");
    QTest::addColumn<int>("ticks");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("firstRingRow");

    QTest::newRow("defaults") << 30.0 << 90.0 << 5000 << 90 << 12000 << 2000;
    QTest::newRow("trigger 10 s after row 0: wraps")
        << 30.0 << 90.0 << 1000 << 90 << 12000 << 22000;
    QTest::newRow("window starts at the last ring row")
        << 30.0 << 90.0 << 2999 << 90 << 12000 << 23999;
    QTest::newRow("window starts at row 0") << 30.0 << 90.0 << 3000 << 90 << 12000 << 0;
    QTest::newRow("window runs past the end of the ring")
        << 30.0 << 90.0 << 20000 << 90 << 12000 << 17000;
    QTest::newRow("short times") << 10.0 << 20.0 << 500 << 20 << 3000 << 23500;
    QTest::newRow("fractional pre-alarm time") << 2.5 << 1.0 << 100 << 1 << 350 << 23850;
    QTest::newRow("whole ring") << 240.0 << 0.0 << 7 << 0 << 24000 << 7;
}

void TestEventFile::windowOfRows()
{
    QFETCH(double, pre);
    QFETCH(double, post);
    QFETCH(int, eventIndex);
    QFETCH(int, ticks);
    QFETCH(int, rows);
    QFETCH(int, firstRingRow);

    EventFileRig r;
    r.recording.setPreAlarmSeconds(pre);
    r.recording.setPostAlarmSeconds(post);
    recordEvent(r.ring, r.eventFile, EventStart, eventIndex, rows - int(pre * 100));
    r.eventFile.armPostAlarm();
    tick(r.eventFile, qMax(ticks, 1));

    bool crlfOnly = false;
    const QStringList lines =
        readLines(r.recordPath(QStringLiteral("240115083012_77.CSV")), &crlfOnly);
    QVERIFY(crlfOnly);
    QCOMPARE(lines.size(), 12 + rows);
    QCOMPARE(lines[3], QStringLiteral("#RecordLength(sec):   120.00 "));
    for (int k = 0; k < rows; ++k) {
        const int row = (firstRingRow + k) % SampleRing::Rows;
        const QString want = expectedEventRow(k, ringRow(row));
        if (lines[12 + k] != want)
            QFAIL(qPrintable(QStringLiteral("row %1: %2, expected %3 (ring row %4)")
                                 .arg(k)
                                 .arg(lines[12 + k], want)
                                 .arg(row)));
    }
    const int triggerRow = 12 + int(pre * 100);
    if (triggerRow < lines.size())
        QVERIFY2(lines[triggerRow] == expectedEventRow(triggerRow - 12, ringRow(eventIndex)),
                 "the trigger row is not at the pre-alarm time");
}

void TestEventFile::header()
{
    EventFileRig r;
    recordEvent(r.ring, r.eventFile, EventStart, 5000, 9000, [](int row) {
        SampleRing::Row v = ringRow(row);
        if (row >= 2000 && row < 14000)
            v = {0.25f, -3.0f, 7.5f, 1, 1};
        if (row == 2500)
            v[0] = 12.5f;
        if (row == 9000)
            v[0] = -20.1f;
        return v;
    });
    r.eventFile.writeEventFile();

    const QStringList lines = readLines(r.recordPath(QStringLiteral("240115083012_77.CSV")));
    const QStringList want = {
        "#StationCode:77",
        "#InstrumentKind: CSV  (240115083012_77.CSV)",
        "#StartTime:2024/01/15 08:30:12",
        "#RecordLength(sec):   120.00 ",
        "#SampleRate(Hz): 100",
        "#AmplitudeUnit:  gal. DCoffset(corr)",
        "#AmplitudeMAX. a:   12.5 ~ -20.1",
        "#AmplitudeMAX. b:   -3 ~ -3",
        "#AmplitudeMAX. c:   7.5 ~ 7.5",
        "#Intensity: 4",
        "#DataSequence: Time; a; b; c; Pd; Displacement",
        "#Data: 4F10.3 ",
    };
    QCOMPARE(lines.mid(0, 12), want);
    QCOMPARE(lines[12],
             QStringLiteral("      0.00,     0.250,    -3.000,     7.500,     1.000,     1.000"));
    QCOMPARE(lines.last().left(10), QStringLiteral("    119.99"));
}

void TestEventFile::extremes_data()
{
    QTest::addColumn<float>("value");
    QTest::addColumn<QString>("line");
    QTest::newRow("all below the start maximum") << -1000.0f << "#AmplitudeMAX. a:   -999 ~ -1000";
    QTest::newRow("all above the start minimum") << 1000.0f << "#AmplitudeMAX. a:   1000 ~ 999";
    QTest::newRow("seven significant digits") << 1234.5678f << "#AmplitudeMAX. a:   1234.568 ~ 999";
    QTest::newRow("equal to the start maximum") << -999.0f << "#AmplitudeMAX. a:   -999 ~ -999";
}

void TestEventFile::extremes()
{
    QFETCH(float, value);
    QFETCH(QString, line);
    EventFileRig r;
    recordEvent(r.ring, r.eventFile, EventStart, 5000, 9000, [value](int row) {
        SampleRing::Row v = ringRow(row);
        if (row >= 2000 && row < 14000)
            v[0] = value;
        return v;
    });
    r.eventFile.writeEventFile();
    QCOMPARE(readLines(r.recordPath(QStringLiteral("240115083012_77.CSV"))).value(6), line);
}

void TestEventFile::stationCodeInName_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("name");
    QTest::newRow("digits") << "77"
                            << "240115083012_77.CSV";
    QTest::newRow("empty") << ""
                           << "240115083012_.CSV";
    QTest::newRow("slash") << "a/b"
                           << "240115083012_a_b.CSV";
    QTest::newRow("climbing out") << "../../x"
                                  << "240115083012_______x.CSV";
    QTest::newRow("backslash, colon, blank") << "C:\\x y"
                                             << "240115083012_C__x_y.CSV";
}

void TestEventFile::stationCodeInName()
{
    QFETCH(QString, code);
    QFETCH(QString, name);
    EventFileRig r;
    recordEvent(r.ring, r.eventFile, EventStart, 5000, 9000);
    r.readout.liveFields.setText(Field::StationCode, code);
    r.eventFile.writeEventFile();

    const QDir dir(r.recording.recordFolder());
    QCOMPARE(dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{name});
    const QStringList lines = readLines(dir.filePath(name));
    QCOMPARE(lines.value(0), QStringLiteral("#StationCode:") + code);
    QCOMPARE(lines.value(1), QStringLiteral("#InstrumentKind: CSV  (240115083012_") + code +
                                 QStringLiteral(".CSV)"));
}

void TestEventFile::twoEventsInOneSecondShareTheFile()
{
    EventFileRig r;
    recordEvent(r.ring, r.eventFile, EventStart, 5000, 9000);
    r.eventFile.writeEventFile();
    pushRows(r.ring, 16000);
    r.eventFile.beginEvent(EventStart); // the trigger row at 6000
    pushRows(r.ring, 9000);
    r.eventFile.writeEventFile();

    const QStringList lines = readLines(r.recordPath(QStringLiteral("240115083012_77.CSV")));
    QCOMPARE(lines.size(), 2 * (12 + 12000));
    QCOMPARE(lines[12 + 12000], QStringLiteral("#StationCode:77"));
    QCOMPARE(lines[12 + 12000 + 12], expectedEventRow(0, ringRow(3000)));
    QCOMPARE(lines.last(), expectedEventRow(11999, ringRow(14999)));
}

void TestEventFile::tooWideValueWrittenWhole()
{
    EventFileRig r;
    recordEvent(r.ring, r.eventFile, EventStart, 5000, 9000, [](int row) {
        return row == 2000 ? SampleRing::Row{12345678.0f, -1234567.0f, 0, 0, 99999.5f}
                           : ringRow(row);
    });
    r.eventFile.writeEventFile();
    const QStringList lines = readLines(r.recordPath(QStringLiteral("240115083012_77.CSV")));
    QCOMPARE(lines.value(12), QStringLiteral("      0.00,12345678.000,-1234567.000,     0.000,     "
                                             "0.000, 99999.500"));
}

void TestEventFile::laterFlagChangesKeepTheFirstStart()
{
    StationFixture f;
    startRecording(f, 1000);
    Readout &readout = f.station->readout();
    SampleRing &ring = f.station->sampleRing();
    EventFile &eventFile = f.station->eventFile();
    // 2 -> 6 -> 7 -> 6 within the post-alarm time, as a quake's flags go.
    QDateTime device = EventStart;
    for (const char *flags : {"6", "7", "6"}) {
        pushRows(ring, 150);
        device = device.addSecs(1);
        f.station->triggerLogic().setDeviceClock(device);
        readout.liveFields.setText(Field::EventFlags, QString::fromLatin1(flags));
        eventFile.onPostAlarmTick();
    }
    QCOMPARE(ring.eventIndex(), 1000);
    pushRows(ring, 50);
    tick(eventFile, 1);
    const QString path = recordPath(f, QStringLiteral("240115083012_77.CSV"));
    QVERIFY2(!QFile::exists(path), "written before the post-alarm time of the first start");
    tick(eventFile, 1);
    const QStringList lines = readLines(path);
    QCOMPARE(lines.size(), 12 + 800);
    QCOMPARE(lines[12], expectedEventRow(0, ringRow(700)));
    QCOMPARE(lines[12 + 300], expectedEventRow(300, ringRow(1000)));
    QCOMPARE(lines.last(), expectedEventRow(799, ringRow(1499)));
    QVERIFY(!eventFile.isPending());

    // A change after the file is written starts the next one.
    pushRows(ring, 100);
    readout.liveFields.setText(Field::EventFlags, QStringLiteral("4"));
    QVERIFY(eventFile.isPending());
    QCOMPARE(ring.eventIndex(), 1600);
    QCOMPARE(f.station->eventState().startTime(), EventStart.addSecs(3));
}

void TestEventFile::overlappingEventsEachWrittenOnce()
{
    EventFileRig r;
    r.recording.setPreAlarmSeconds(3);
    r.recording.setPostAlarmSeconds(5);
    QSignalSpy pending(&r.eventFile, &EventFile::pendingChanged);
    pushRows(r.ring, 1000);
    r.eventFile.beginEvent(EventStart);
    r.eventFile.armPostAlarm();
    pushRows(r.ring, 200);
    tick(r.eventFile, 2);
    r.eventFile.beginEvent(EventStart.addSecs(2)); // trigger row 1200
    r.eventFile.armPostAlarm();
    r.eventFile.armPostAlarm();
    pushRows(r.ring, 300);
    tick(r.eventFile, 3);
    const QString first = r.recordPath(QStringLiteral("240115083012_77.CSV"));
    const QString second = r.recordPath(QStringLiteral("240115083014_77.CSV"));
    QVERIFY(QFile::exists(first));
    QVERIFY(!QFile::exists(second));
    QVERIFY(r.eventFile.isPending());
    pushRows(r.ring, 200);
    tick(r.eventFile, 2);
    QVERIFY(!r.eventFile.isPending());
    QCOMPARE(pending.count(), 2);
    tick(r.eventFile, 10);

    const QStringList one = readLines(first);
    const QStringList two = readLines(second);
    QCOMPARE(one.size(), 12 + 800);
    QCOMPARE(two.size(), 12 + 800);
    QCOMPARE(one[12], expectedEventRow(0, ringRow(700)));
    QCOMPARE(two[12], expectedEventRow(0, ringRow(900)));
    QCOMPARE(two[2],
             QStringLiteral("#StartTime:") + NumberText::generalDateTime(EventStart.addSecs(2)));
    QCOMPARE(two.last(), expectedEventRow(799, ringRow(1699)));
}

void TestEventFile::windowOfRecordedRows_data()
{
    QTest::addColumn<int>("recordedBefore");
    QTest::addColumn<int>("recordedByTick"); // rows from the trigger row on at the 5th tick
    QTest::addColumn<int>("arrivingLate");   // rows that come while the file waits
    QTest::addColumn<int>("lateTicks");      // ticks after the 5th until the file is written
    QTest::addColumn<int>("firstRingRow");
    QTest::addColumn<int>("rows");
    QTest::addColumn<bool>("endsEarly");
    QTest::addColumn<int>("firstTimeRow"); // the first row's time column, in rows

    QTest::newRow("every row there at the tick")
        << 1000 << 500 << 0 << 0 << 700 << 800 << false << 0;
    QTest::newRow("last packet late, within the wait")
        << 1000 << 400 << 100 << 0 << 700 << 800 << false << 0;
    QTest::newRow("samples stopped: rows that exist")
        << 1000 << 200 << 0 << 3 << 700 << 500 << true << 0;
    QTest::newRow("some came late, then none") << 1000 << 200 << 50 << 3 << 700 << 550 << true << 0;
    QTest::newRow("trigger before the pre-alarm time was recorded")
        << 120 << 500 << 0 << 0 << 0 << 620 << false << 180;
    QTest::newRow("trigger at the first row") << 0 << 500 << 0 << 0 << 0 << 500 << false << 300;
    QTest::newRow("cut at both ends") << 50 << 200 << 0 << 3 << 0 << 250 << true << 250;
    QTest::newRow("ring wrapped before the trigger")
        << 24100 << 500 << 0 << 0 << 23800 << 800 << false << 0;
}

void TestEventFile::windowOfRecordedRows()
{
    QFETCH(int, recordedBefore);
    QFETCH(int, recordedByTick);
    QFETCH(int, arrivingLate);
    QFETCH(int, lateTicks);
    QFETCH(int, firstRingRow);
    QFETCH(int, rows);
    QFETCH(bool, endsEarly);
    QFETCH(int, firstTimeRow);

    EventFileRig r;
    r.recording.setPreAlarmSeconds(3);
    r.recording.setPostAlarmSeconds(5);
    pushRows(r.ring, recordedBefore);
    r.eventFile.beginEvent(EventStart);
    r.eventFile.armPostAlarm();
    pushRows(r.ring, recordedByTick);
    tick(r.eventFile, 5);
    const QString path = r.recordPath(QStringLiteral("240115083012_77.CSV"));
    if (arrivingLate > 0) {
        QVERIFY(!QFile::exists(path));
        pushRows(r.ring, arrivingLate);
        r.eventFile.samplesStored();
    }
    tick(r.eventFile, lateTicks - 1);
    QCOMPARE(QFile::exists(path), lateTicks == 0);
    tick(r.eventFile, 1);
    QVERIFY(!r.eventFile.isPending());

    const QStringList lines = readLines(path);
    QCOMPARE(lines.size(), 12 + rows);
    // Each row keeps its true time: the trigger row stays at 3.00 s.
    for (int k = 0; k < rows; ++k)
        QCOMPARE(lines[12 + k], expectedEventRow(firstTimeRow + k,
                                                 ringRow((firstRingRow + k) % SampleRing::Rows)));
    const QStringList log = r.logLines();
    QCOMPARE(!log.isEmpty() && log.last().contains(QStringLiteral(" ends early at ")), endsEarly);
    if (endsEarly)
        QVERIFY2(log.last().contains(QStringLiteral("240115083012_77.CSV ends early at %1 s: no "
                                                    "samples came for 3 s")
                                         .arg(NumberText::fixed((firstTimeRow + rows) * 0.01, 2))),
                 qPrintable(log.last()));
    // Rows that come after the file is written add nothing to it.
    pushRows(r.ring, 100);
    r.eventFile.samplesStored();
    QCOMPARE(readLines(path).size(), 12 + rows);
}

void TestEventFile::writeFailureKeepsSamples_data()
{
    QTest::addColumn<QString>("failure");
    QTest::newRow("record folder removed") << "removed";
    QTest::newRow("no record folder") << "none";
    QTest::newRow("read-only record folder") << "read-only";
}

void TestEventFile::writeFailureKeepsSamples()
{
    QFETCH(QString, failure);
    EventFileRig r;
    recordEvent(r.ring, r.eventFile, EventStart, 5000, 9000);
    const QString recordFolder = r.recording.recordFolder();
    if (failure == QLatin1String("removed")) {
        QVERIFY(QDir(recordFolder).removeRecursively());
    } else if (failure == QLatin1String("none")) {
        r.recording.setRecordFolder(QString());
    } else {
        if (::geteuid() == 0)
            QSKIP("permissions do not bind root");
        QVERIFY(
            QFile::setPermissions(recordFolder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    }
    QSignalSpy notice(&r.eventFile, &EventFile::notice);
    r.eventFile.armPostAlarm();
    tick(r.eventFile, 90);

    const QString kept = r.folder.file(QStringLiteral("240115083012_77.CSV"));
    const QStringList lines = readLines(kept);
    QCOMPARE(lines.size(), 12 + 12000);
    QCOMPARE(lines.last(), expectedEventRow(11999, ringRow(13999)));
    QCOMPARE(notice.size(), 1);
    const QString message = notice.first().at(0).toString();
    QVERIFY2(message.startsWith(QStringLiteral("Event file not written")), qPrintable(message));
    QVERIFY(message.contains(kept));
    QVERIFY(r.logLines().last().contains(QStringLiteral("Event file not written")));
}

void TestEventFile::bothFoldersFailingWarns()
{
    EventFileRig r;
    const ProgramFolder gone(r.folder.file(QStringLiteral("gone")));
    EventFile eventFile(r.ring, r.recording, r.readout.liveFields, r.eventLog, gone, r.clock);
    r.recording.setRecordFolder(r.folder.file(QStringLiteral("also-gone")));
    eventFile.beginEvent(EventStart);
    eventFile.writeEventFile();
    QVERIFY(r.eventLog.writeWarning().isVisible());
    QVERIFY2(r.eventLog.writeWarning().text().contains(r.folder.file(QStringLiteral("also-gone"))),
             qPrintable(r.eventLog.writeWarning().text()));
    QCOMPARE(r.eventLog.pendingWrites().waitingFiles(),
             QStringList{r.folder.file(QStringLiteral("also-gone/240115083012_77.CSV"))});
}

void TestEventFile::exitWritesPendingEventWithSamplesAtHand()
{
    StationFixture f;
    f.station->start(QString());
    f.station->readout().liveFields.setText(Field::StationCode, QStringLiteral("77"));
    EventFile &eventFile = f.station->eventFile();
    recordEvent(f.station->sampleRing(), eventFile, EventStart, 5000, 1000);
    eventFile.armPostAlarm();
    tick(eventFile, 10);
    f.prompter.yesNoAnswers << true;
    QSignalSpy quit(f.station.get(), &Station::quitRequested);
    f.station->confirmExit();

    QCOMPARE(quit.size(), 1);
    QVERIFY(!eventFile.isPending());
    const QStringList lines = readLines(recordPath(f, QStringLiteral("240115083012_77.CSV")));
    QCOMPARE(lines.size(), 12 + 3000 + 1000);
    QCOMPARE(lines.last(), expectedEventRow(3999, ringRow(5999)));
}

// The rows of a pending file are on disk from the event's start, pre-alarm rows first; once the
// file is written the journal goes.
void TestEventFile::journalFollowsThePendingFile()
{
    EventFileRig r;
    r.recording.setPreAlarmSeconds(3);
    r.recording.setPostAlarmSeconds(5);
    pushRows(r.ring, 1000);
    r.eventFile.beginEvent(EventStart);
    r.eventFile.armPostAlarm();
    const QString journal = r.recordPath(QStringLiteral(".240115083012_77.CSV.journal"));
    QCOMPARE(journalsIn(r.recording.recordFolder()), QStringList{QFileInfo(journal).fileName()});
    // The history page lists no journal.
    RecordFolder list;
    list.setPath(r.recording.recordFolder());
    QVERIFY(list.files().isEmpty());
    pushRows(r.ring, 250);
    r.eventFile.samplesStored();
    r.eventFile.drainJournal();
    QString why;
    QFile file(journal);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const std::optional<EventJournal::Contents> c = EventJournal::parse(file.readAll(), &why);
    QVERIFY2(c, qPrintable(why));
    QCOMPARE(c->rowCount, 550);
    QCOMPARE(c->start, EventStart);
    QCOMPARE(c->stationCode, QStringLiteral("77"));
    QCOMPARE(c->rows.left(c->rows.indexOf('\r')), expectedEventRow(0, ringRow(700)).toUtf8());
    QVERIFY(!c->summaryWritten);
    r.eventFile.summaryWritten(EventStart);
    r.eventFile.drainJournal();
    QVERIFY(file.seek(0));
    QVERIFY(EventJournal::parse(file.readAll(), &why)->summaryWritten);
    pushRows(r.ring, 250);
    tick(r.eventFile, 5);
    r.eventFile.drainJournal();
    QVERIFY(QFile::exists(r.recordPath(QStringLiteral("240115083012_77.CSV"))));
    QVERIFY(journalsIn(r.recording.recordFolder()).isEmpty());
}

void TestEventFile::journalRecoveredAtStart_data()
{
    const QByteArray header = "#VorsaJournal\r\n#StationCode:77\r\n#StartTime:2024-01-15T08:30:"
                              "12.000\r\n#PreAlarm:3\r\n#PostAlarm:5\r\n#Intensity:3\r\n";
    const QByteArray row0 = expectedEventRow(100, ringRow(0)).toUtf8() + "\r\n";
    const QByteArray row1 = expectedEventRow(101, ringRow(1)).toUtf8() + "\r\n";
    const QByteArray row2 = expectedEventRow(102, ringRow(2)).toUtf8() + "\r\n";
    QTest::addColumn<QByteArray>("journal");
    QTest::addColumn<QString>("recoveredAs"); // empty: kept aside
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("logged");

    QTest::newRow("whole lines") << header + row0 + row1 + row2 << "240115083012_77.CSV" << 3
                                 << "Event record 240115083012_77.CSV recovered after an unclean "
                                    "stop: 0.03 s of 8.00 s";
    QTest::newRow("cut mid-line") << header + row0 + row1 + row2.left(25) << "240115083012_77.CSV"
                                  << 2 << "0.02 s of 8.00 s";
    QTest::newRow("intensity raised while journalled")
        << header + row0 + "#Intensity:5\r\n" + row1 << "240115083012_77.CSV" << 2
        << "Max Intensity---5";
    QTest::newRow("summary written before the stop")
        << header + row0 + "#SummaryWritten\r\n" + row1 << "240115083012_77.CSV" << 2
        << "Event record 240115083012_77.CSV recovered";
    QTest::newRow("another station's")
        << QByteArray(header).replace("Code:77", "Code:9/1") + row0 << "240115083012_9_1.CSV" << 1
        << "Event record 240115083012_9_1.CSV recovered";
    QTest::newRow("not a journal") << QByteArray("hello\r\n") + row0 << QString() << 0
                                   << "cannot be recovered (no journal header); kept as "
                                      ".240115083012_77.CSV.journal.unreadable";
    QTest::newRow("header cut short")
        << header.left(40) << QString() << 0 << "(its header is incomplete)";
    QTest::newRow("garbled row") << header + row0 + "12,abc\r\n" + row1 << QString() << 0
                                 << "(line 8 is no data row)";
}

// A journal left by an unclean stop becomes its event file, with the summary and the log line,
// exactly once; one that cannot be read is kept under a name that says so.
void TestEventFile::journalRecoveredAtStart()
{
    QFETCH(QByteArray, journal);
    QFETCH(QString, recoveredAs);
    QFETCH(int, rows);
    QFETCH(QString, logged);
    EventFileRig r;
    const QString path = r.recordPath(QStringLiteral(".240115083012_77.CSV.journal"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(journal);
    file.close();
    // The code is not read yet after a start: the summary names the file the journal made.
    r.readout.liveFields.setText(Field::StationCode, QString::fromLatin1(LiveFields::NotYetRead));
    QStringList summaryNames;
    r.eventLog.addSummaryObserver([&r, &summaryNames](const QString &, const QDateTime &start) {
        summaryNames << r.eventFile.summaryFileName(start);
    });

    QCOMPARE(r.eventFile.recoverJournals(), recoveredAs.isEmpty() ? 0 : 1);
    QVERIFY2(r.logLines().join('\n').contains(logged), qPrintable(r.logLines().join('\n')));
    QVERIFY(!QFile::exists(path));
    const QStringList summaries = readLines(r.folder.file(QStringLiteral("Vorsa.txt")));
    if (recoveredAs.isEmpty()) {
        QVERIFY(QFile::exists(path + QStringLiteral(".unreadable")));
        QVERIFY(summaries.isEmpty());
        QCOMPARE(QDir(r.recording.recordFolder()).entryList(QDir::Files).size(), 0);
        return;
    }
    const QStringList lines = readLines(r.recordPath(recoveredAs));
    QCOMPARE(lines.size(), 12 + rows);
    QCOMPARE(lines.value(12), expectedEventRow(100, ringRow(0)));
    QCOMPARE(lines.value(2),
             QStringLiteral("#StartTime:") + NumberText::generalDateTime(EventStart));
    if (journal.contains("#SummaryWritten")) {
        QVERIFY2(summaries.isEmpty(), "the summary would be listed twice");
        return;
    }
    QCOMPARE(summaries.size(), 1);
    QCOMPARE(summaryNames, QStringList{recoveredAs});
    QVERIFY2(summaries[0].startsWith(QStringLiteral("2024/01/15 08:30:12,")),
             qPrintable(summaries[0]));
    // The largest magnitude per axis, from the rows.
    QVERIFY2(summaries[0].contains(QStringLiteral(", a Axis Max :     250.00")),
             qPrintable(summaries[0]));
    QCOMPARE(r.eventFile.recoverJournals(), 0);
    QCOMPARE(readLines(r.folder.file(QStringLiteral("Vorsa.txt"))).size(), 1);
}

void TestEventFile::journalRefusedByTheDisk_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("full") << int(WriteFailure::Full) << QStringLiteral("No space left on device");
    QTest::newRow("read-only") << int(WriteFailure::ReadOnly)
                               << (::geteuid() == 0 ? QStringLiteral("Read-only file system")
                                                    : QStringLiteral("Permission denied"));
}

// While the record folder refuses the journal one log line says so; once it takes writes again
// the journal catches up whole, nothing torn, so a power cut from then on loses nothing.
void TestEventFile::journalRefusedByTheDisk()
{
    QFETCH(int, kind);
    QFETCH(QString, reason);
    EventFileRig r;
    WriteFailure failure(WriteFailure::Kind(kind), r.recording.recordFolder());
    if (!failure.available())
        QSKIP(qPrintable(failure.why()));
    r.recording.setPreAlarmSeconds(3);
    r.recording.setPostAlarmSeconds(5);
    pushRows(r.ring, 1000);
    QVERIFY(failure.begin(r.recording.recordFolder()));
    r.eventFile.beginEvent(EventStart);
    r.eventFile.armPostAlarm();
    pushRows(r.ring, 250);
    r.eventFile.samplesStored();
    r.eventFile.drainJournal();
    QCoreApplication::processEvents();
    const QStringList refused = r.logLines().filter(QStringLiteral("Event journal")).filter(reason);
    QCOMPARE(refused.size(), 1);

    failure.end();
    pushRows(r.ring, 250);
    r.eventFile.samplesStored();
    r.eventFile.drainJournal();
    QFile journal(r.recordPath(QStringLiteral(".240115083012_77.CSV.journal")));
    QVERIFY(journal.open(QIODevice::ReadOnly));
    QString why;
    const std::optional<EventJournal::Contents> c = EventJournal::parse(journal.readAll(), &why);
    QVERIFY2(c, qPrintable(why));
    QCOMPARE(c->rowCount, 800);
    QCOMPARE(c->rows.left(c->rows.indexOf('\r')), expectedEventRow(0, ringRow(700)).toUtf8());

    tick(r.eventFile, 5);
    r.eventFile.drainJournal();
    QCOMPARE(readLines(r.recordPath(QStringLiteral("240115083012_77.CSV"))).size(), 12 + 800);
    QVERIFY(journalsIn(r.recording.recordFolder()).isEmpty());
}

void TestEventFile::recordTimesRefused_data()
{
    QTest::addColumn<QString>("pre");
    QTest::addColumn<QString>("post");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("defaults") << "30"
                              << "90" << true;
    QTest::newRow("whole ring before the trigger") << "240"
                                                   << "0" << true;
    QTest::newRow("pre-alarm beyond the ring") << "241"
                                               << "0" << false;
    QTest::newRow("sum beyond the ring") << "120"
                                         << "120.5" << false;
    QTest::newRow("negative") << "-1"
                              << "90" << false;
}

void TestEventFile::recordTimesRefused()
{
    QFETCH(QString, pre);
    QFETCH(QString, post);
    QFETCH(bool, accepted);
    StationFixture f;
    Readout &readout = f.station->readout();
    Pages &pages = f.station->views().pages();
    ConnectionPage &connection = f.station->connectionPage();
    connection.preEventField.setText(pre);
    connection.postEventField.setText(post);
    const QString settings = f.file(QStringLiteral("sys.txt"));

    f.station->saveSettingsIfValid();
    QCOMPARE(QFile::exists(settings), accepted);
    QCOMPARE(readout.statusLine.text().isEmpty(), accepted);
    if (accepted)
        return;
    pages.hostPage.setVisible(true);
    f.station->openLink();
    QVERIFY(!QFile::exists(settings));
    QVERIFY2(pages.hostPage.isVisible(), "OK went on with times that do not fit the ring");
}

QTEST_GUILESS_MAIN(TestEventFile)
#include "tst_eventfile.moc"
