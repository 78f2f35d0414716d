#include "StationFixture.h"
#include "common/FieldNumbers.h"

#include <QDir>
#include <QTest>

class TestEventLog : public QObject
{
    Q_OBJECT
private slots:
    void monthFileFromClockAtWriting_data();
    void monthFileFromClockAtWriting();
    void summaryLine_data();
    void summaryLine();
    void summaryWritesFileBoxAndLog();
    void summaryBoxCut();
    void logFolderCreatedAndFailedLinesWait();
    void logfileMenu();
    void logfileMenuWithoutLogOrViewer();
};

void TestEventLog::monthFileFromClockAtWriting_data()
{
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<QString>("file");
    QTest::newRow("january") << QDateTime(QDate(2024, 1, 31), QTime(23, 59, 59)) << "20241.txt";
    QTest::newRow("new month at 00:00:05")
        << QDateTime(QDate(2024, 2, 1), QTime(0, 0, 5)) << "20242.txt";
    QTest::newRow("december") << QDateTime(QDate(2024, 12, 31), QTime(23, 59, 59)) << "202412.txt";
    QTest::newRow("new year") << QDateTime(QDate(2025, 1, 1), QTime(0, 0, 0)) << "20251.txt";
}

void TestEventLog::monthFileFromClockAtWriting()
{
    QFETCH(QDateTime, when);
    QFETCH(QString, file);
    StationFixture f;
    f.station->readout().liveFields.setText(Field::StationCode, QStringLiteral("1234"));
    f.clock.set(when);
    // The message carries an older time; the file follows the clock at the moment of writing.
    f.station->eventLog().appendEventLog(QStringLiteral("2024/01/31 23:59:59 Pd trig"));
    QCOMPARE(f.readFile(QStringLiteral("Event/") + file),
             QByteArray("2024/01/31 23:59:59 Pd trig_1234\r\n"));
}

void TestEventLog::summaryLine_data()
{
    QTest::addColumn<QString>("intensity");
    QTest::addColumn<QString>("field29");
    QTest::addColumn<QString>("expected");
    QTest::newRow("one-character intensity, 12.3")
        << "4"
        << "12.3"
        << "2024/01/15 08:30:12,77, Max Intensity :  4, Tri-axial Compound Vector Max :       "
           "57.3, "
           "a Axis Max :      12.30, b : -     1.00, c :       0.00, Compound a Axis Max:       "
           "0.00, "
           "b :       0.00, c :       0.00";
    QTest::newRow("too wide written whole") << "10"
                                            << "12345678.9"
                                            << "2024/01/15 08:30:12,77, Max Intensity : 10, "
                                               "Tri-axial Compound Vector Max :       57.3, "
                                               "a Axis Max : 12345678.90, b : -     1.00, c :      "
                                               " 0.00, Compound a Axis Max:       0.00, "
                                               "b :       0.00, c :       0.00";
}

void TestEventLog::summaryLine()
{
    QFETCH(QString, intensity);
    QFETCH(QString, field29);
    QFETCH(QString, expected);
    StationFixture f;
    Readout &readout = f.station->readout();
    readout.liveFields.setText(Field::StationCode, QStringLiteral("77"));
    readout.liveFields.setText(Field::Intensity, intensity);
    readout.liveFields.setText(Field::VectorMax, QStringLiteral("57.3"));
    readout.liveFields.setText(Field::FirstAxisPeak, field29);
    readout.liveFields.setText(Field::FirstAxisPeak + 1, QStringLiteral("-1"));
    for (int i : {31, 32, 33, 34})
        readout.liveFields.setText(i, QStringLiteral("abc"));
    // "b : " followed by the padded "-1.00": the minus stays with the number.
    QString want = expected;
    want.replace(QStringLiteral("b : -     1.00"), QStringLiteral("b :      -1.00"));
    QCOMPARE(f.station->eventLog().summaryLine(QDateTime(QDate(2024, 1, 15), QTime(8, 30, 12))),
             want);
}

