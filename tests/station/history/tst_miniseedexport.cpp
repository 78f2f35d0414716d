#include "RecordFiles.h"
#include "StationFixture.h"
#include "common/FieldNumbers.h"
#include "common/NumberText.h"
#include "common/ProgramFolder.h"
#include "history/MiniSeedExport.h"
#include "shell/MiniSeedCommand.h"

#include <QDir>
#include <QRandomGenerator>
#include <QSettings>
#include <QTest>
#include <libmseed.h>

// Runs with TZ=CST-8: record times are the station's local time, miniSEED's are UTC.
class TestMiniSeedExport : public QObject
{
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
    void refused_data();
    void refused();
    void manualYearFromFileTime_data();
    void manualYearFromFileTime();
    void stationCode_data();
    void stationCode();
    void iniKeysAddedAndOthersKept();
    void eventFilesExportedWhenAsked();
    void historyButton();
    void commandLine();
};

namespace
{

// Codes other than the defaults, so that a code taken from the wrong place shows.
MiniSeedOptions configured()
{
    MiniSeedOptions options;
    options.network = QStringLiteral("VX");
    options.location = QStringLiteral("10");
    options.channels = {QStringLiteral("HNZ"), QStringLiteral("HNN"), QStringLiteral("HNE")};
    options.station = QStringLiteral("ST01");
    return options;
}

constexpr double PreAlarm = 30;
constexpr int Rows = 2500; // more than one 4096-byte record holds

// Sample k of axis 0..2: multiples of 1/8 and odd thousandths, both signs.
double sample(int k, int axis)
{
    switch (axis) {
    case 0:
        return (k % 400) * 0.125 - 25;
    case 1:
        return ((k * 37) % 2001 - 1000) * 0.001;
    default:
        return 1234.5 - k * 0.007;
    }
}

QByteArray crlf(const QStringList &lines)
{
    return (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
}

// `firstRow`: the row of the window the file begins with (the station had recorded less than
// the pre-alarm time before the trigger).
QByteArray eventFile(int rows, int firstRow = 0)
{
    QStringList lines{QStringLiteral("#StationCode:v-12/345678"),
                      QStringLiteral("#InstrumentKind: CSV  (240115083012_v-12/345678.CSV)"),
                      QStringLiteral("#StartTime:2024/01/15 08:30:12"),
                      QStringLiteral("#RecordLength(sec):   120.00 "),
                      QStringLiteral("#SampleRate(Hz): 100"),
                      QStringLiteral("#AmplitudeUnit:  gal. DCoffset(corr)"),
                      QStringLiteral("#AmplitudeMAX. a:   1 ~ -1"),
                      QStringLiteral("#AmplitudeMAX. b:   1 ~ -1"),
                      QStringLiteral("#AmplitudeMAX. c:   1 ~ -1"),
                      QStringLiteral("#Intensity: 4"),
                      QStringLiteral("#DataSequence: Time; a; b; c; Pd; Displacement"),
                      QStringLiteral("#Data: 4F10.3 ")};
    for (int k = 0; k < rows; ++k)
        lines << QString::asprintf("%10.2f,%10.3f,%10.3f,%10.3f,%10.3f,%10.3f",
                                   (firstRow + k) * 0.01, sample(k, 0), sample(k, 1), sample(k, 2),
                                   0.5, -0.25);
    return crlf(lines);
}

QByteArray manualFile(int rows)
{
    QStringList lines{QStringLiteral("Time,a,b,c")};
    for (int k = 0; k < rows; ++k)
        lines << NumberText::doubleText(k * 0.01) + QLatin1Char(',') +
                     NumberText::singleText(float(sample(k, 0))) + QLatin1Char(',') +
                     NumberText::singleText(float(sample(k, 1))) + QLatin1Char(',') +
                     NumberText::singleText(float(sample(k, 2)));
    lines << QStringLiteral("Max, 1.0000, 1.0000, 1.0000")
          << QStringLiteral("Min, -1.0000, -1.0000, -1.0000");
    return crlf(lines);
}

QByteArray plainFile(int rows)
{
    // A title line, the header with the start, a line that is skipped, then the rows.
    QStringList lines{QStringLiteral("Vorsa plain record"),
                      QStringLiteral("Vorsa,2024/01/15 08:30:12,site,5"), QStringLiteral("a,b,c,")};
    for (int k = 0; k < rows; ++k)
        lines << QString::asprintf("%.3f,%.3f,%.3f,", sample(k, 0), sample(k, 1), sample(k, 2));
    return crlf(lines);
}

// The samples as the record file printed them: the columns of a, b, c.
QList<QStringList> printedColumns(const QByteArray &bytes)
{
    QList<QStringList> columns(3);
    for (const QString &line : RecordFiles::crlfLines(bytes)) {
        const QStringList fields = line.split(QLatin1Char(','));
        bool isNumber = false;
        fields.value(Field::DeviceStatus).trimmed().toDouble(&isNumber);
        const bool plainRow = fields.size() == 4 && fields[3].isEmpty();
        if (!isNumber || line.startsWith(QLatin1Char('#')) || (fields.size() < 4))
            continue;
        for (int axis = 0; axis < 3; ++axis)
            columns[axis] << fields[plainRow ? axis : axis + 1].trimmed();
    }
    return columns;
}

// The sample read back, printed with as many decimals as the file printed.
QString printedLike(float value, const QString &printed)
{
    const qsizetype dot = printed.indexOf(QLatin1Char('.'));
    const int decimals = dot < 0 ? 0 : int(printed.size() - dot - 1);
    return printed.contains(QLatin1Char('e')) ? NumberText::singleText(value)
                                              : QString::number(double(value), 'f', decimals);
}

struct ReadBack {
    struct Trace {
        QString network, station, location, channel;
        QDateTime start;
        double rate = 0;
        std::vector<float> samples;
    };
    QList<Trace> traces;
    int recordLength = 0;
    int records = 0;
};

// Every record of the file, read with libmseed, joined into traces.
ReadBack readMiniSeed(const QString &path)
{
    ReadBack back;
    MSRecord *msr = nullptr;
    int status = MS_NOERROR;
    const QByteArray name = QFile::encodeName(path);
    while ((status = ms_readmsr(&msr, name.constData(), 0, nullptr, nullptr, 1, 1, 0)) ==
           MS_NOERROR) {
        ++back.records;
        back.recordLength = msr->reclen;
        const QString channel = QString::fromLatin1(msr->channel);
        if (back.traces.isEmpty() || back.traces.last().channel != channel) {
            ReadBack::Trace trace{QString::fromLatin1(msr->network),
                                  QString::fromLatin1(msr->station),
                                  QString::fromLatin1(msr->location),
                                  channel,
                                  QDateTime::fromMSecsSinceEpoch(msr->starttime / 1000, Qt::UTC),
                                  msr->samprate,
                                  {}};
            back.traces << trace;
        }
        if (msr->sampletype == 'f') {
            const auto *values = static_cast<const float *>(msr->datasamples);
            back.traces.last().samples.insert(back.traces.last().samples.end(), values,
                                              values + msr->numsamples);
        }
    }
    ms_readmsr(&msr, nullptr, 0, nullptr, nullptr, 0, 0, 0); // closes the file
    return back;
}

QStringList folderEntries(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

void setModified(const QString &path, const QDateTime &when)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(when, QFileDevice::FileModificationTime));
}

} // namespace

