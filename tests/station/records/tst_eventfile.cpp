#include "RecordFiles.h"
#include "StationFixture.h"
#include "common/NumberText.h"
#include "common/ProgramFolder.h"
#include "records/EventFile.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>
#include <unistd.h>

using namespace RecordFiles;

namespace
{

const QDateTime EventStart(QDate(2024, 1, 15), QTime(8, 30, 12));

// A station in Record mode whose ring is full and whose event started at `eventIndex`, with
// `recordedAfter` rows written since.
void startEvent(StationFixture &f, int eventIndex, int recordedAfter)
{
    f.station->Form_Load(QString());
    Form &form = f.station->form();
    form.recordMode = true;
    form.txtReal.setText(100, QStringLiteral("77"));
    form.txtReal.setText(10, QStringLiteral("4"));
    fillRing(form.ring);
    markRecordedEvent(form.ring, eventIndex, recordedAfter);
    form.eventStartTime = EventStart;
    form.TmrRec.start();
    form.lblRec.setVisible(true);
}

QString recordPath(StationFixture &f, const QString &name)
{
    return QDir(f.station->form().Dir1.path()).filePath(name);
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
        eventFile.TmrRec_Timer();
}

// Stores rows as the decoder does; each holds the pattern of the ring row it lands in.
void pushRows(SampleRing &ring, int count)
{
    for (int i = 0; i < count; ++i)
        ring.push(ringRow(ring.ringWriteIndex));
}

// A Record-mode station with short record times, `recordedBefore` rows stored before the
// device reports an event with its flags at `flags`.
void startRecording(StationFixture &f, int recordedBefore)
{
    f.station->Form_Load(QString());
    Form &form = f.station->form();
    form.recordMode = true;
    form.txtReal.setText(100, QStringLiteral("77"));
    form.txtrecPrev.setText(QStringLiteral("3"));
    form.txtrecafter.setText(QStringLiteral("5"));
    form.deviceClockTime = EventStart;
    pushRows(form.ring, recordedBefore);
    form.txtReal.setText(11, QStringLiteral("2"));
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
    void windowOfRecordedRows_data();
    void windowOfRecordedRows();
    void writeFailureKeepsSamples_data();
    void writeFailureKeepsSamples();
    void bothFoldersFailingWarns();
    void exitWritesPendingEventWithSamplesAtHand();
    void recordTimesRefused_data();
    void recordTimesRefused();
};

void TestEventFile::writtenOnLastPostAlarmTick()
{
    StationFixture f;
    startEvent(f, 5000, 9000);
    Form &form = f.station->form();
    EventFile &eventFile = f.station->eventFile();
    const QString path = recordPath(f, QStringLiteral("240115083012_77.CSV"));

    tick(eventFile, 89);
    QVERIFY2(!QFile::exists(path), "written before the 90th tick");
    QVERIFY(form.TmrRec.isActive());
    QVERIFY(form.lblRec.isVisible());
    QCOMPARE(eventFile.postAlarmTicks(), 89);

    tick(eventFile, 1);
    QVERIFY(QFile::exists(path));
    QVERIFY(!form.TmrRec.isActive());
    QVERIFY(!form.lblRec.isVisible());
    QCOMPARE(eventFile.postAlarmTicks(), 0);

    // The timer that runs the ticks is the station's `TmrRec`.
    QFile::remove(path);
    form.TmrRec.setInterval(1);
    form.TmrRec.start();
    form.txtrecafter.setText(QStringLiteral("1"));
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
    f.station->Form_Load(QString());
    Form &form = f.station->form();
    form.recordMode = recordMode;
    form.txtReal.setText(100, QStringLiteral("77"));
    fillRing(form.ring);
    form.ring.ringWriteIndex = 5000;
    form.ring.rowsRecorded = 5000;
    form.txtReal.setText(11, QStringLiteral("2")); // the device reports a Pd trigger
    QCOMPARE(form.ring.ringEventIndex, 5000);
    QCOMPARE(form.TmrRec.isActive(), recordMode);
    QCOMPARE(form.lblRec.isVisible(), recordMode);

    form.ring.ringWriteIndex = 14000;
    form.ring.rowsRecorded = 14000;
    for (int second = 0; second < 90 && form.TmrRec.isActive(); ++second)
        f.station->eventFile().TmrRec_Timer();
    // No packet time yet: the event is named after the PC clock.
    QCOMPARE(QFile::exists(recordPath(f, QStringLiteral("261207100000_77.CSV"))), recordMode);
    QVERIFY(!form.lblRec.isVisible());
    if (recordMode)
        QCOMPARE(readLines(recordPath(f, QStringLiteral("261207100000_77.CSV"))).value(12 + 3000),
                 expectedEventRow(3000, ringRow(5000)));
}

void TestEventFile::windowOfRows_data()
{
    QTest::addColumn<QString>("pre");
    QTest::addColumn<QString>("post");
    QTest::addColumn<int>("eventIndex");
    QTest::addColumn<int>("ticks");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("firstRingRow");

    QTest::newRow("defaults") << "30"
                              << "90" << 5000 << 90 << 12000 << 2000;
    QTest::newRow("trigger 10 s after row 0: wraps") << "30"
                                                     << "90" << 1000 << 90 << 12000 << 22000;
    QTest::newRow("window starts at the last ring row") << "30"
                                                        << "90" << 2999 << 90 << 12000 << 23999;
    QTest::newRow("window starts at row 0") << "30"
                                            << "90" << 3000 << 90 << 12000 << 0;
    QTest::newRow("window runs past the end of the ring") << "30"
                                                          << "90" << 20000 << 90 << 12000 << 17000;
    QTest::newRow("short times") << "10"
                                 << "20" << 500 << 20 << 3000 << 23500;
    QTest::newRow("fractional pre-alarm time") << "2.5"
                                               << "1" << 100 << 1 << 350 << 23850;
    QTest::newRow("whole ring") << "240"
                                << "0" << 7 << 0 << 24000 << 7;
}

void TestEventFile::windowOfRows()
{
    QFETCH(QString, pre);
    QFETCH(QString, post);
    QFETCH(int, eventIndex);
    QFETCH(int, ticks);
    QFETCH(int, rows);
    QFETCH(int, firstRingRow);

    StationFixture f;
    startEvent(f, eventIndex, rows - int(NumberText::leadingNumber(pre) * 100));
    Form &form = f.station->form();
    form.txtrecPrev.setText(pre);
    form.txtrecafter.setText(post);
    tick(f.station->eventFile(), qMax(ticks, 1));

    bool crlfOnly = false;
    const QStringList lines =
        readLines(recordPath(f, QStringLiteral("240115083012_77.CSV")), &crlfOnly);
    QVERIFY(crlfOnly);
    QCOMPARE(lines.size(), 12 + rows);
    QCOMPARE(lines[3], QStringLiteral("#RecordLength(sec):   120.00 "));
    for (int k = 0; k < rows; ++k) {
        const int r = (firstRingRow + k) % SampleRing::Rows;
        const QString want = expectedEventRow(k, ringRow(r));
        if (lines[12 + k] != want)
            QFAIL(qPrintable(QStringLiteral("row %1: %2, expected %3 (ring row %4)")
                                 .arg(k)
                                 .arg(lines[12 + k], want)
                                 .arg(r)));
    }
    const int triggerRow = 12 + int(NumberText::leadingNumber(pre) * 100);
    if (triggerRow < lines.size())
        QVERIFY2(lines[triggerRow] == expectedEventRow(triggerRow - 12, ringRow(eventIndex)),
                 "the trigger row is not at the pre-alarm time");
}

void TestEventFile::header()
{
    StationFixture f;
    startEvent(f, 5000, 9000);
    Form &form = f.station->form();
    for (int r = 2000; r < 14000; ++r)
        form.ring.rows[r] = {0.25f, -3.0f, 7.5f, 1, 1};
    form.ring.rows[2500][0] = 12.5f;
    form.ring.rows[9000][0] = -20.1f;
    f.station->eventFile().WriteEventCsv();

    const QStringList lines = readLines(recordPath(f, QStringLiteral("240115083012_77.CSV")));
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
    StationFixture f;
    startEvent(f, 5000, 9000);
    Form &form = f.station->form();
    for (int r = 2000; r < 14000; ++r)
        form.ring.rows[r][0] = value;
    f.station->eventFile().WriteEventCsv();
    QCOMPARE(readLines(recordPath(f, QStringLiteral("240115083012_77.CSV"))).value(6), line);
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
    StationFixture f;
    startEvent(f, 5000, 9000);
    f.station->form().txtReal.setText(100, code);
    f.station->eventFile().WriteEventCsv();

    const QDir dir(f.station->form().Dir1.path());
    QCOMPARE(dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{name});
    const QStringList lines = readLines(dir.filePath(name));
    QCOMPARE(lines.value(0), QStringLiteral("#StationCode:") + code);
    QCOMPARE(lines.value(1), QStringLiteral("#InstrumentKind: CSV  (240115083012_") + code +
                                 QStringLiteral(".CSV)"));
}

void TestEventFile::twoEventsInOneSecondShareTheFile()
{
    StationFixture f;
    startEvent(f, 5000, 9000);
    Form &form = f.station->form();
    f.station->eventFile().WriteEventCsv();
    form.ring.ringEventIndex = 6000;
    f.station->eventFile().WriteEventCsv();

    const QStringList lines = readLines(recordPath(f, QStringLiteral("240115083012_77.CSV")));
    QCOMPARE(lines.size(), 2 * (12 + 12000));
    QCOMPARE(lines[12 + 12000], QStringLiteral("#StationCode:77"));
    QCOMPARE(lines[12 + 12000 + 12], expectedEventRow(0, ringRow(3000)));
    QCOMPARE(lines.last(), expectedEventRow(11999, ringRow(14999)));
}

void TestEventFile::tooWideValueWrittenWhole()
{
    StationFixture f;
    startEvent(f, 5000, 9000);
    Form &form = f.station->form();
    form.ring.rows[2000] = {12345678.0f, -1234567.0f, 0, 0, 99999.5f};
    f.station->eventFile().WriteEventCsv();
    const QStringList lines = readLines(recordPath(f, QStringLiteral("240115083012_77.CSV")));
    QCOMPARE(lines.value(12), QStringLiteral("      0.00,12345678.000,-1234567.000,     0.000,     "
                                             "0.000, 99999.500"));
}

void TestEventFile::laterFlagChangesKeepTheFirstStart()
{
    StationFixture f;
    startRecording(f, 1000);
    Form &form = f.station->form();
    EventFile &eventFile = f.station->eventFile();
    // 2 -> 6 -> 7 -> 6 within the post-alarm time, as a quake's flags go.
    for (const char *flags : {"6", "7", "6"}) {
        pushRows(form.ring, 150);
        form.deviceClockTime = form.deviceClockTime.addSecs(1);
        form.txtReal.setText(11, QString::fromLatin1(flags));
        eventFile.TmrRec_Timer();
    }
    QCOMPARE(form.ring.ringEventIndex, 1000);
    pushRows(form.ring, 50);
    tick(eventFile, 1);
    const QString path = recordPath(f, QStringLiteral("240115083012_77.CSV"));
    QVERIFY2(!QFile::exists(path), "written before the post-alarm time of the first start");
    tick(eventFile, 1);
    const QStringList lines = readLines(path);
    QCOMPARE(lines.size(), 12 + 800);
    QCOMPARE(lines[12], expectedEventRow(0, ringRow(700)));
    QCOMPARE(lines[12 + 300], expectedEventRow(300, ringRow(1000)));
    QCOMPARE(lines.last(), expectedEventRow(799, ringRow(1499)));
    QVERIFY(!form.TmrRec.isActive());

    // A change after the file is written starts the next one.
    pushRows(form.ring, 100);
    form.txtReal.setText(11, QStringLiteral("4"));
    QVERIFY(form.TmrRec.isActive());
    QCOMPARE(form.ring.ringEventIndex, 1600);
    QCOMPARE(form.eventStartTime, EventStart.addSecs(3));
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

    QTest::newRow("every row there at the tick") << 1000 << 500 << 0 << 0 << 700 << 800 << false;
    QTest::newRow("last packet late, within the wait")
        << 1000 << 400 << 100 << 0 << 700 << 800 << false;
    QTest::newRow("samples stopped: rows that exist")
        << 1000 << 200 << 0 << 3 << 700 << 500 << true;
    QTest::newRow("some came late, then none") << 1000 << 200 << 50 << 3 << 700 << 550 << true;
    QTest::newRow("trigger before the pre-alarm time was recorded")
        << 120 << 500 << 0 << 0 << 0 << 620 << false;
    QTest::newRow("trigger at the first row") << 0 << 500 << 0 << 0 << 0 << 500 << false;
    QTest::newRow("ring wrapped before the trigger")
        << 24100 << 500 << 0 << 0 << 23800 << 800 << false;
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

    StationFixture f;
    startRecording(f, recordedBefore);
    Form &form = f.station->form();
    EventFile &eventFile = f.station->eventFile();
    pushRows(form.ring, recordedByTick);
    tick(eventFile, 5);
    const QString path = recordPath(f, QStringLiteral("240115083012_77.CSV"));
    if (arrivingLate > 0) {
        QVERIFY(!QFile::exists(path));
        pushRows(form.ring, arrivingLate);
        eventFile.samplesStored();
    }
    tick(eventFile, lateTicks - 1);
    QCOMPARE(QFile::exists(path), lateTicks == 0);
    tick(eventFile, 1);
    QVERIFY(!form.TmrRec.isActive());

    const QStringList lines = readLines(path);
    QCOMPARE(lines.size(), 12 + rows);
    for (int k = 0; k < rows; ++k)
        QCOMPARE(lines[12 + k],
                 expectedEventRow(k, ringRow((firstRingRow + k) % SampleRing::Rows)));
    const QStringList log = f.logLines();
    QCOMPARE(!log.isEmpty() && log.last().contains(QStringLiteral(" ends early at ")), endsEarly);
    if (endsEarly)
        QVERIFY2(log.last().contains(QStringLiteral("240115083012_77.CSV ends early at %1 s: no "
                                                    "samples came for 3 s")
                                         .arg(NumberText::fixed(rows * 0.01, 2))),
                 qPrintable(log.last()));
    // Rows that come after the file is written add nothing to it.
    pushRows(form.ring, 100);
    eventFile.samplesStored();
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
    StationFixture f;
    startEvent(f, 5000, 9000);
    Form &form = f.station->form();
    if (failure == QLatin1String("removed")) {
        QVERIFY(QDir(form.Dir1.path()).removeRecursively());
    } else if (failure == QLatin1String("none")) {
        form.Dir1.setPath(QString());
    } else {
        if (::geteuid() == 0)
            QSKIP("permissions do not bind root");
        QVERIFY(QFile::setPermissions(form.Dir1.path(),
                                      QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    }
    tick(f.station->eventFile(), 90);

    const QStringList lines = readLines(f.file(QStringLiteral("240115083012_77.CSV")));
    QCOMPARE(lines.size(), 12 + 12000);
    QCOMPARE(lines.last(), expectedEventRow(11999, ringRow(13999)));
    QVERIFY2(form.statusLine.text().startsWith(QStringLiteral("Event file not written")),
             qPrintable(form.statusLine.text()));
    QVERIFY(form.statusLine.text().contains(f.file(QStringLiteral("240115083012_77.CSV"))));
    QVERIFY(f.logLines().last().contains(QStringLiteral("Event file not written")));
    QVERIFY(!form.lblRec.isVisible());
}

void TestEventFile::bothFoldersFailingWarns()
{
    StationFixture f;
    Form form;
    const ProgramFolder home(f.home());
    const ProgramFolder gone(f.file(QStringLiteral("gone")));
    EventLog log(form, home, f.clock, f.prompter, f.shell);
    EventFile eventFile(form, log, gone, f.clock);
    form.Dir1.setPath(f.file(QStringLiteral("also-gone")));
    form.eventStartTime = EventStart;
    form.lblRec.setVisible(true);
    eventFile.WriteEventCsv();
    QVERIFY(form.lblWriteWarning.isVisible());
    QVERIFY2(form.lblWriteWarning.text().contains(f.file(QStringLiteral("also-gone"))),
             qPrintable(form.lblWriteWarning.text()));
    QCOMPARE(log.pendingWrites().waitingFiles(),
             QStringList{f.file(QStringLiteral("also-gone/240115083012_88888.CSV"))});
    QVERIFY(!form.lblRec.isVisible());
}

void TestEventFile::exitWritesPendingEventWithSamplesAtHand()
{
    StationFixture f;
    startEvent(f, 5000, 1000);
    tick(f.station->eventFile(), 10);
    f.prompter.yesNoAnswers << true;
    QSignalSpy quit(f.station.get(), &Station::quitRequested);
    f.station->mnuExit_Click();

    QCOMPARE(quit.size(), 1);
    QVERIFY(!f.station->form().TmrRec.isActive());
    const QStringList lines = readLines(recordPath(f, QStringLiteral("240115083012_77.CSV")));
    QCOMPARE(lines.size(), 12 + 3000 + 1000);
    QCOMPARE(lines.last(), expectedEventRow(3999, ringRow(5999)));
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
    Form &form = f.station->form();
    form.txtrecPrev.setText(pre);
    form.txtrecafter.setText(post);
    const QString settings = f.file(QStringLiteral("sys.txt"));

    f.station->cmdSave_Click();
    QCOMPARE(QFile::exists(settings), accepted);
    QCOMPARE(form.statusLine.text().isEmpty(), accepted);
    if (accepted)
        return;
    form.fraHost.setVisible(true);
    f.station->cmdComset_Click();
    QVERIFY(!QFile::exists(settings));
    QVERIFY2(form.fraHost.isVisible(), "OK went on with times that do not fit the ring");
}

QTEST_GUILESS_MAIN(TestEventFile)
#include "tst_eventfile.moc"
