#include "FreePort.h"
#include "StationFixture.h"

#include <QDir>
#include <QTest>

class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    void rangeListsAndStartTexts();
    void summariesNewestOnTop();
    void summaryBoxKeepsNewestLinePlusLimit();
    void openingAtStart_data();
    void openingAtStart();
    void applicationStartBeforeLinkLines();
    void demoLinkIsForThisRunOnly();
    void titleAndEducateLock_data();
    void titleAndEducateLock();
    void modeSwitchedInTheWindow();
    void recordFolderCreatedAndSettingsRewritten();
    void lastRecordFileSelected();
};

void TestStartup::rangeListsAndStartTexts()
{
    StationFixture f;
    f.station->start(QString());
    Pages &pages = f.station->views().pages();
    ConnectionPage &connection = f.station->connectionPage();
    const DisplaySettings &charts = f.station->displaySettings();
    History &history = f.station->history();
    QCOMPARE(charts.accelerationBox().items().first(), QStringLiteral("1000"));
    QCOMPARE(history.spanBox().items().last(), QStringLiteral("300"));
    QCOMPARE(f.station->deviceSettings().controls().pgaWarningBox.items(),
             QStringList({"400", "250", "80", "25", "8", "2.5", "0.8"}));
    QCOMPARE(charts.accelerationBox().text(), QStringLiteral("250"));
    QCOMPARE(charts.spanBox().text(), QStringLiteral("60"));
    QCOMPARE(history.accelerationBox().text(), QStringLiteral("10"));
    QCOMPARE(history.spanBox().text(), QStringLiteral("120"));
    QCOMPARE(charts.displacementBox().text(), QStringLiteral("3"));
    QCOMPARE(history.pdBox().text(), QStringLiteral("0.5"));
    QVERIFY(pages.hostPage.isVisible());
    QVERIFY(connection.tcpClientOption.isChecked());
    QVERIFY(!connection.tcpServerOption.isEnabled());
    QCOMPARE(f.station->views().manualFile(), QStringLiteral("vorsa_software_manual.pdf"));
}

void TestStartup::summariesNewestOnTop()
{
    StationFixture f;
    f.writeFile(QStringLiteral("Vorsa.txt"), "L1\r\nL2\r\nL3\r\n");
    f.station->start(QString());
    QCOMPARE(f.station->eventLog().summaries().text(), QStringLiteral("L3\r\nL2\r\nL1\r\n"));
}

void TestStartup::summaryBoxKeepsNewestLinePlusLimit()
{
    StationFixture f;
    QByteArray file;
    const QByteArray line(99, 'x'); // 101 characters with CR LF
    for (int i = 0; i < 1000; ++i)
        file += line + "\r\n";
    file += "NEWEST\r\n";
    f.writeFile(QStringLiteral("Vorsa.txt"), file);
    f.station->start(QString());
    const QString box = f.station->eventLog().summaries().text();
    QVERIFY(box.startsWith(QStringLiteral("NEWEST\r\n")));
    QCOMPARE(box.size(), 8 + 62100);
}

void TestStartup::openingAtStart_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<bool>("opened");
    QTest::addColumn<QString>("ip");
    QTest::newRow("address wins over auto run 0")
        << "10.9.8.7" << QByteArray("Auto Run:0\r\nIP:1.1.1.1\r\n") << true << "10.9.8.7";
    QTest::newRow("auto run 1") << "" << QByteArray("Auto Run:1\r\nIP:1.1.1.1\r\n") << true
                                << "1.1.1.1";
    QTest::newRow("auto run 0 waits")
        << "" << QByteArray("Auto Run:0\r\n") << false << "192.168.1.100";
}

void TestStartup::openingAtStart()
{
    QFETCH(QString, commandLine);
    QFETCH(QByteArray, settings);
    QFETCH(bool, opened);
    QFETCH(QString, ip);
    StationFixture f;
    f.writeFile(QStringLiteral("sys.txt"), settings);
    f.station->start(commandLine);
    Readout &readout = f.station->readout();
    Pages &pages = f.station->views().pages();
    ConnectionPage &connection = f.station->connectionPage();
    QCOMPARE(connection.hostField.text(), ip);
    QCOMPARE(pages.hostPage.isVisible(), !opened);
    QCOMPARE(readout.maximised.isChecked(), opened);
    QCOMPARE(readout.deviceAddress.text(), opened ? ip : QString());
}

// A device that is down at start is told offline while the link waits to connect.
void TestStartup::applicationStartBeforeLinkLines()
{
    StationFixture f(StationFixture::LinkKind::Real);
    f.writeFile(QStringLiteral("sys.txt"), "Port:" + QByteArray::number(freePort()) + "\r\n");
    f.station->linkManager().rateTimer().setInterval(
        0); // the rate tick falls into the connect pause
    f.station->start(QStringLiteral("127.0.0.1"));
    const QStringList lines = f.logLines();
    QCOMPARE(lines.filter(QStringLiteral(" Application Start")).size(), 1);
    QCOMPARE(lines.value(0), QStringLiteral("2026/12/07 10:00:00 Application Start_88888"));
    QCOMPARE(lines.value(1), QStringLiteral("2026/12/07 10:00:00 Offline_88888"));
}

