#include "StationFixture.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestLinkManager : public QObject
{
    Q_OBJECT
private slots:
    void okOpensSerialPort();
    void okOpensTheSelectedLink_data();
    void okOpensTheSelectedLink();
    void tcpKindsUseAddressOne_data();
    void tcpKindsUseAddressOne();
    void badSlaveAddressOpensNothing_data();
    void badSlaveAddressOpensNothing();
    void recordModeAtOk();
    void engineerModeShowsControls();
    void okResetsPollLengthAndFirmwareField();
    void selfTestSoundOnlyWithVoice();
    void clientRate_data();
    void clientRate();
    void onlineOfflineLoggedOncePerChange();
    void aCommandsSecondsAreNotSilence();
    void serialRate_data();
    void serialRate();
    void serverShowsFullRate();
    void recordModeStreamRate();
    void serverWatchdogReArmsAfterTwentySilentSeconds();
    void connectionRequests();
    void systemHostKeepsTheLinkUntilOk_data();
    void systemHostKeepsTheLinkUntilOk();
    void reconnectIsNotReentered();
    void linkKindByName();
    void startLinkChosenOnTheCommandLine_data();
    void startLinkChosenOnTheCommandLine();
};

namespace
{

LinkManager &manager(StationFixture &f)
{
    return f.station->linkManager();
}
Readout &readoutOf(StationFixture &f)
{
    return f.station->readout();
}
PollState &pollOf(StationFixture &f)
{
    return f.station->linkManager().pollState();
}
const LinkStatus &statusOf(StationFixture &f)
{
    return f.station->linkStatus();
}

void select(ConnectionPage &connection, Control &option)
{
    for (Control *o :
         {&connection.serialOption, &connection.tcpClientOption, &connection.tcpServerOption})
        o->setChecked(o == &option);
}

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

// A waiter whose pause runs something, as a timer or a receive handler would inside it.
class ReentrantWaiter : public FakeWaiter
{
public:
    void pause(int ms) override
    {
        FakeWaiter::pause(ms);
        if (auto during = std::exchange(duringPause, nullptr))
            during();
    }
    std::function<void()> duringPause;
};

} // namespace

void TestLinkManager::okOpensSerialPort()
{
    StationFixture f;
    Pages &pages = f.station->views().pages();
    ConnectionPage &connection = f.station->connectionPage();
    select(connection, connection.serialOption);
    connection.serialPortField.setText(QStringLiteral("3"));
    connection.serialSettingsField.setText(QStringLiteral("9600,N,8,1"));
    connection.unitAddressField.setText(QStringLiteral("1"));
    pollOf(f).unitAddress = 0;
    f.station->openLink();
    QCOMPARE(f.links.actions.first(), QStringLiteral("open serial"));
    QCOMPARE(f.links.serial.openedWith.serialPort, QStringLiteral("/dev/ttyS2"));
    QCOMPARE(f.links.serial.openedWith.serialSettings, QStringLiteral("9600,N,8,1"));
    QCOMPARE(pollOf(f).unitAddress, quint8(1));
    QVERIFY(manager(f).poller().timer().isActive());
    QVERIFY(manager(f).rateTimer().isActive());
    const QByteArray settings = f.readFile(QStringLiteral("sys.txt"));
    QVERIFY(settings.contains("COM:3\r\n"));
    QVERIFY(settings.contains("Baud:9600,N,8,1\r\n"));
    QVERIFY(!pages.hostPage.isVisible());
    QVERIFY(statusOf(f).isOpen());
    QVERIFY(pages.liveView.isVisible());
    // The tick that OK runs at once asks the device straight away.
    QCOMPARE(f.links.serialWrites.value(0), QByteArray::fromHex("010300630065 75ff"));
}

void TestLinkManager::okOpensTheSelectedLink_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<int>("pauses");
    // A TCP link closes the other kind's and gives the connection time to come up.
    QTest::newRow("serial") << "rtu" << QStringList{"open serial"} << 0;
    QTest::newRow("client") << "tcp" << QStringList{"open client", "close server"} << 1;
    QTest::newRow("server") << "server" << QStringList{"open server", "close client"} << 1;
}

