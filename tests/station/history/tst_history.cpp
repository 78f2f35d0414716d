#include "RecordFiles.h"
#include "StationFixture.h"
#include "common/FieldNumbers.h"
#include "history/RecordFileLoader.h"

#include <QDir>
#include <QRegularExpression>
#include <QTest>

using namespace RecordFiles;

namespace
{

const QString EventName = QStringLiteral("240115083012_77.CSV");

// Field values that no test file carries, so that an unwanted change shows.
struct Marks {
    QString code = QStringLiteral("code?"), date = QStringLiteral("date?"),
            time = QStringLiteral("time?"), peak = QStringLiteral("peak?"),
            intensity = QStringLiteral("intensity?");
};

void setMarks(Station &station)
{
    const Marks m;
    LiveFields &fields = station.readout().liveFields;
    fields.setText(Field::HistoryStationCode, m.code);
    fields.setText(Field::HistoryEventDate, m.date);
    fields.setText(Field::HistoryEventTime, m.time);
    for (int i : {232, 233, 234})
        fields.setText(i, m.peak);
    station.history().loadedIntensity().setText(m.intensity);
}

// The station after start-up, the history chart's record cleared.
struct HistoryStation : StationFixture {
    HistoryStation()
    {
        station->start(QString());
        strip2.operations.clear();
    }
    Readout &readout() { return station->readout(); }
    RecordFolder &recordFolder() { return station->recordFolder(); }
    QString recordFile(const QString &name) const { return file(QStringLiteral("RecCSV/") + name); }
    void writeRecord(const QString &name, const QByteArray &bytes)
    {
        writeFile(QStringLiteral("RecCSV/") + name, bytes);
    }
    // Selecting an entry of the file list loads it.
    void load(const QString &name)
    {
        recordFolder().refresh();
        recordFolder().select(int(recordFolder().files().indexOf(name)));
    }
    QStringList fields()
    {
        const LiveFields &f = readout().liveFields;
        return {f.text(Field::HistoryStationCode),
                f.text(Field::HistoryEventDate),
                f.text(Field::HistoryEventTime),
                f.text(Field::FirstHistoryPeak),
                f.text(Field::FirstHistoryPeak + 1),
                f.text(Field::FirstHistoryPeak + 2),
                station->history().loadedIntensity().text()};
    }
};

QByteArray eventFile(const QByteArray &amplitudeA, const QByteArray &startTime,
                     const QByteArray &tail)
{
    return "#StationCode:9\r\n#InstrumentKind: CSV  (x)\r\n#StartTime:" + startTime +
           "\r\n#RecordLength(sec):   120.00 \r\n#SampleRate(Hz): 100\r\n"
           "#AmplitudeUnit:  gal. DCoffset(corr)\r\n#AmplitudeMAX. a:   " +
           amplitudeA + "\r\n#AmplitudeMAX. b:   1 ~ -1\r\n#AmplitudeMAX. c:   2 ~ -3\r\n" + tail;
}

const QByteArray EventTail =
    "#Intensity: 4\r\n#DataSequence: Time; a; b; c; Pd; Displacement\r\n"
    "#Data: 4F10.3 \r\n"
    "      0.00,     0.125,    -1.000,     2.500,     0.001,     0.002\r\n";

} // namespace

class TestHistory : public QObject
{
    Q_OBJECT
private slots:
    void eventFileRoundTrip();
    void manualFileRoundTrip();
    void startUpLoadsLastFile();
    void nothingLoadedShowsDashes();
    void shortFileSaysSoAndKeepsItsTime_data();
    void shortFileSaysSoAndKeepsItsTime();
    void eventFileFields_data();
    void eventFileFields();
    void emptyFileClearsChartOnly();
    void manualFileStopsAtMax();
    void eventFileWithoutIntensityPlotsNothing();
    void plainLayout_data();
    void plainLayout();
    void garbageChangesNothingItDoesNotCarry_data();
    void garbageChangesNothingItDoesNotCarry();
    void longFileIsCut();
    void unreadableFileIsReported();
    void rangeCombos_data();
    void rangeCombos();
    void deleteFile();
    void deleteLastFileLeavesNoSelection();
    void noOnDeleteTouchesNothing();
    void outFileOpensSummary();
};