void TestMiniSeedExport::roundTrip_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("station");
    QTest::addColumn<QDateTime>("startUtc");

    // 08:30:12 at UTC+8 is 00:30:12 UTC; an event file's rows begin 30 s before its trigger.
    QTest::newRow("event file") << "240115083012_v-12_345678.CSV" << eventFile(Rows) << "45678"
                                << QDateTime(QDate(2024, 1, 15), QTime(0, 29, 42), Qt::UTC);
    QTest::newRow("event file cut at its start")
        << "240115083012_v-12_345678.CSV" << eventFile(Rows, 2880) << "45678"
        << QDateTime(QDate(2024, 1, 15), QTime(0, 30, 10, 800), Qt::UTC);
    QTest::newRow("manual recording") << "M0115083012.csv" << manualFile(Rows) << "ST01"
                                      << QDateTime(QDate(2024, 1, 15), QTime(0, 30, 12), Qt::UTC);
    QTest::newRow("plain layout") << "plain.csv" << plainFile(Rows) << "ST01"
                                  << QDateTime(QDate(2024, 1, 15), QTime(0, 30, 12), Qt::UTC);
}

void TestMiniSeedExport::roundTrip()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, station);
    QFETCH(QDateTime, startUtc);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    setModified(path, QDateTime(QDate(2024, 1, 15), QTime(8, 40)));

    const MiniSeedExport::Result result = MiniSeedExport(configured(), PreAlarm).exportFile(path);
    QVERIFY2(!result.output.isEmpty(), qPrintable(result.message));
    QCOMPARE(result.output, dir.filePath(QFileInfo(name).completeBaseName() + ".mseed"));
    QCOMPARE(result.samplesPerTrace, Rows);

    const ReadBack back = readMiniSeed(result.output);
    QCOMPARE(back.recordLength, MiniSeedExport::RecordLength);
    QCOMPARE(QFileInfo(result.output).size(), qint64(back.records) * back.recordLength);
    const QList<QStringList> printed = printedColumns(bytes);
    const QStringList channels{"HNZ", "HNN", "HNE"};
    QCOMPARE(back.traces.size(), 3);
    for (int axis = 0; axis < 3; ++axis) {
        const ReadBack::Trace &trace = back.traces[axis];
        QCOMPARE(QStringList({trace.network, trace.station, trace.location, trace.channel}),
                 QStringList({"VX", station, "10", channels[axis]}));
        QCOMPARE(trace.start, startUtc);
        QCOMPARE(trace.rate, 100.0);
        QCOMPARE(int(trace.samples.size()), Rows);
        QCOMPARE(printed[axis].size(), Rows);
        for (int k = 0; k < Rows; ++k) {
            if (printedLike(trace.samples[k], printed[axis][k]) != printed[axis][k])
                QFAIL(qPrintable(QStringLiteral("axis %1 sample %2: %3, printed %4")
                                     .arg(axis)
                                     .arg(k)
                                     .arg(trace.samples[k])
                                     .arg(printed[axis][k])));
        }
    }
}