void TestLinkManager::okOpensTheSelectedLink()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, actions);
    QFETCH(int, pauses);
    StationFixture f;
    f.station->connectionPage().selectLinkKind(*linkKindFromName(kind));
    f.station->openLink();
    QCOMPARE(f.links.actions, actions);
    QCOMPARE(f.waiter.pauses.count(LinkManager::ConnectPauseMs), pauses);
}

void TestLinkManager::tcpKindsUseAddressOne_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("watchdogRuns");
    QTest::addColumn<QString>("opened");
    QTest::newRow("client") << "tcp" << false << "open client";
    QTest::newRow("server") << "server" << true << "open server";
}

void TestLinkManager::tcpKindsUseAddressOne()
{
    QFETCH(QString, kind);
    QFETCH(bool, watchdogRuns);
    QFETCH(QString, opened);
    StationFixture f;
    ConnectionPage &connection = f.station->connectionPage();
    f.station->connectionPage().selectLinkKind(*linkKindFromName(kind));
    connection.unitAddressField.setText(QStringLiteral("101"));
    pollOf(f).unitAddress = 101;
    f.station->openLink();
    QCOMPARE(pollOf(f).unitAddress, quint8(1));
    QCOMPARE(manager(f).serverWatchdog().isActive(), watchdogRuns);
    QVERIFY(manager(f).poller().timer().isActive());
    QCOMPARE(f.links.actions.count(opened), 1);
}

void TestLinkManager::badSlaveAddressOpensNothing_data()
{
    QTest::addColumn<QString>("address");
    QTest::newRow("256") << "256";
    QTest::newRow("negative") << "-1";
    QTest::newRow("255.5 rounds to 256") << "255.5";
}

void TestLinkManager::badSlaveAddressOpensNothing()
{
    QFETCH(QString, address);
    StationFixture f;
    Readout &readout = readoutOf(f);
    Pages &pages = f.station->views().pages();
    ConnectionPage &connection = f.station->connectionPage();
    select(connection, connection.serialOption);
    connection.unitAddressField.setText(address);
    pages.hostPage.setVisible(true);
    f.station->openLink();
    QVERIFY(f.links.actions.isEmpty());
    QVERIFY(readout.statusLine.text().contains(address));
    QVERIFY(pages.hostPage.isVisible()); // the operator can correct it at once
    QVERIFY(!statusOf(f).isOpen());
    QVERIFY(!manager(f).poller().timer().isActive());
}

void TestLinkManager::recordModeAtOk()
{
    StationFixture f;
    Readout &readout = readoutOf(f);
    ConnectionPage &connection = f.station->connectionPage();
    f.links.client.opens = false; // no device: the fields keep what OK wrote
    connection.recordModeBox.setChecked(true);
    f.station->openLink();
    QVERIFY(pollOf(f).recordMode);
    // What the stream refreshes starts from 0; what only a register read brings (the
    // device's own address, its Modbus address, the axis offsets) stays unread.
    for (int i : {0, 10, 11, 18, 39, 63, 80, 99, 100})
        QCOMPARE(readout.liveFields.text(i), QStringLiteral("0"));
    for (int i : {5, 84, 88, 91, 94, 101})
        QCOMPARE(readout.liveFields.text(i), QStringLiteral("88888"));
    const QList<Control *> buttons = writingButtons(f);
    for (int b = 0; b < buttons.size(); ++b)
        QVERIFY2(!buttons[b]->isEnabled(), qPrintable(WritingButtons[b]));

    connection.recordModeBox.setChecked(false);
    f.station->openLink();
    QVERIFY(!pollOf(f).recordMode);
    for (int b = 0; b < buttons.size(); ++b)
        QVERIFY2(buttons[b]->isEnabled(), qPrintable(WritingButtons[b]));
}