void TestEventLog::summaryWritesFileBoxAndLog()
{
    StationFixture f;
    Readout &readout = f.station->readout();
    const QDateTime start(QDate(2026, 12, 7), QTime(9, 59, 0));
    readout.liveFields.setText(Field::StationCode, QStringLiteral("5"));
    readout.liveFields.setText(Field::Intensity, QStringLiteral("3"));
    f.station->eventLog().summaries().setText(QStringLiteral("older\r\n"));
    f.station->eventLog().writeEventSummary(start);
    const QString line = f.station->eventLog().summaryLine(start);
    QCOMPARE(f.readFile(QStringLiteral("Vorsa.txt")), line.toUtf8() + "\r\n");
    QCOMPARE(f.station->eventLog().summaries().text(), line + QStringLiteral("\r\nolder\r\n"));
    QCOMPARE(f.logLines(), QStringList{QStringLiteral("2026/12/07 09:59:00 Max Intensity---3_5")});
}

void TestEventLog::summaryBoxCut()
{
    const QString previous = QString(62100, QLatin1Char('o')) + QStringLiteral("OLDEST");
    const QString box = EventLog::withLineOnTop(QStringLiteral("new"), previous);
    QCOMPARE(box.size(), 3 + 2 + 62100);
    QVERIFY(!box.contains(QStringLiteral("OLDEST")));
}

void TestEventLog::logFolderCreatedAndFailedLinesWait()
{
    StationFixture f;
    f.station->eventLog().appendEventLog(QStringLiteral("x"));
    QVERIFY(QDir(f.file(QStringLiteral("Event"))).exists());
    QCOMPARE(f.logLines(), QStringList{QStringLiteral("x_88888")});

    // A folder in the month file's place: the line waits and the operator is warned; a later
    // line waits behind it, and both land in order once the obstacle is gone.
    QVERIFY(QFile::remove(f.file(QStringLiteral("Event/202612.txt"))));
    QVERIFY(QDir().mkdir(f.file(QStringLiteral("Event/202612.txt"))));
    f.station->eventLog().appendEventLog(QStringLiteral("y"));
    const Control &warning = f.station->eventLog().writeWarning();
    QVERIFY(warning.isVisible());
    QVERIFY2(warning.text().contains(f.file(QStringLiteral("Event"))), qPrintable(warning.text()));
    QVERIFY(QDir().rmdir(f.file(QStringLiteral("Event/202612.txt"))));
    f.station->eventLog().appendEventLog(QStringLiteral("z"));
    QVERIFY(f.logLines().isEmpty());
    f.station->eventLog().pendingWrites().retry();
    QCOMPARE(f.logLines(), QStringList({"y_88888", "z_88888"}));
    QVERIFY(!warning.isVisible());
}

void TestEventLog::logfileMenu()
{
    StationFixture f;
    f.writeFile(QStringLiteral("Event/20261.txt"), "2026/01/05 10:00:00 Application Start\r\n");
    f.prompter.textAnswers = {QString(), std::optional<QString>(), QStringLiteral("20261")};
    f.station->eventLog().openMonthlyLog();
    f.station->eventLog().openMonthlyLog();
    QVERIFY(f.shell.opened.isEmpty());
    f.station->eventLog().openMonthlyLog();
    QCOMPARE(f.prompter.asked.first(), QStringLiteral("Keyin box:|Please keyin year and month:"));
    QCOMPARE(f.prompter.defaults.first(), QStringLiteral("202612"));
    QCOMPARE(f.shell.opened, QStringList{f.file(QStringLiteral("Event/20261.txt"))});
    QVERIFY(f.shell.shownText.isEmpty());
}

// A month without a log is told on the status line; a log that no viewer opens is shown in
// the station itself.
void TestEventLog::logfileMenuWithoutLogOrViewer()
{
    StationFixture f;
    f.writeFile(QStringLiteral("Event/20261.txt"), "2026/01/05 10:00:00 Application Start\r\n");
    f.shell.viewerFound = false;
    f.prompter.textAnswers = {QStringLiteral("20262"), QStringLiteral("20261")};
    f.station->eventLog().openMonthlyLog();
    QVERIFY(f.shell.opened.isEmpty());
    QVERIFY(f.shell.shownText.isEmpty());
    QVERIFY2(f.station->readout().statusLine.text().contains(QStringLiteral("no such file")),
             qPrintable(f.station->readout().statusLine.text()));
    f.station->eventLog().openMonthlyLog();
    QCOMPARE(f.shell.shownText, QStringList{QStringLiteral("Event log 20261|") +
                                            f.file(QStringLiteral("Event/20261.txt"))});
}

QTEST_GUILESS_MAIN(TestEventLog)
#include "tst_eventlog.moc"