void TestHistory::eventFileRoundTrip()
{
    HistoryStation h;
    Readout &readout = h.readout();
    readout.liveFields.setText(Field::StationCode, QStringLiteral("77"));
    readout.liveFields.setText(Field::Intensity, QStringLiteral("4"));
    // The window wraps: rows 22000 .. 23999, 0 .. 9999.
    recordEvent(h.station->sampleRing(), h.station->eventFile(),
                QDateTime(QDate(2024, 1, 15), QTime(8, 30, 12)), 1000, 9000);
    h.station->eventFile().writeEventFile();
    h.load(EventName);

    for (int trace = 0; trace < 5; ++trace) {
        const std::vector<double> &samples = h.strip2.samples[trace];
        QCOMPARE(int(samples.size()), 12000);
        for (int k = 0; k < 12000; ++k) {
            const double want = ringRow((22000 + k) % SampleRing::Rows)[trace];
            if (samples[k] != want)
                QFAIL(qPrintable(QStringLiteral("trace %1 sample %2: %3, expected %4")
                                     .arg(trace)
                                     .arg(k)
                                     .arg(samples[k])
                                     .arg(want)));
        }
    }
    // a: 249.875 ~ -250; b: 498 ~ 0; c: 1.5 ~ -1.5 (a tie goes to the minimum).
    QCOMPARE(h.fields(),
             QStringList({"77", "2024/01/15", "08:30:12", "-250.00", "498.00", "-1.50", "4"}));
    QCOMPARE(h.strip2.operations.mid(h.strip2.operations.size() - 2),
             QStringList({"extent 12000", "view 0"}));
    QCOMPARE(h.station->history().recordLength(), QStringLiteral("120.00 s"));
    QCOMPARE(h.station->history().exportCaption(),
             QStringLiteral("240115083012_77.CSV, station 77, 2024/01/15 08:29:42 to 2024/01/15 "
                            "08:31:42, 120.00 s"));
}

void TestHistory::manualFileRoundTrip()
{
    HistoryStation h;
    ManualRecording &rec = h.station->manualRecording();
    rec.toggleRecording();
    for (int i = 0; i < 300; ++i)
        rec.appendSample(float(i) * 0.1f, float(-i) * 2.5f, 1e-5f * float(i));
    rec.toggleRecording();
    setMarks(*h.station);
    const QStringList before = h.fields();
    h.load(QStringLiteral("M1207100000.csv"));

    for (int trace = 0; trace < 3; ++trace)
        QCOMPARE(int(h.strip2.samples[trace].size()), 300);
    for (int i = 0; i < 300; ++i) {
        // The file holds 7 significant digits of each single.
        QCOMPARE(float(h.strip2.samples[0][i]), float(i) * 0.1f);
        QCOMPARE(float(h.strip2.samples[1][i]), float(-i) * 2.5f);
        QCOMPARE(float(h.strip2.samples[2][i]), 1e-5f * float(i));
    }
    QVERIFY(h.strip2.samples[3].empty());
    QCOMPARE(h.fields(), before);
    QCOMPARE(h.strip2.operations.last(), QStringLiteral("view 0"));
    QVERIFY(h.strip2.operations.contains(QStringLiteral("extent 30000")));
}

void TestHistory::startUpLoadsLastFile()
{
    StationFixture f;
    f.writeFile(QStringLiteral("RecCSV/000.csv"), "Time,a,b,c\r\n0,1,1,1\r\nMax\r\n");
    f.writeFile(QStringLiteral("RecCSV/") + EventName,
                eventFile("12.5 ~ -20.1", "2024/01/15 08:30:12", EventTail));
    f.station->start(QString());
    QCOMPARE(f.station->recordFolder().selectedFile(), EventName);
    QCOMPARE(f.station->readout().liveFields.text(Field::FirstHistoryPeak),
             QStringLiteral("-20.10"));
    QCOMPARE(int(f.strip2.samples[0].size()), 1);
}