void TestLinkManager::engineerModeShowsControls()
{
    StationFixture f;
    Readout &readout = readoutOf(f);
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

void TestLinkManager::okResetsPollLengthAndFirmwareField()
{
    StationFixture f;
    Readout &readout = readoutOf(f);
    pollOf(f).pollRegisters = 107;
    readout.liveFields.setText(99, QStringLiteral("2095"));
    readout.liveFields.setVisible(236, true);
    f.station->openLink();
    QCOMPARE(pollOf(f).pollRegisters, 101);
    QCOMPARE(readout.liveFields.text(99), QStringLiteral("0"));
    for (int i = 235; i <= 238; ++i)
        QVERIFY(!readout.liveFields.isVisible(i));
}

void TestLinkManager::selfTestSoundOnlyWithVoice()
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

void TestLinkManager::clientRate_data()
{
    QTest::addColumn<int>("packets");
    QTest::newRow("37") << 37;
    QTest::newRow("100") << 100;
    QTest::newRow("150") << 150;
    QTest::newRow("silent") << 0;
}

void TestLinkManager::clientRate()
{
    QFETCH(int, packets);
    StationFixture f;
    pollOf(f).clientAnswers = packets;
    pollOf(f).clientAnswerSeen = true;
    manager(f).onRateTick();
    QCOMPARE(pollOf(f).clientAnswers, qint64(0));
    QCOMPARE(pollOf(f).clientAnswerSeen, packets > 0);
    QCOMPARE(statusOf(f).isSilent(), packets == 0);
    QCOMPARE(statusOf(f).dataPerSecond(), packets);
}

void TestLinkManager::onlineOfflineLoggedOncePerChange()
{
    StationFixture f;
    const QList<int> secondsOfPackets = {0, 0, 5, 7, 0, 0, 3};
    for (int packets : secondsOfPackets) {
        pollOf(f).clientAnswers = packets;
        manager(f).onRateTick();
        f.clock.advanceSeconds(1);
    }
    const QStringList lines = f.logLines();
    QCOMPARE(lines.size(), 4);
    QVERIFY(lines[0].startsWith(QStringLiteral("2026/12/07 10:00:00 Offline")));
    QVERIFY(lines[1].startsWith(QStringLiteral("2026/12/07 10:00:02 Online")));
    QVERIFY(lines[2].startsWith(QStringLiteral("2026/12/07 10:00:04 Offline")));
    QVERIFY(lines[3].startsWith(QStringLiteral("2026/12/07 10:00:06 Online")));
}

// A command's writes hold back what arrives meanwhile: no outage is shown or logged for it.
void TestLinkManager::aCommandsSecondsAreNotSilence()
{
    StationFixture f;
    pollOf(f).commandInProgress = true;
    for (int second = 0; second < 4; ++second)
        manager(f).onRateTick();
    QVERIFY(!statusOf(f).isSilent());
    QVERIFY(f.logLines().isEmpty());
    pollOf(f).commandInProgress = false;
    manager(f).onRateTick();
    QVERIFY(statusOf(f).isSilent());
}

void TestLinkManager::serialRate_data()
{
    QTest::addColumn<int>("events");
    QTest::newRow("silent") << 0;
    QTest::newRow("20") << 20;
    QTest::newRow("50") << 50;
}

void TestLinkManager::serialRate()
{
    QFETCH(int, events);
    StationFixture f;
    ConnectionPage &connection = f.station->connectionPage();
    select(connection, connection.serialOption);
    pollOf(f).serialAnswers = events;
    pollOf(f).serialAnswerSeen = true;
    manager(f).onRateTick();
    QCOMPARE(pollOf(f).serialAnswers, 0);
    QCOMPARE(pollOf(f).serialAnswerSeen, events > 0);
    QCOMPARE(statusOf(f).isSilent(), events == 0);
    QCOMPARE(statusOf(f).dataPerSecond(), events);
    QVERIFY(f.logLines().isEmpty()); // online and offline are the client link's entries
}

void TestLinkManager::serverShowsFullRate()
{
    StationFixture f;
    ConnectionPage &connection = f.station->connectionPage();
    select(connection, connection.tcpServerOption);
    manager(f).onRateTick();
    QCOMPARE(statusOf(f).dataPerSecond(), 100);
    QVERIFY(f.logLines().isEmpty());
}

// Stream packets per second on the client link in Record mode: one or two silent seconds are
// jitter; the third turns the link offline.
void TestLinkManager::recordModeStreamRate()
{
    StationFixture f;
    ConnectionPage &connection = f.station->connectionPage();
    select(connection, connection.tcpClientOption);
    pollOf(f).recordMode = true;
    struct Second {
        int packets;
        int rate;
        bool silent;
    };
    const QList<Second> seconds = {
        {1, 100, false}, {0, 100, false}, {0, 100, false}, {2, 200, false}, {0, 200, false},
        {0, 200, false}, {0, 0, true},    {0, 0, true},    {1, 100, false},
    };
    for (const Second &second : seconds) {
        for (int p = 0; p < second.packets; ++p)
            ++pollOf(f).streamPackets;
        manager(f).onRateTick();
        QCOMPARE(statusOf(f).dataPerSecond(), second.rate);
        QCOMPARE(statusOf(f).isSilent(), second.silent);
        f.clock.advanceSeconds(1);
    }
    QVERIFY2(!pollOf(f).clientAnswerSeen, "the rate must not open the poll's gate");
    const QStringList lines = f.logLines();
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines[0].startsWith(QStringLiteral("2026/12/07 10:00:00 Online")));
    QVERIFY(lines[1].startsWith(QStringLiteral("2026/12/07 10:00:06 Offline")));
    QVERIFY(lines[2].startsWith(QStringLiteral("2026/12/07 10:00:08 Online")));
}

