#include "StationFixture.h"
#include "shell/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestSettingsFile : public QObject
{
    Q_OBJECT
private slots:
    void lines_data();
    void lines();
    void recordTimes_data();
    void recordTimes();
    void outOfRangeValues_data();
    void outOfRangeValues();
    void lastKeyWins();
    void writerEmitsAll32LinesInOrder();
    void writeAfterReadReproducesFile();
    void lineEndsAndByteOrderMark_data();
    void lineEndsAndByteOrderMark();
    void saveFailureIsReportedAndRetried();
};

namespace
{

SystemSettings applied(const QString &text)
{
    SystemSettings settings;
    SettingsFile::apply(text, settings);
    return settings;
}

SystemSettings readBack(const QByteArray &bytes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sys.txt"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    file.close();
    SystemSettings settings;
    if (!SettingsFile::read(path, settings))
        qFatal("cannot read %s", qPrintable(path));
    return settings;
}

} // namespace

void TestSettingsFile::lines_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("expected");
    QTest::newRow("drive path keeps its colon") << "Rec Path:C:\\Vorsa\\RecCSV"
                                                << "recPath"
                                                << "C:\\Vorsa\\RecCSV";
    QTest::newRow("leading colon ignored") << ":Baud"
                                           << "baud"
                                           << "19200,N,8,1";
    QTest::newRow("no colon ignored") << "Baud 9600"
                                      << "baud"
                                      << "19200,N,8,1";
    QTest::newRow("empty Baud") << "Baud:"
                                << "baud"
                                << "";
    QTest::newRow("value not trimmed") << "IP: 10.0.0.1 "
                                       << "ip"
                                       << " 10.0.0.1 ";
    QTest::newRow("wrong capital E ignored") << "Engineer Mode:1"
                                             << "mode"
                                             << "0";
    QTest::newRow("engineer mode") << "engineer Mode:1"
                                   << "mode"
                                   << "1";
    QTest::newRow("lower d displacement") << "displacement range:0.5"
                                          << "disp"
                                          << "0.5";
    QTest::newRow("upper D ignored") << "Displacement range:0.5"
                                     << "disp"
                                     << "Combo1";
    QTest::newRow("voice path") << "Voice3:/home/op/sounds/3.wav"
                                << "voice3"
                                << "/home/op/sounds/3.wav";
    QTest::newRow("voice13 unknown") << "Voice13:x.wav"
                                     << "voice3"
                                     << "";
    QTest::newRow("auto run strict") << "Auto Run:1"
                                     << "auto"
                                     << "1";
    QTest::newRow("auto run not integer") << "Auto Run:1x"
                                          << "auto"
                                          << "0";
    QTest::newRow("record mode tolerant") << "Record mode:1x"
                                          << "record"
                                          << "1";
    QTest::newRow("led com") << "LED COM:3"
                             << "led"
                             << "3";
}

void TestSettingsFile::lines()
{
    QFETCH(QString, line);
    QFETCH(QString, what);
    QFETCH(QString, expected);
    const SystemSettings a = applied(line + QStringLiteral("\r\n"));
    QString got;
    if (what == QLatin1String("recPath"))
        got = a.recordFolder;
    else if (what == QLatin1String("baud"))
        got = a.serialSettings;
    else if (what == QLatin1String("ip"))
        got = a.host;
    else if (what == QLatin1String("mode"))
        got = QString::number(a.userMode);
    else if (what == QLatin1String("disp"))
        got = a.displacementRange;
    else if (what == QLatin1String("voice3"))
        got = a.voiceFiles[3];
    else if (what == QLatin1String("auto"))
        got = a.autoRun ? QStringLiteral("1") : QStringLiteral("0");
    else if (what == QLatin1String("record"))
        got = a.recordMode ? QStringLiteral("1") : QStringLiteral("0");
    else if (what == QLatin1String("led"))
        got = QString::number(a.ledPort);
    QCOMPARE(got, expected);
}

void TestSettingsFile::recordTimes_data()
{
    QTest::addColumn<QString>("pre");
    QTest::addColumn<QString>("post");
    QTest::addColumn<QString>("preAfter");
    QTest::addColumn<QString>("postAfter");
    QTest::newRow("zero pre") << "0"
                              << "60"
                              << "30"
                              << "60";
    QTest::newRow("text pre") << "abc"
                              << "60"
                              << "30"
                              << "60";
    QTest::newRow("empty post") << "20"
                                << ""
                                << "20"
                                << "90";
    QTest::newRow("kept") << "45"
                          << "100"
                          << "45"
                          << "100";
    QTest::newRow("sum beyond ring") << "100"
                                     << "200"
                                     << "100"
                                     << "140";
    QTest::newRow("pre beyond ring") << "300"
                                     << "10"
                                     << "240"
                                     << "0";
    QTest::newRow("negative times") << "-5"
                                    << "-1"
                                    << "30"
                                    << "90";
}

void TestSettingsFile::recordTimes()
{
    QFETCH(QString, pre);
    QFETCH(QString, post);
    QFETCH(QString, preAfter);
    QFETCH(QString, postAfter);
    const SystemSettings s = readBack(
        QStringLiteral("Pre-alarm time:%1\r\nPost-alarm time:%2\r\n").arg(pre, post).toUtf8());
    QCOMPARE(s.preAlarmSeconds, preAfter);
    QCOMPARE(s.postAlarmSeconds, postAfter);
}

