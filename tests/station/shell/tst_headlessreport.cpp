#include "StationFixture.h"
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
    void logEntriesKeepTheirTime();
    void stateChangesOnceEach();
    void missingAudioToldOnce();
    void nobodyAnswers();
    void commandLine_data();
    void commandLine();
};

namespace
{

constexpr int EventFlags = 11;

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

void TestHeadlessReport::logEntriesKeepTheirTime()
{
    ReportedStation s;
    s.f.station->eventLog().appendEventLog(QStringLiteral("2026/01/02 03:04:05 Pd trig"));
    s.f.station->eventLog().appendEventLog(QStringLiteral("no time here"));
    s.f.station->eventLog().appendEventLog(QStringLiteral("2026/13/02 03:04:05 bad month"));
    const QStringList expected = {
        QStringLiteral("2026/01/02 03:04:05 log Pd trig_88888"),
        s.now() + QStringLiteral(" log no time here_88888"),
        s.now() + QStringLiteral(" log 2026/13/02 03:04:05 bad month_88888"),
    };
    QCOMPARE(s.lines(), expected);
    QCOMPARE(s.f.logLines().size(), 3);
}

void TestHeadlessReport::stateChangesOnceEach()
{
    ReportedStation s;
    Form &form = s.f.station->form();
    s.f.station->start(QStringLiteral("10.1.2.3"));
    const QString at = s.now() + QLatin1Char(' ');
    QVERIFY2(s.lines().contains(at + "info link opened: Modbus_TCP to 10.1.2.3 port 502"),
             qPrintable(s.text));
    s.text.clear();

    form.txtReal.setText(EventFlags, QStringLiteral("2"));
    form.txtReal.setText(EventFlags, QStringLiteral("6"));
    form.txtReal.setText(EventFlags, QStringLiteral("0"));
    const QStringList event = s.lines().filter(QStringLiteral(" event "));
    QCOMPARE(event, QStringList({at + "alarm event started", at + "info event over"}));
    s.text.clear();

    form.formBackColor.setBackColor(QColor(255, 0, 0));
    form.formBackColor.setBackColor(QColor(255, 0, 0));
    form.formBackColor.setBackColor(QColor());
    form.statusLine.setText(QStringLiteral("Cannot save the settings: disk full"));
    form.lblWriteWarning.setText(QStringLiteral("Cannot write to /rec: disk full"));
    form.lblWriteWarning.setVisible(true);
    form.lblWriteWarning.setText(QStringLiteral("Cannot write to /rec: read-only"));
    form.lblWriteWarning.setVisible(false);
    s.f.station->showHostSettings();
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