void TestLinkManager::serverWatchdogReArmsAfterTwentySilentSeconds()
{
    StationFixture f;
    QVERIFY(manager(f).serverWatchdog().isActive()); // runs from start
    f.links.serverConnected = true;
    for (int s = 1; s <= 20; ++s)
        manager(f).onServerWatchdogTick();
    QVERIFY(f.links.actions.isEmpty());
    QVERIFY(f.links.serverConnected);
    manager(f).onServerWatchdogTick();
    QCOMPARE(f.links.actions, QStringList{"open server"});
    QVERIFY(!manager(f).serverWatchdog().isActive());
    QCOMPARE(pollOf(f).serverIdleSeconds, 21);
}

void TestLinkManager::connectionRequests()
{
    StationFixture f;
    ConnectionPage &connection = f.station->connectionPage();
    select(connection, connection.tcpServerOption);
    manager(f).serverWatchdog().stop();
    pollOf(f).serverIdleSeconds = 21;
    emit f.links.server.connectionRequested();
    QCOMPARE(f.links.actions, QStringList{"accept"});
    QCOMPARE(pollOf(f).serverIdleSeconds, 0);
    QVERIFY(manager(f).serverWatchdog().isActive());

    pollOf(f).serverIdleSeconds = 5;
    emit f.links.server.connectionRequested(); // a second device while connected
    QCOMPARE(f.links.actions, (QStringList{"accept", "refuse"}));
    QCOMPARE(pollOf(f).serverIdleSeconds, 5);

    // Dialled in while another kind is selected: accepted, but no watchdog.
    select(connection, connection.tcpClientOption);
    manager(f).serverWatchdog().stop();
    f.links.serverConnected = false;
    emit f.links.server.connectionRequested();
    QVERIFY(!manager(f).serverWatchdog().isActive());
}