void TestHistory::nothingLoadedShowsDashes()
{
    StationFixture f;
    f.station->start(QString());
    const LiveFields &fields = f.station->readout().liveFields;
    const QString dash = QString::fromUtf16(History::NotLoaded);
    for (int i : {227, 208, 209, 232, 233, 234})
        QCOMPARE(fields.text(i), dash);
    QCOMPARE(f.station->history().loadedIntensity().text(), dash);
    QCOMPARE(f.station->history().recordLength(), dash);
}

void TestHistory::shortFileSaysSoAndKeepsItsTime_data()
{
    const QByteArray row = ",     0.125,    -1.000,     2.500,     0.001,     0.002\r\n";
    const QByteArray head = "#Intensity: 4\r\n#Data: 4F10.3 \r\n";
    QTest::addColumn<QByteArray>("tail");
    QTest::addColumn<QString>("length");
    QTest::addColumn<QStringList>("placed"); // where the first row goes, after the chart is cleared
    QTest::newRow("ended early") << head + "      0.00" + row + "      0.01" + row
                                 << "0.02 s (of 120.00 s) cut short" << QStringList();
    QTest::newRow("first rows missing")
        << head + "     30.50" + row << "0.01 s (of 120.00 s) cut short"
        << QStringList{"start 3050"};
}

void TestHistory::shortFileSaysSoAndKeepsItsTime()
{
    QFETCH(QByteArray, tail);
    QFETCH(QString, length);
    QFETCH(QStringList, placed);
    HistoryStation h;
    h.writeRecord(EventName, eventFile("1 ~ 0", "2024/01/15 08:30:12", tail));
    h.load(EventName);
    QCOMPARE(h.station->history().recordLength(), length);
    QVERIFY(h.station->history().exportCaption().endsWith(length));
    const QStringList afterClear =
        h.strip2.operations.mid(h.strip2.operations.lastIndexOf(QStringLiteral("clear")));
    QCOMPARE(afterClear.filter(QRegularExpression(QStringLiteral("^start "))), placed);
}

void TestHistory::eventFileFields_data()
{
    QTest::addColumn<QByteArray>("amplitude");
    QTest::addColumn<QByteArray>("start");
    QTest::addColumn<QString>("peak");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("time");
    QTest::newRow("larger minimum")
        << QByteArray("12.5 ~ -20.1") << QByteArray("2024/01/15 08:30:12") << "-20.10"
        << "2024/01/15"
        << "08:30:12";
    QTest::newRow("larger maximum")
        << QByteArray("20.1 ~ -12.5") << QByteArray("2024/01/15 08:30:12") << "20.10"
        << "2024/01/15"
        << "08:30:12";
    QTest::newRow("tie goes to the minimum")
        << QByteArray("-999 ~ 999") << QByteArray("2024/01/15 08:30:12") << "999.00"
        << "2024/01/15"
        << "08:30:12";
    QTest::newRow("fractional seconds dropped")
        << QByteArray("1 ~ 0") << QByteArray("2024/01/15 23:59:59.87") << "1.00"
        << "2024/01/15"
        << "23:59:59";
    QTest::newRow("no number: statement skipped")
        << QByteArray("abc ~ -3") << QByteArray("2024/01/15 08:30:12") << "peak?"
        << "2024/01/15"
        << "08:30:12";
    QTest::newRow("no tilde: statement skipped")
        << QByteArray("12.5 -20.1") << QByteArray("2024/01/15 08:30:12") << "peak?"
        << "2024/01/15"
        << "08:30:12";
    QTest::newRow("no date: statement skipped")
        << QByteArray("1 ~ 0") << QByteArray("yesterday") << "1.00"
        << "date?"
        << "time?";
}

void TestHistory::eventFileFields()
{
    QFETCH(QByteArray, amplitude);
    QFETCH(QByteArray, start);
    QFETCH(QString, peak);
    QFETCH(QString, date);
    QFETCH(QString, time);
    HistoryStation h;
    h.writeRecord(EventName, eventFile(amplitude, start, EventTail));
    setMarks(*h.station);
    h.load(EventName);
    QCOMPARE(h.fields(), QStringList({"9", date, time, peak, "-1.00", "-3.00", "4"}));
    QCOMPARE(h.strip2.samples[2], std::vector<double>{2.5});
    QCOMPARE(h.strip2.samples[4], std::vector<double>{0.002});
}