void TestMiniSeedExport::refused_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("network");
    QTest::addColumn<QString>("message");

    const QByteArray event = eventFile(300);
    QByteArray random(5000, Qt::Uninitialized);
    QRandomGenerator rng(18);
    for (char &byte : random)
        byte = char(rng.bounded(256));
    random[0] = 'x'; // neither "#" nor "0": the layout check, not a lucky header, must refuse it

    QTest::newRow("cut inside a row")
        << "240115083012_77.CSV" << event.left(event.size() - 30) << "XX"
        << "is cut short";
    QTest::newRow("cut inside c") << "240115083012_77.CSV" << event.left(event.size() - 25) + "\r\n"
                                  << "XX"
                                  << "missing or unreadable";
    QTest::newRow("cut in the header") << "240115083012_77.CSV" << event.left(200) << "XX"
                                       << "is cut short";
    QTest::newRow("header only") << "240115083012_77.CSV" << eventFile(0) << "XX"
                                 << "holds no samples";
    QTest::newRow("manual without Min")
        << "M0115083012.csv" << QByteArray("Time,a,b,c\r\n0,1,2,3\r\n0.01,1,2,3\r\n") << "XX"
        << "\"Min\"";
    QTest::newRow("random bytes") << "noise.csv" << random << "XX"
                                  << "not a record file";
    QTest::newRow("empty") << "240115083012_77.CSV" << QByteArray() << "XX"
                           << "no samples";
    QTest::newRow("network code too long") << "240115083012_77.CSV" << event << "VXY"
                                           << "network code \"VXY\"";
}