void TestStartup::demoLinkIsForThisRunOnly()
{
    StationFixture f;
    f.writeFile(QStringLiteral("sys.txt"), "IP:10.0.0.9\r\nPort:1502\r\n");
    f.station->setStartLink(::LinkKind::TcpClient, QStringLiteral("40615"));
    f.station->start(QStringLiteral("127.0.0.1"));
    QCOMPARE(f.station->connectionPage().portField.text(), QStringLiteral("40615"));
    const QByteArray saved = f.readFile(QStringLiteral("sys.txt"));
    QVERIFY2(saved.contains("\r\nIP:10.0.0.9\r\nPort:1502\r\n"), saved.constData());
}

void TestStartup::titleAndEducateLock_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<int>("startMode"); // --mode; -1: none
    QTest::addColumn<QString>("mode");
    QTest::addColumn<bool>("locked");
    QTest::newRow("missing") << QByteArray() << -1 << "General" << false;
    QTest::newRow("engineer") << QByteArray("engineer Mode:1\r\n") << -1 << "Engineer" << false;
    QTest::newRow("educate") << QByteArray("engineer Mode:2\r\n") << -1 << "Educate" << true;
    QTest::newRow("unknown mode") << QByteArray("engineer Mode:9\r\n") << -1 << "General" << false;
    QTest::newRow("--mode educate over General")
        << QByteArray("engineer Mode:0\r\n") << 2 << "Educate" << true;
    QTest::newRow("--mode general over Educate")
        << QByteArray("engineer Mode:2\r\n") << 0 << "General" << false;
}

void TestStartup::titleAndEducateLock()
{
    QFETCH(QByteArray, settings);
    QFETCH(int, startMode);
    QFETCH(QString, mode);
    QFETCH(bool, locked);
    StationFixture f;
    if (!settings.isEmpty())
        f.writeFile(QStringLiteral("sys.txt"), settings);
    if (startMode >= 0)
        f.station->setStartMode(startMode);
    f.station->start(QString());
    Readout &readout = f.station->readout();
    Pages &pages = f.station->views().pages();
    ConnectionPage &connection = f.station->connectionPage();
    QCOMPARE(readout.windowTitle.text(),
             QStringLiteral("vORSA Early Warning System by Morvane Ver 1.22 - ") + mode);
    for (Control *page :
         {&pages.deviceGeneralTab, &pages.deviceConnectionTab, &pages.deviceSystemTab})
        QCOMPARE(page->isEnabled(), !locked);
    for (Control *setting :
         {&connection.serialOption, &connection.hostField, &connection.unitAddressField})
        QCOMPARE(setting->isEnabled(), !locked);
    // A mode chosen for one run leaves sys.txt's own.
    if (startMode >= 0)
        QVERIFY(f.readFile(QStringLiteral("sys.txt")).startsWith(settings));
}

// The Mode menu: locks come and go with Educate mode, and sys.txt keeps the choice.
void TestStartup::modeSwitchedInTheWindow()
{
    StationFixture f;
    f.station->setStartMode(1);
    f.station->start(QString());
    Readout &readout = f.station->readout();
    Pages &pages = f.station->views().pages();
    ConnectionPage &connection = f.station->connectionPage();
    f.station->setUserMode(2);
    QVERIFY(readout.windowTitle.text().endsWith(QStringLiteral(" - Educate")));
    QVERIFY(!pages.deviceSystemTab.isEnabled());
    QVERIFY(!connection.portField.isEnabled());
    QVERIFY(!connection.tcpServerOption.isEnabled());
    f.station->setUserMode(0);
    QVERIFY(readout.windowTitle.text().endsWith(QStringLiteral(" - General")));
    QVERIFY(pages.deviceSystemTab.isEnabled());
    QVERIFY(connection.portField.isEnabled());
    f.station->saveSettingsIfValid();
    QVERIFY(f.readFile(QStringLiteral("sys.txt")).startsWith("engineer Mode:0\r\n"));
}

void TestStartup::recordFolderCreatedAndSettingsRewritten()
{
    StationFixture f;
    QVERIFY(!QDir(f.file(QStringLiteral("RecCSV"))).exists());
    f.station->start(QString());
    QVERIFY(QDir(f.file(QStringLiteral("RecCSV"))).exists());
    QCOMPARE(f.station->recordFolder().path(), f.file(QStringLiteral("RecCSV")));
    QCOMPARE(f.station->recordFolder().selectedIndex(), -1);
    const QByteArray saved = f.readFile(QStringLiteral("sys.txt"));
    QVERIFY(saved.contains("Rec Path:" + f.file(QStringLiteral("RecCSV")).toUtf8() + "\r\n"));
}

void TestStartup::lastRecordFileSelected()
{
    StationFixture f;
    f.writeFile(QStringLiteral("RecCSV/240101083012_7.CSV"), "#StationCode:7\r\n");
    f.writeFile(QStringLiteral("RecCSV/M0101083012.csv"), "Time,a,b,c\r\n");
    f.writeFile(QStringLiteral("RecCSV/notes.txt"), "x");
    f.station->start(QString());
    const RecordFolder &dir = f.station->recordFolder();
    QCOMPARE(dir.files().size(), 2);
    QCOMPARE(dir.selectedFile(), QStringLiteral("M0101083012.csv"));
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