void TestHistory::emptyFileClearsChartOnly()
{
    HistoryStation h;
    h.writeRecord(QStringLiteral("empty.csv"), QByteArray());
    h.strip2.addSample(0, 1);
    setMarks(*h.station);
    const QStringList before = h.fields();
    h.load(QStringLiteral("empty.csv"));
    QCOMPARE(h.fields(), before);
    QCOMPARE(h.strip2.operations.last(), QStringLiteral("clear"));
    QVERIFY(h.strip2.samples[0].empty());
}

void TestHistory::manualFileStopsAtMax()
{
    HistoryStation h;
    h.writeRecord(QStringLiteral("M0115083012.csv"),
                  "Time,a,b,c\r\n0,1,2,3\r\n0.01,4,5,6\r\nMax, 4.0000, 5.0000, 6.0000\r\n"
                  "Min, 1.0000, 2.0000, 3.0000\r\n");
    h.load(QStringLiteral("M0115083012.csv"));
    QCOMPARE(h.strip2.samples[0], std::vector<double>({1, 4}));
    QCOMPARE(h.strip2.samples[1], std::vector<double>({2, 5}));
    QCOMPARE(h.strip2.samples[2], std::vector<double>({3, 6}));
}

void TestHistory::eventFileWithoutIntensityPlotsNothing()
{
    HistoryStation h;
    h.writeRecord(EventName, eventFile("1 ~ 0", "2024/01/15 08:30:12",
                                       "#DataSequence: x\r\n      0.00,     1.000,     1.000\r\n"));
    setMarks(*h.station);
    h.load(EventName);
    for (const auto &trace : h.strip2.samples)
        QVERIFY(trace.empty());
    QCOMPARE(h.station->history().loadedIntensity().text(), Marks().intensity);
    QCOMPARE(h.strip2.operations.mid(h.strip2.operations.size() - 3),
             QStringList({"clear", "extent 12000", "view 0"}));
}

void TestHistory::plainLayout_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QString>("intensity");
    QTest::newRow("second comma, intensity after the third")
        << QByteArray("K1,2024/01/15 08:30:12,x,5") << "5";
    QTest::newRow("second comma, no third: the whole line")
        << QByteArray("K1,2024/01/15 08:30:12,x") << "K1,2024/01/15 08:30:12,x";
    QTest::newRow("one comma: date first") << QByteArray("2024/01/15 08:30:12,6") << "6";
}

void TestHistory::plainLayout()
{
    QFETCH(QByteArray, header);
    QFETCH(QString, intensity);
    HistoryStation h;
    h.writeRecord(QStringLiteral("plain.csv"),
                  "title\r\n" + header + "\r\nskipped,9,9,9\r\n1,2,3,4\r\n5,6\r\n7,8,9\r\n");
    h.load(QStringLiteral("plain.csv"));
    QCOMPARE(h.readout().liveFields.text(Field::HistoryEventDate), QStringLiteral("2024/01/15"));
    QCOMPARE(h.readout().liveFields.text(Field::HistoryEventTime), QStringLiteral("08:30:12"));
    QCOMPARE(h.station->history().loadedIntensity().text(), intensity);
    QCOMPARE(h.strip2.samples[0], std::vector<double>({1, 5, 7}));
    QCOMPARE(h.strip2.samples[1], std::vector<double>({2, 6, 8}));
    QCOMPARE(h.strip2.samples[2], std::vector<double>({3}));
    QCOMPARE(h.strip2.operations.last(), QStringLiteral("view 0"));
}

