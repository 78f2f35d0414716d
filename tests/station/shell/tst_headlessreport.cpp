#include "StationFixture.h"
#include "common/FieldNumbers.h"
#include "link/LinkStatus.h"
#include "shell/CommandLine.h"
#include "shell/HeadlessPlatform.h"
#include "shell/HeadlessReport.h"

#include <QTest>
#include <QTextStream>

// What a station without a window tells on standard output, and how it reads its command line.
class TestHeadlessReport : public QObject
{
    Q_OBJECT
private slots:
    void journalLine_data();
    void journalLine();
    void stateChangesOnceEach();
    void missingAudioToldOnce();
    void nobodyAnswers();
    void commandLine_data();
    void commandLine();
};

namespace
{

struct ReportedStation {
    StationFixture f;
    QString text;
    QTextStream out{&text};
    HeadlessReport report{*f.station, f.clock, out};

    QStringList lines()
    {
        out.flush();
        return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    QString now() const { return f.station->now(); }
};

} // namespace

void TestHeadlessReport::journalLine_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("line");
    // The fake clock stands at 2026/12/07 10:00:00.
    QTest::newRow("code not read yet") << "88888"
                                       << "2026/12/07 10:00:00 Application Start"
                                       << "2026/12/07 10:00:00 log Application Start";
    QTest::newRow("code as a field") << "1"
                                     << "2026/12/07 10:00:00 P Watch Pd 0.203 cm"
                                     << "2026/12/07 10:00:00 log P Watch Pd 0.203 cm [station 1]";
    QTest::newRow("blank code") << ""
                                << "2026/12/07 10:00:00 Online"
                                << "2026/12/07 10:00:00 log Online";
    QTest::newRow("summary names the event's start, stamped now")
        << "1"
        << "2026/12/07 09:58:30 Max Intensity---5"
        << "2026/12/07 10:00:00 log 2026/12/07 09:58:30 Max Intensity---5 [station 1]";
    QTest::newRow("no time of its own") << "77"
                                        << "no time here"
                                        << "2026/12/07 10:00:00 log no time here [station 77]";
    QTest::newRow("no valid time") << "77"
                                   << "2026/13/02 03:04:05 bad month"
                                   << "2026/12/07 10:00:00 log 2026/13/02 03:04:05 bad month "
                                      "[station 77]";
}

// The journal's form of a log entry; the monthly log keeps the entry as it is.
void TestHeadlessReport::journalLine()
{
    QFETCH(QString, code);
    QFETCH(QString, entry);
    ReportedStation s;
    s.f.station->readout().liveFields.setText(Field::StationCode, code);
    s.f.station->eventLog().appendEventLog(entry);
    QTEST(s.lines().value(0), "line");
    QCOMPARE(s.f.logLines(), QStringList{entry + QLatin1Char('_') + code});
}

void TestHeadlessReport::stateChangesOnceEach()
{
    ReportedStation s;
    Readout &readout = s.f.station->readout();
    s.f.station->start(QStringLiteral("10.1.2.3"));
    const QString at = s.now() + QLatin1Char(' ');
    QVERIFY2(s.lines().contains(at + "info link opened: Modbus_TCP to 10.1.2.3 port 502"),
             qPrintable(s.text));
    s.text.clear();

    readout.liveFields.setText(Field::EventFlags, QStringLiteral("2"));
    readout.liveFields.setText(Field::EventFlags, QStringLiteral("6"));
    readout.liveFields.setText(Field::EventFlags, QStringLiteral("0"));
    const QStringList event = s.lines().filter(QStringLiteral(" event "));
    QCOMPARE(event, QStringList({at + "alarm event started", at + "info event over"}));
    s.text.clear();

    // The alarm's state follows the line the alarm rule logs.
    readout.liveFields.setText(Field::PWaveFlag, QStringLiteral("32"));
    QCoreApplication::processEvents();
    QCOMPARE(s.lines(), QStringList({at + "log P Wave", at + "alarm P Wave"}));
    s.text.clear();

    LinkStatus &link = s.f.station->linkStatus();
    link.setSilent(true);
    link.setSilent(false);
    readout.statusLine.setText(QStringLiteral("Cannot save the settings: disk full"));
    s.f.station->eventLog().writeWarning().setText(
        QStringLiteral("Cannot write to /rec: disk full"));
    s.f.station->eventLog().writeWarning().setVisible(true);
    s.f.station->eventLog().writeWarning().setText(
        QStringLiteral("Cannot write to /rec: read-only"));
    s.f.station->eventLog().writeWarning().setVisible(false);
    link.setOpen(false);
    QCOMPARE(s.lines(),
             QStringList({at + "warning no data from the device", at + "info data from the device",
                          at + "warning Cannot save the settings: disk full",
                          at + "warning Cannot write to /rec: disk full",
                          at + "info files are written again", at + "info link closed"}));
}

void TestHeadlessReport::missingAudioToldOnce()
{
    int asked = 0;
    HeadlessSound sound([&asked] {
        ++asked;
        return false;
    });
    QStringList told;
    sound.setTeller([&told](const QString &text) { told << text; });
    sound.play(QStringLiteral("/nowhere/self-test.wav"));
    sound.play(QStringLiteral("/nowhere/degree-3.wav"));
    QCOMPARE(asked, 1);
    QCOMPARE(told, QStringList{QStringLiteral("no audio output: voice alerts are not played")});
}

void TestHeadlessReport::nobodyAnswers()
{
    UnattendedPrompter prompter;
    QStringList told;
    prompter.setTeller([&told](const QString &text) { told << text; });
    QVERIFY(
        !prompter.askYesNo(QStringLiteral("Do you want to exit ?"), QStringLiteral("Warning!")));
    QVERIFY(!prompter.askText(QStringLiteral("Please keyin year and month:"),
                              QStringLiteral("Keyin box:"), QStringLiteral("202612")));
    QCOMPARE(told.size(), 2);
}

void TestHeadlessReport::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("headless");
    QTest::addColumn<int>("link"); // -1: not chosen
    QTest::addColumn<bool>("usable");

    QTest::newRow("headless with address")
        << QStringList{"--headless", "10.0.0.5"} << "10.0.0.5" << true << -1 << true;
    QTest::newRow("address words joined")
        << QStringList{"10.0.0.5", "--headless", "x"} << "10.0.0.5 x" << true << -1 << true;
    QTest::newRow("server link, no address") << QStringList{"--headless", "--link", "server"} << ""
                                             << true << int(LinkKind::TcpServer) << true;
    QTest::newRow("link without kind")
        << QStringList{"--headless", "--link"} << "" << true << -1 << false;
    QTest::newRow("record mode") << QStringList{"--headless", "--record", "10.0.0.5"} << "10.0.0.5"
                                 << true << -1 << true;
    QTest::newRow("unknown option") << QStringList{"--headles"} << "" << false << -1 << false;
    QTest::newRow("demo on the server link") << QStringList{"--demo", "--link", "server"} << ""
                                             << false << int(LinkKind::TcpServer) << false;
}

void TestHeadlessReport::commandLine()
{
    QFETCH(QStringList, args);
    const CommandLine cl = CommandLine::parse(QStringList{"vorsa"} + args);
    QTEST(cl.address, "address");
    QTEST(cl.headless, "headless");
    QTEST(cl.link ? int(*cl.link) : -1, "link");
    QTEST(cl.error.isEmpty(), "usable");
}

QTEST_GUILESS_MAIN(TestHeadlessReport)
#include "tst_headlessreport.moc"