// A file that cannot be exported gives a message and leaves no file behind, not even a
// temporary one, and an earlier export of it stays as it was.
void TestMiniSeedExport::refused()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, network);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    const QString earlier = MiniSeedExport::outputPath(path);
    QFile old(earlier);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("earlier export");
    old.close();
    const QStringList before = folderEntries(dir.path());

    MiniSeedOptions options;
    options.network = network;
    const MiniSeedExport::Result result = MiniSeedExport(options, PreAlarm).exportFile(path);
    QVERIFY(result.output.isEmpty());
    QVERIFY2(result.message.contains(message), qPrintable(result.message));
    QVERIFY2(result.message.contains(name), qPrintable(result.message));
    QCOMPARE(folderEntries(dir.path()), before);
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("earlier export"));
}

// A manual recording's name has no year: it is the one that puts the start at or before the
// file's last change.
void TestMiniSeedExport::manualYearFromFileTime_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QDateTime>("modified");
    QTest::addColumn<QDateTime>("startUtc");

    QTest::newRow("same year") << "M0704120000.csv" << QDateTime(QDate(2025, 7, 4), QTime(12, 5))
                               << QDateTime(QDate(2025, 7, 4), QTime(4, 0), Qt::UTC);
    QTest::newRow("stopped after new year")
        << "M1231235959.csv" << QDateTime(QDate(2025, 1, 1), QTime(0, 4, 59))
        << QDateTime(QDate(2024, 12, 31), QTime(15, 59, 59), Qt::UTC);
    QTest::newRow("29 February") << "M0229100000.csv" << QDateTime(QDate(2025, 1, 2), QTime(9, 0))
                                 << QDateTime(QDate(2024, 2, 29), QTime(2, 0), Qt::UTC);
}

void TestMiniSeedExport::manualYearFromFileTime()
{
    QFETCH(QString, name);
    QFETCH(QDateTime, modified);
    QFETCH(QDateTime, startUtc);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(manualFile(10));
    file.close();
    setModified(path, modified);

    const MiniSeedExport::Result result = MiniSeedExport(configured(), PreAlarm).exportFile(path);
    QVERIFY2(!result.output.isEmpty(), qPrintable(result.message));
    const ReadBack back = readMiniSeed(result.output);
    QCOMPARE(back.traces.size(), 3);
    QCOMPARE(back.traces[0].start, startUtc);
}

void TestMiniSeedExport::stationCode_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("code");
    QTest::newRow("short") << "ab1"
                           << "AB1";
    QTest::newRow("blanks and signs dropped") << " s-t 1"
                                              << "ST1";
    QTest::newRow("last five of a serial number") << "V2024-00017"
                                                  << "00017";
    QTest::newRow("nothing SEED allows") << QStringLiteral("#\u00fc-") << "";
}

void TestMiniSeedExport::stationCode()
{
    QFETCH(QString, text);
    QFETCH(QString, code);
    QCOMPARE(MiniSeedExport::stationCode(text), code);
}

// Start-up writes the export keys vorsa.ini lacks; its other keys, ours or not, survive.
void TestMiniSeedExport::iniKeysAddedAndOthersKept()
{
    StationFixture f;
    f.writeFile("vorsa.ini", "[broker]\nhost=example.org\n\n[miniseed]\nnetwork=vx\n");
    f.station->start(QString());

    QSettings ini(f.file("vorsa.ini"), QSettings::IniFormat);
    QCOMPARE(ini.value("broker/host").toString(), QStringLiteral("example.org"));
    QCOMPARE(ini.value("miniseed/network").toString(), QStringLiteral("vx"));
    QCOMPARE(ini.value("miniseed/location").toString(), QStringLiteral("00"));
    QCOMPARE(ini.value("miniseed/channelC").toString(), QStringLiteral("HNC"));
    QCOMPARE(ini.value("miniseed/exportEventFiles").toBool(), false);
    const MiniSeedOptions options = MiniSeedOptions::read(ini);
    QCOMPARE(options.network, QStringLiteral("VX"));
    QVERIFY(options.problem().isEmpty());
}