void TestSettingsFile::outOfRangeValues_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("mode 7") << "engineer Mode:7\r\n";
    QTest::newRow("mode huge") << "engineer Mode:1e300\r\n";
    QTest::newRow("auto run 5") << "Auto Run:5\r\n";
    QTest::newRow("led 256") << "LED COM:256\r\n";
    QTest::newRow("led negative") << "LED COM:-1\r\n";
    QTest::newRow("check 3") << "Voice Enable:3\r\n";
}

void TestSettingsFile::outOfRangeValues()
{
    QFETCH(QString, text);
    const SystemSettings a = applied(text);
    QCOMPARE(a.userMode, 0);
    QCOMPARE(a.ledPort, 0);
    QVERIFY(!a.autoRun);
    QVERIFY(!a.voiceOn);
}

void TestSettingsFile::lastKeyWins()
{
    QCOMPARE(applied(QStringLiteral("Port:502\r\nPort:1502\r\n")).port, QStringLiteral("1502"));
}

void TestSettingsFile::writerEmitsAll32LinesInOrder()
{
    const QStringList lines =
        QString::fromUtf8(SettingsFile::compose(SystemSettings{})).split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 33); // 32 lines and the empty rest after the last CR LF
    QCOMPARE(lines.last(), QString());
    const QStringList keys = {"engineer Mode",
                              "COM",
                              "Baud",
                              "IP",
                              "Port",
                              "ID",
                              "Voice0",
                              "Voice1",
                              "Voice2",
                              "Voice3",
                              "Voice4",
                              "Voice5",
                              "Voice6",
                              "Voice7",
                              "Voice8",
                              "Voice9",
                              "Voice10",
                              "Voice11",
                              "Voice12",
                              "Pre-alarm time",
                              "Post-alarm time",
                              "Acc range",
                              "Pd range",
                              "X-axis range",
                              "displacement range",
                              "Rec Path",
                              "Auto Run",
                              "Manual Path",
                              "Record mode",
                              "Clock adjusted",
                              "LED COM",
                              "Voice Enable"};
    for (int i = 0; i < keys.size(); ++i)
        QCOMPARE(lines[i].section(QLatin1Char(':'), 0, 0), keys[i]);
    QCOMPARE(lines[2], QStringLiteral("Baud:19200,N,8,1"));
    QCOMPARE(lines[19], QStringLiteral("Pre-alarm time:30"));
}

void TestSettingsFile::writeAfterReadReproducesFile()
{
    const QByteArray original =
        "engineer Mode:1\r\nCOM:3\r\nBaud:9600,N,8,1\r\nIP:10.1.2.3\r\nPort:1502\r\nID:7\r\n"
        "Voice0:/s/0.wav\r\nVoice1:\r\nVoice2:\r\nVoice3:/s/3.wav\r\nVoice4:\r\nVoice5:\r\n"
        "Voice6:\r\nVoice7:\r\nVoice8:\r\nVoice9:\r\nVoice10:\r\nVoice11:\r\nVoice12:/s/12.wav\r\n"
        "Pre-alarm time:20\r\nPost-alarm time:100\r\nAcc range:250\r\nPd range:0.5\r\n"
        "X-axis range:30\r\ndisplacement range:2\r\nRec Path:D:\\old\\place\r\nAuto Run:1\r\n"
        "Manual Path:doc.pdf\r\nRecord mode:1\r\nClock adjusted:1\r\nLED COM:4\r\n"
        "Voice Enable:1\r\n";
    QCOMPARE(SettingsFile::compose(readBack(original)), original);
}

void TestSettingsFile::lineEndsAndByteOrderMark_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("LF only") << QByteArray("COM:5\nID:9\n");
    QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF"
                                                   "COM:5\r\nID:9\r\n");
    QTest::newRow("no final line end") << QByteArray("COM:5\r\nID:9");
}

void TestSettingsFile::lineEndsAndByteOrderMark()
{
    QFETCH(QByteArray, bytes);
    const SystemSettings s = readBack(bytes);
    QCOMPARE(s.serialPort, QStringLiteral("5"));
    QCOMPARE(s.unitAddress, QStringLiteral("9"));
}

void TestSettingsFile::saveFailureIsReportedAndRetried()
{
    StationFixture f;
    // A folder in the file's place makes every write fail, even for root.
    QVERIFY(QDir(f.home()).mkdir(QStringLiteral("sys.txt")));
    f.station->saveSettingsIfValid();
    QVERIFY(f.station->readout().statusLine.text().startsWith(
        QStringLiteral("Cannot save the settings")));
    f.station->readout().statusLine.setText(QString());
    f.station->saveSettingsIfValid();
    QCOMPARE(f.station->readout().statusLine.text(), QString()); // told once per failure spell
    QVERIFY(QDir(f.home()).rmdir(QStringLiteral("sys.txt")));
    f.station->saveSettingsIfValid();
    QVERIFY(f.readFile(QStringLiteral("sys.txt")).startsWith("engineer Mode:0\r\n"));
    // The station writes where it records, whatever folder the file named.
    f.station->recordFolder().setPath(f.file(QStringLiteral("RecCSV")));
    QVERIFY(f.readFile(QStringLiteral("sys.txt"))
                .contains("\r\nRec Path:" + f.file(QStringLiteral("RecCSV")).toUtf8() + "\r\n"));
}

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