void TestHistory::garbageChangesNothingItDoesNotCarry_data()
{
    QByteArray binary;
    for (int i = 0; i < 70000; ++i)
        binary.append(char((i * 7919) % 256));
    const QByteArray fullEvent = eventFile("1 ~ 0", "2024/01/15 08:30:12", EventTail);
    const Marks m;

    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<int>("samples");
    QTest::addColumn<bool>("refused"); // told that it is no record file
    const QStringList untouched = {m.code, m.date, m.time, m.peak, m.peak, m.peak, m.intensity};
    QTest::newRow("binary") << "bin.csv" << binary << untouched << 0 << true;
    QTest::newRow("a line of a million characters")
        << "long.csv" << QByteArray(1000000, '7') << untouched << 0 << true;
    QTest::newRow("only line ends")
        << "lf.csv" << QByteArray("\r\n\r\n\n") << untouched << 0 << true;
    QTest::newRow("a lone #") << "hash.csv" << QByteArray("#") << untouched << 0 << false;
    QTest::newRow("event file cut after its start time")
        << "cut1.csv" << fullEvent.left(fullEvent.indexOf("#RecordLength"))
        << QStringList({"9", "2024/01/15", "08:30:12", m.peak, m.peak, m.peak, m.intensity}) << 0
        << false;
    QTest::newRow("event file cut inside a data row")
        << "cut2.csv" << fullEvent.left(fullEvent.size() - 20)
        << QStringList({"9", "2024/01/15", "08:30:12", "1.00", "-1.00", "-3.00", "4"}) << 1
        << false;
    QTest::newRow("manual header only")
        << "M1.csv" << QByteArray("Time,a,b,c\r\n") << untouched << 0 << false;
    QTest::newRow("manual recording without samples")
        << "M2.csv"
        << QByteArray("Time,a,b,c\r\nMax, -999.0000, -999.0000, -999.0000\r\n"
                      "Min, 999.0000, 999.0000, 999.0000\r\n")
        << untouched << 0 << false;
    QTest::newRow("manual rows with a million-character line between")
        << "M3.csv"
        << "Time,a,b,c\r\n0,1,2,3\r\n" + QByteArray(1000000, '1') +
               "\r\n0.02,7,8,9\r\nMax, 7, 8, 9\r\nMin, 1, 2, 3\r\n"
        << untouched << 2 << false;
}

void TestHistory::garbageChangesNothingItDoesNotCarry()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, fields);
    QFETCH(int, samples);
    QFETCH(bool, refused);
    HistoryStation h;
    h.writeRecord(name, bytes);
    setMarks(*h.station);
    h.load(name);
    QCOMPARE(h.fields(), fields);
    QCOMPARE(int(h.strip2.samples[0].size()), samples);
    QCOMPARE(h.readout().statusLine.text().endsWith(QStringLiteral("is not a record file")),
             refused);
}

void TestHistory::longFileIsCut()
{
    HistoryStation h;
    QByteArray bytes = "title\r\n2024/01/15 08:30:12,6\r\nskipped\r\n";
    for (int i = 0; i <= RecordFileLoader::MaxRows; ++i)
        bytes += "1,2\r\n";
    h.writeRecord(QStringLiteral("huge.csv"), bytes);
    h.load(QStringLiteral("huge.csv"));
    QCOMPARE(int(h.strip2.samples[0].size()), RecordFileLoader::MaxRows);
    QVERIFY(h.readout().statusLine.text().contains(QStringLiteral("only the first")));
}

void TestHistory::unreadableFileIsReported()
{
    HistoryStation h;
    h.writeRecord(EventName, eventFile("1 ~ 0", "2024/01/15 08:30:12", EventTail));
    h.recordFolder().refresh();
    QVERIFY(QFile::remove(h.recordFile(EventName)));
    setMarks(*h.station);
    h.recordFolder().select(0);
    QVERIFY2(h.readout().statusLine.text().startsWith(QStringLiteral("Cannot open ") + EventName),
             qPrintable(h.readout().statusLine.text()));
    QVERIFY(h.strip2.operations.isEmpty());
    QCOMPARE(h.fields().value(0), Marks().code);
}

void TestHistory::rangeCombos_data()
{
    QTest::addColumn<QString>("combo");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("operations");
    QTest::newRow("acceleration") << "cboHisXYZ"
                                  << "250"
                                  << QStringList({"select 0", "range 250 -250", "select 1",
                                                  "range 250 -250", "select 2", "range 250 -250"});
    QTest::newRow("Pd and displacement")
        << "cboHisPd"
        << "0.25" << QStringList({"select 3", "range 0.25 0", "select 4", "range 0.25 -0.25"});
    QTest::newRow("time span") << "cboHisXaxis"
                               << "300" << QStringList({"width 30000"});
    QTest::newRow("typed time span beyond the list") << "cboHisXaxis"
                                                     << "600" << QStringList({"width 60000"});
    // Texts met while typing change nothing.
    QTest::newRow("empty range") << "cboHisXYZ"
                                 << "" << QStringList();
    QTest::newRow("lone minus") << "cboHisPd"
                                << "-" << QStringList();
    QTest::newRow("letters in time span") << "cboHisXaxis"
                                          << "abc" << QStringList();
    QTest::newRow("zero time span") << "cboHisXaxis"
                                    << "0" << QStringList();
}

