#include "StationFixture.h"

#include <QTest>

// OK on the connection page as the whole station answers it: the page read into a link, the
// settings file, the pages shown, the device page's controls and the voice.
class TestConnectionPageStation : public QObject
{
    Q_OBJECT
private slots:
    void okOpensSerialPort();
    void badSlaveAddressOpensNothing_data();
    void badSlaveAddressOpensNothing();
    void recordModeAtOkLocksWrites();
    void engineerModeShowsControls();
    void selfTestSoundOnlyWithVoice();
    void pageEditsWaitForOk();
    void linkKindSelectedOnThePage();
    void startLinkChosenOnTheCommandLine_data();
    void startLinkChosenOnTheCommandLine();
    void serverWatchdogRunsFromStart();
};

namespace
{

const QStringList WritingButtons = {"loadDefaults",     "writeGeneral",     "writeSystem",
                                    "stageCalibration", "stageNtpServer",   "stageServers",
                                    "stageOwnAddress",  "commitOwnAddress", "commitCalibration",
                                    "commitNtpServer",  "commitServers"};

QList<Control *> writingButtons(StationFixture &f)
{
    DeviceWriteButtons &b = f.station->deviceSettings().controls().buttons;
    return {&b.loadDefaults,      &b.writeGeneral,    &b.writeSystem,     &b.stageCalibration,
            &b.stageNtpServer,    &b.stageServers,    &b.stageOwnAddress, &b.commitOwnAddress,
            &b.commitCalibration, &b.commitNtpServer, &b.commitServers};
}

} // namespace

void TestConnectionPageStation::okOpensSerialPort()
{
    StationFixture f;
    Pages &pages = f.station->views().pages();
    ConnectionPage &connection = f.station->connectionPage();
    connection.selectLinkKind(LinkKind::Rtu);
    connection.serialPortField.setText(QStringLiteral("3"));
    connection.serialSettingsField.setText(QStringLiteral("9600,N,8,1"));
    connection.unitAddressField.setText(QStringLiteral("1"));
    LiveFields &fields = f.station->readout().liveFields;
    fields.setVisible(236, true);
    f.station->openLink();
    QCOMPARE(f.links.actions.first(), QStringLiteral("open serial"));
    QCOMPARE(f.links.serial.openedWith.serialPort, QStringLiteral("/dev/ttyS2"));
    QCOMPARE(f.links.serial.openedWith.serialSettings, QStringLiteral("9600,N,8,1"));
    const QByteArray settings = f.readFile(QStringLiteral("sys.txt"));
    QVERIFY(settings.contains("COM:3\r\n"));
    QVERIFY(settings.contains("Baud:9600,N,8,1\r\n"));
    QVERIFY(!pages.hostPage.isVisible());
    QVERIFY(pages.liveView.isVisible());
    // A new link may reach a device of another firmware: what the last one offered is hidden.
    for (int i = 235; i <= 238; ++i)
        QVERIFY(!fields.isVisible(i));
}

void TestConnectionPageStation::badSlaveAddressOpensNothing_data()
{
    QTest::addColumn<QString>("address");
    QTest::newRow("256") << "256";
    QTest::newRow("negative") << "-1";
    QTest::newRow("255.5 rounds to 256") << "255.5";
}

void TestConnectionPageStation::badSlaveAddressOpensNothing()
{
    QFETCH(QString, address);
    StationFixture f;
    Pages &pages = f.station->views().pages();
    ConnectionPage &connection = f.station->connectionPage();
    connection.selectLinkKind(LinkKind::Rtu);
    connection.unitAddressField.setText(address);
    pages.hostPage.setVisible(true);
    f.station->openLink();
    QVERIFY(f.links.actions.isEmpty());
    QVERIFY(f.station->readout().statusLine.text().contains(address));
    QVERIFY(pages.hostPage.isVisible()); // the operator can correct it at once
    QVERIFY(!f.station->linkStatus().isOpen());
    QVERIFY(!f.station->poller().timer().isActive());
}

void TestConnectionPageStation::recordModeAtOkLocksWrites()
{
    StationFixture f;
    ConnectionPage &connection = f.station->connectionPage();
    connection.recordModeBox.setChecked(true);
    f.station->openLink();
    const QList<Control *> buttons = writingButtons(f);
    for (int b = 0; b < buttons.size(); ++b)
        QVERIFY2(!buttons[b]->isEnabled(), qPrintable(WritingButtons[b]));

    connection.recordModeBox.setChecked(false);
    f.station->openLink();
    for (int b = 0; b < buttons.size(); ++b)
        QVERIFY2(buttons[b]->isEnabled(), qPrintable(WritingButtons[b]));
}