void TestMiniSeedExport::eventFilesExportedWhenAsked()
{
    for (const bool enabled : {false, true}) {
        StationFixture f;
        f.writeFile("vorsa.ini", enabled ? "[miniseed]\nexportEventFiles=true\n" : "");
        f.station->start(QString());
        Readout &readout = f.station->readout();
        ConnectionPage &connection = f.station->connectionPage();
        connection.recordModeBox.setChecked(true);
        readout.liveFields.setText(Field::StationCode, QStringLiteral("77"));
        connection.preEventField.setText(QStringLiteral("2"));
        connection.postEventField.setText(QStringLiteral("3"));
        EventFile &eventFile = f.station->eventFile();
        RecordFiles::recordEvent(f.station->sampleRing(), eventFile,
                                 QDateTime(QDate(2024, 1, 15), QTime(8, 30, 12)), 1000, 300);
        eventFile.armPostAlarm();
        for (int tick = 0; tick < 3; ++tick)
            eventFile.onPostAlarmTick();

        const QString csv =
            QDir(f.station->recordFolder().path()).filePath(f.station->eventFile().fileName());
        QVERIFY(QFile::exists(csv));
        const QString mseed = MiniSeedExport::outputPath(csv);
        QCOMPARE(QFile::exists(mseed), enabled);
        if (!enabled)
            continue;
        QVERIFY2(readout.statusLine.text().startsWith("Wrote"),
                 qPrintable(readout.statusLine.text()));
        const ReadBack back = readMiniSeed(mseed);
        QCOMPARE(back.traces.size(), 3);
        QCOMPARE(back.traces[0].station, QStringLiteral("77"));
        QCOMPARE(back.traces[2].channel, QStringLiteral("HNC"));
        QCOMPARE(back.traces[0].start, QDateTime(QDate(2024, 1, 15), QTime(0, 30, 10), Qt::UTC));
        QCOMPARE(int(back.traces[1].samples.size()), 500);
        QCOMPARE(back.traces[1].samples[0], RecordFiles::ringRow(800)[1]);
    }
}

void TestMiniSeedExport::historyButton()
{
    StationFixture f;
    f.writeFile("RecCSV/M0115083012.csv", manualFile(20));
    f.station->start(QString());
    Readout &readout = f.station->readout();
    f.station->recordFolder().setPath(f.file("RecCSV"));
    f.station->recordFolder().select(-1);
    f.station->history().exportSelectedFile();
    QCOMPARE(readout.statusLine.text(), QStringLiteral("Select a record file to export"));

    f.station->recordFolder().select(
        int(f.station->recordFolder().files().indexOf("M0115083012.csv")));
    f.station->history().exportSelectedFile();
    QVERIFY2(readout.statusLine.text().startsWith("Wrote"), qPrintable(readout.statusLine.text()));
    QCOMPARE(readMiniSeed(f.file("RecCSV/M0115083012.mseed")).traces.size(), 3);
}

// Each file gets its line; the exit status tells whether all were exported.
void TestMiniSeedExport::commandLine()
{
    QTemporaryDir dir;
    const ProgramFolder folder(dir.path());
    QFile ini(folder.file("vorsa.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[miniseed]\nnetwork=VX\n");
    ini.close();
    QFile good(dir.filePath("plain.csv"));
    QVERIFY(good.open(QIODevice::WriteOnly));
    good.write(plainFile(5));
    good.close();
    const QString missing = dir.filePath("missing.csv");

    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    QCOMPARE(MiniSeedCommand::run({good.fileName()}, folder, outStream, errStream), 0);
    QVERIFY2(out.startsWith("Wrote " + dir.filePath("plain.mseed") + ": VX.VORSA.00."),
             qPrintable(out));
    QVERIFY(err.isEmpty());

    out.clear();
    QCOMPARE(MiniSeedCommand::run({missing, good.fileName()}, folder, outStream, errStream), 1);
    QVERIFY2(err.startsWith("vorsa: Cannot open missing.csv"), qPrintable(err));
    QCOMPARE(out.count("Wrote "), 1);
}

QTEST_GUILESS_MAIN(TestMiniSeedExport)
#include "tst_miniseedexport.moc"