void TestHistory::rangeCombos()
{
    QFETCH(QString, combo);
    QFETCH(QString, text);
    QFETCH(QStringList, operations);
    HistoryStation h;
    History &history = h.station->history();
    Control *box = combo == QLatin1String("cboHisXYZ")  ? &history.accelerationBox()
                   : combo == QLatin1String("cboHisPd") ? &history.pdBox()
                                                        : &history.spanBox();
    box->setText(text);
    QCOMPARE(h.strip2.operations, operations);
    if (operations.isEmpty())
        return;
    h.strip2.operations.clear();
    box->choose(QStringLiteral("1"));
    box->choose(text);
    QCOMPARE(h.strip2.operations.mid(h.strip2.operations.size() - operations.size()), operations);
}

void TestHistory::deleteFile()
{
    HistoryStation h;
    h.writeRecord(QStringLiteral("A.csv"), "Time,a,b,c\r\n0,1,2,3\r\nMax\r\n");
    h.writeRecord(QStringLiteral("B.csv"), "Time,a,b,c\r\n0,4,5,6\r\nMax\r\n");
    h.load(QStringLiteral("A.csv"));
    h.readout().windowTitle.setText(QStringLiteral("the title"));
    h.prompter.yesNoAnswers << true;
    h.station->history().deleteSelectedFile();

    QCOMPARE(h.prompter.asked, QStringList({"the title|Delete File : A.csv"}));
    QVERIFY(!QFile::exists(h.recordFile(QStringLiteral("A.csv"))));
    QCOMPARE(h.recordFolder().files(), QStringList({"B.csv"}));
    QCOMPARE(h.recordFolder().selectedFile(), QStringLiteral("B.csv"));
    QCOMPARE(h.strip2.samples[0], std::vector<double>({4}));
}

void TestHistory::deleteLastFileLeavesNoSelection()
{
    HistoryStation h;
    h.writeRecord(QStringLiteral("A.csv"), "Time,a,b,c\r\n0,1,2,3\r\nMax\r\n");
    h.load(QStringLiteral("A.csv"));
    h.prompter.yesNoAnswers << true;
    h.station->history().deleteSelectedFile();
    QVERIFY(h.recordFolder().files().isEmpty());
    QCOMPARE(h.recordFolder().selectedIndex(), -1);
    QVERIFY(h.readout().statusLine.text().isEmpty());
}

void TestHistory::noOnDeleteTouchesNothing()
{
    HistoryStation h;
    h.writeRecord(QStringLiteral("A.csv"), "Time,a,b,c\r\n0,1,2,3\r\nMax\r\n");
    h.load(QStringLiteral("A.csv"));
    const QStringList operations = h.strip2.operations;
    h.prompter.yesNoAnswers << false;
    h.station->history().deleteSelectedFile();
    QCOMPARE(h.prompter.asked.size(), 1);
    QVERIFY(QFile::exists(h.recordFile(QStringLiteral("A.csv"))));
    QCOMPARE(h.recordFolder().selectedFile(), QStringLiteral("A.csv"));
    QCOMPARE(h.strip2.operations, operations);
}

void TestHistory::outFileOpensSummary()
{
    HistoryStation h;
    h.station->history().openSummaryFile(); // no summary written yet: told, nothing opened
    QVERIFY(h.shell.opened.isEmpty());
    QVERIFY(h.readout().statusLine.text().contains(QStringLiteral("Vorsa.txt")));
    h.writeFile(QStringLiteral("Vorsa.txt"), "2026/12/07 10:00:00,1\r\n");
    h.station->history().openSummaryFile();
    QCOMPARE(h.shell.opened, QStringList(h.file(QStringLiteral("Vorsa.txt"))));
}

QTEST_GUILESS_MAIN(TestHistory)
#include "tst_history.moc"