void TestConnectionPageStation::engineerModeShowsControls()
{
    StationFixture f;
    Readout &readout = f.station->readout();
    ConnectionPage &connection = f.station->connectionPage();
    DevicePageControls &page = f.station->deviceSettings().controls();
    f.station->openLink();
    QVERIFY(!page.buttons.saveAsDefaults.isVisible());
    QVERIFY(!connection.tcpServerOption.isEnabled());

    f.station->setUserMode(1);
    f.station->openLink();
    for (Control *c : {&page.buttons.saveAsDefaults, &page.calibrationBlock, &readout.rateCaption,
                       &page.options.modbusTcpClient})
        QVERIFY(c->isVisible());
    for (int i : {5, 7, 39, 65, 167, 199, 200, 205, 207})
        QVERIFY2(readout.liveFields.isVisible(i), qPrintable(QString::number(i)));
    QVERIFY(connection.tcpServerOption.isEnabled());
}

void TestConnectionPageStation::selfTestSoundOnlyWithVoice()
{
    StationFixture f;
    ConnectionPage &connection = f.station->connectionPage();
    connection.voiceFileFields[0].setText(QStringLiteral("C:\\wav\\test.wav"));
    f.station->openLink();
    QVERIFY(f.sound.played.isEmpty());
    connection.voiceBox.setChecked(true);
    f.station->openLink();
    QCOMPARE(f.sound.played, QStringList{"C:\\wav\\test.wav"});
}

// Looking at and editing the page while a link runs costs no outage until OK.
void TestConnectionPageStation::pageEditsWaitForOk()
{
    StationFixture f;
    Pages &pages = f.station->views().pages();
    ConnectionPage &connection = f.station->connectionPage();
    f.station->openLink();
    f.links.actions.clear();
    f.station->showHostSettings();
    QVERIFY(f.links.actions.isEmpty());
    QVERIFY(f.station->poller().timer().isActive());
    QVERIFY(pages.hostPage.isVisible());
    QVERIFY(f.station->linkStatus().isOpen());

    connection.portField.setText(QStringLiteral("1502"));
    QVERIFY(f.links.actions.isEmpty()); // nothing applies before OK
    f.station->openLink();
    QCOMPARE(f.links.actions.value(0), QStringLiteral("open client"));
    QCOMPARE(f.links.client.openedWith.port, QStringLiteral("1502"));
    QVERIFY(!pages.hostPage.isVisible());
}

void TestConnectionPageStation::linkKindSelectedOnThePage()
{
    QTemporaryDir dir;
    const ProgramFolder folder(dir.path());
    ConnectionPage connection(folder);
    connection.showEngineeringControls(false);
    QVERIFY(!connection.tcpServerOption.isEnabled());
    connection.selectLinkKind(LinkKind::TcpServer);
    QVERIFY(connection.tcpServerOption.isChecked() && connection.tcpServerOption.isEnabled());
    QVERIFY(!connection.tcpClientOption.isChecked() && !connection.serialOption.isChecked());
    connection.selectLinkKind(LinkKind::Rtu);
    QVERIFY(connection.serialOption.isChecked() && !connection.tcpServerOption.isChecked());
}

void TestConnectionPageStation::startLinkChosenOnTheCommandLine_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QByteArray>("autoRun");
    QTest::addColumn<QString>("firstAction");
    QTest::newRow("rtu, Auto Run") << "rtu"
                                   << "" << QByteArray("1") << "open serial";
    QTest::newRow("server with an address") << "server"
                                            << "10.0.0.9" << QByteArray("0") << "open server";
    QTest::newRow("tcp, no address, no Auto Run") << "tcp"
                                                  << "" << QByteArray("0") << "";
}

void TestConnectionPageStation::startLinkChosenOnTheCommandLine()
{
    QFETCH(QString, kind);
    QFETCH(QString, address);
    QFETCH(QByteArray, autoRun);
    QFETCH(QString, firstAction);
    StationFixture f;
    f.writeFile(QStringLiteral("sys.txt"), "Port:502\r\nAuto Run:" + autoRun + "\r\n");
    f.station->setStartLink(linkKindFromName(kind), QStringLiteral("40123"));
    f.station->start(address);
    ConnectionPage &connection = f.station->connectionPage();
    QCOMPARE(connection.portField.text(), QStringLiteral("40123")); // over the settings file's
    QCOMPARE(connection.serialOption.isChecked(), kind == QLatin1String("rtu"));
    QCOMPARE(connection.tcpServerOption.isChecked(), kind == QLatin1String("server"));
    QCOMPARE(f.station->userMode(), 0);
    QCOMPARE(f.links.actions.value(0), firstAction);
}

// A device dialling in before any OK is guarded by the watchdog too.
void TestConnectionPageStation::serverWatchdogRunsFromStart()
{
    StationFixture f;
    QVERIFY(f.station->linkManager().serverWatchdog().isActive());
}

QTEST_GUILESS_MAIN(TestConnectionPageStation)
#include "tst_connectionpage_station.moc"