void TestLinkManager::systemHostKeepsTheLinkUntilOk_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("reopened");
    QTest::newRow("serial, nothing changed") << "rtu"
                                             << "" << false;
    QTest::newRow("client, nothing changed") << "tcp"
                                             << "" << false;
    QTest::newRow("server, nothing changed") << "server"
                                             << "" << false;
    QTest::newRow("client, Record mode only") << "tcp"
                                              << "record" << false;
    QTest::newRow("client, another port") << "tcp"
                                          << "port" << true;
    QTest::newRow("serial, another slave address") << "rtu"
                                                   << "address" << true;
    QTest::newRow("client to server") << "tcp"
                                      << "server" << true;
}

void TestLinkManager::systemHostKeepsTheLinkUntilOk()
{
    QFETCH(QString, kind);
    QFETCH(QString, change);
    QFETCH(bool, reopened);
    StationFixture f;
    Pages &pages = f.station->views().pages();
    ConnectionPage &connection = f.station->connectionPage();
    f.station->connectionPage().selectLinkKind(*linkKindFromName(kind));
    f.station->openLink();
    f.links.actions.clear();
    f.station->showHostSettings();
    QVERIFY(f.links.actions.isEmpty());
    QVERIFY(manager(f).poller().timer().isActive());
    QVERIFY(pages.hostPage.isVisible());
    QVERIFY(statusOf(f).isOpen());

    if (change == QLatin1String("record"))
        connection.recordModeBox.setChecked(true);
    else if (change == QLatin1String("port"))
        connection.portField.setText(QStringLiteral("1502"));
    else if (change == QLatin1String("address"))
        connection.unitAddressField.setText(QStringLiteral("9"));
    else if (change == QLatin1String("server"))
        f.station->connectionPage().selectLinkKind(LinkKind::TcpServer);
    QVERIFY(f.links.actions.isEmpty()); // nothing applies before OK
    f.station->openLink();
    const bool opened = !f.links.actions.filter(QStringLiteral("open")).isEmpty();
    QVERIFY2(opened == reopened, qPrintable(f.links.actions.join(", ")));
    QCOMPARE(manager(f).pollState().recordMode, change == QLatin1String("record"));
    QVERIFY(!pages.hostPage.isVisible());
}

void TestLinkManager::reconnectIsNotReentered()
{
    QTemporaryDir dir;
    ProgramFolder folder(dir.path());
    LiveFields fields;
    Control statusLine;
    LinkSettings settings;
    LinkStatus status;
    FakeLinks links;
    ReentrantWaiter waiter;
    FakeClock clock;
    LinkManager manager(fields, statusLine, settings, status, links.serial, links.client,
                        links.server, waiter, clock, folder);
    int calls = 0;
    waiter.duringPause = [&] {
        ++calls;
        manager.reconnectTcpLink(); // a poll tick finding the link still down
    };
    manager.reconnectTcpLink();
    QCOMPARE(calls, 1);
    QCOMPARE(waiter.pauses.size(), 1);
    manager.reconnectTcpLink(); // the guard is released afterwards
    QCOMPARE(waiter.pauses.size(), 2);
    QCOMPARE(links.actions.count(QStringLiteral("open client")), 2);
}

void TestLinkManager::linkKindByName()
{
    StationFixture f;
    ConnectionPage &connection = f.station->connectionPage();
    QVERIFY(!linkKindFromName(QStringLiteral("modbus")));
    QVERIFY(!linkKindFromName(QStringLiteral("RTU")));
    f.station->connectionPage().selectLinkKind(LinkKind::TcpServer);
    QVERIFY(connection.tcpServerOption.isChecked() && connection.tcpServerOption.isEnabled());
    QVERIFY(!connection.tcpClientOption.isChecked() && !connection.serialOption.isChecked());
    f.station->connectionPage().selectLinkKind(LinkKind::Rtu);
    QVERIFY(connection.serialOption.isChecked() && !connection.tcpServerOption.isChecked());
}

void TestLinkManager::startLinkChosenOnTheCommandLine_data()
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

void TestLinkManager::startLinkChosenOnTheCommandLine()
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

QTEST_GUILESS_MAIN(TestLinkManager)
#include "tst_linkmanager.moc"
