#include "LinkRig.h"
#include "common/FieldNumbers.h"

#include <QSignalSpy>
#include <QTest>
#include <optional>
#include <tuple>

class TestLinkManager : public QObject
{
    Q_OBJECT
private slots:
    void opensTheSerialLink();
    void opensTheSelectedLink_data();
    void opensTheSelectedLink();
    void tcpKindsUseAddressOne_data();
    void tcpKindsUseAddressOne();
    void recordModeAtOpening();
    void openingResetsPollLengthAndFirmwareField();
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
    void linkKeptUntilWhereItGoesChanges_data();
    void linkKeptUntilWhereItGoesChanges();
    void reconnectAndOpeningAreNotReentered();
    void linkKindByName();
};

void TestLinkManager::opensTheSerialLink()
{
    LinkRig r;
    LinkSettings wanted = r.settingsFor(LinkKind::Rtu);
    wanted.serialPort = QStringLiteral("/dev/ttyS2");
    wanted.serialSettings = QStringLiteral("9600,N,8,1");
    wanted.unitAddress = 1;
    r.poll().unitAddress = 0;
    QCOMPARE(r.manager.openLink(wanted), LinkManager::Opened::Reopened);
    QCOMPARE(r.links.actions, QStringList{"open serial"});
    QCOMPARE(r.links.serial.openedWith.serialPort, QStringLiteral("/dev/ttyS2"));
    QCOMPARE(r.links.serial.openedWith.serialSettings, QStringLiteral("9600,N,8,1"));
    QCOMPARE(r.poll().unitAddress, quint8(1));
    QVERIFY(r.manager.poller().timer().isActive());
    QVERIFY(r.manager.rateTimer().isActive());
    QVERIFY(r.status.isOpen());
    // The tick that opening runs at once asks the device straight away.
    QCOMPARE(r.links.serialWrites.value(0), QByteArray::fromHex("010300630065 75ff"));
}

void TestLinkManager::opensTheSelectedLink_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<int>("pauses");
    // A TCP link closes the other kind's and gives the connection time to come up.
    QTest::newRow("serial") << "rtu" << QStringList{"open serial"} << 0;
    QTest::newRow("client") << "tcp" << QStringList{"open client", "close server"} << 1;
    QTest::newRow("server") << "server" << QStringList{"open server", "close client"} << 1;
}

void TestLinkManager::opensTheSelectedLink()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, actions);
    QFETCH(int, pauses);
    LinkRig r;
    r.manager.openLink(r.settingsFor(*linkKindFromName(kind)));
    QCOMPARE(r.links.actions, actions);
    QCOMPARE(r.waiter.pauses.count(LinkManager::ConnectPauseMs), pauses);
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
    LinkRig r;
    r.manager.startServerWatchdog(); // as from start-up: the client link stops it
    LinkSettings wanted = r.settingsFor(*linkKindFromName(kind));
    wanted.unitAddress = 101;
    r.poll().unitAddress = 101;
    r.manager.openLink(wanted);
    QCOMPARE(r.poll().unitAddress, quint8(1));
    QCOMPARE(r.manager.serverWatchdog().isActive(), watchdogRuns);
    QVERIFY(r.manager.poller().timer().isActive());
    QCOMPARE(r.links.actions.count(opened), 1);
}

void TestLinkManager::recordModeAtOpening()
{
    LinkRig r;
    QSignalSpy applied(&r.manager, &LinkManager::recordModeApplied);
    r.links.client.opens = false; // no device: the fields keep what opening wrote
    LinkSettings wanted = r.settingsFor(LinkKind::TcpClient);
    wanted.recordMode = true;
    r.manager.openLink(wanted);
    QVERIFY(r.poll().recordMode);
    // What the stream refreshes starts from 0; what only a register read brings (the
    // device's own address, its Modbus address, the axis offsets) stays unread.
    for (int i : {0, 10, 11, 18, 39, 63, 80, 99, 100})
        QCOMPARE(r.fields.text(i), QStringLiteral("0"));
    for (int i : {5, 84, 88, 91, 94, 101})
        QCOMPARE(r.fields.text(i), QStringLiteral("88888"));
    QCOMPARE(applied.size(), 1);
    QCOMPARE(applied.takeFirst().value(0).toBool(), true);

    wanted.recordMode = false;
    r.manager.openLink(wanted);
    QVERIFY(!r.poll().recordMode);
    QCOMPARE(applied.size(), 1);
    QCOMPARE(applied.takeFirst().value(0).toBool(), false);
}

// Another device may answer a new link: the poll length and the firmware start over. A kept
// link keeps what its device told.
void TestLinkManager::openingResetsPollLengthAndFirmwareField()
{
    LinkRig r;
    r.poll().pollRegisters = 107;
    r.fields.setText(Field::FirmwareVersion, QStringLiteral("2095"));
    const LinkSettings client = r.settingsFor(LinkKind::TcpClient);
    QCOMPARE(r.manager.openLink(client), LinkManager::Opened::Reopened);
    QCOMPARE(r.poll().pollRegisters, 101);
    QCOMPARE(r.fields.text(Field::FirmwareVersion), QStringLiteral("0"));

    r.poll().pollRegisters = 107;
    r.fields.setText(Field::FirmwareVersion, QStringLiteral("2095"));
    QCOMPARE(r.manager.openLink(client), LinkManager::Opened::Kept);
    QCOMPARE(r.poll().pollRegisters, 107);
    QCOMPARE(r.fields.text(Field::FirmwareVersion), QStringLiteral("2095"));
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
    LinkRig r;
    r.poll().clientAnswers = packets;
    r.poll().clientAnswerSeen = true;
    r.manager.onRateTick();
    QCOMPARE(r.poll().clientAnswers, qint64(0));
    QCOMPARE(r.poll().clientAnswerSeen, packets > 0);
    QCOMPARE(r.status.isSilent(), packets == 0);
    QCOMPARE(r.status.dataPerSecond(), packets);
}

void TestLinkManager::onlineOfflineLoggedOncePerChange()
{
    LinkRig r;
    const QList<int> secondsOfPackets = {0, 0, 5, 7, 0, 0, 3};
    for (int packets : secondsOfPackets) {
        r.poll().clientAnswers = packets;
        r.manager.onRateTick();
        r.clock.advanceSeconds(1);
    }
    QCOMPARE(r.logged, (QStringList{"2026/12/07 10:00:00 Offline", "2026/12/07 10:00:02 Online",
                                    "2026/12/07 10:00:04 Offline", "2026/12/07 10:00:06 Online"}));
}

// A command's writes hold back what arrives meanwhile: no outage is shown or logged for it.
void TestLinkManager::aCommandsSecondsAreNotSilence()
{
    LinkRig r;
    r.poll().commandInProgress = true;
    for (int second = 0; second < 4; ++second)
        r.manager.onRateTick();
    QVERIFY(!r.status.isSilent());
    QVERIFY(r.logged.isEmpty());
    r.poll().commandInProgress = false;
    r.manager.onRateTick();
    QVERIFY(r.status.isSilent());
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
    LinkRig r;
    r.select(LinkKind::Rtu);
    r.poll().serialAnswers = events;
    r.poll().serialAnswerSeen = true;
    r.manager.onRateTick();
    QCOMPARE(r.poll().serialAnswers, 0);
    QCOMPARE(r.poll().serialAnswerSeen, events > 0);
    QCOMPARE(r.status.isSilent(), events == 0);
    QCOMPARE(r.status.dataPerSecond(), events);
    QVERIFY(r.logged.isEmpty()); // online and offline are the client link's entries
}

void TestLinkManager::serverShowsFullRate()
{
    LinkRig r;
    r.select(LinkKind::TcpServer);
    r.manager.onRateTick();
    QCOMPARE(r.status.dataPerSecond(), 100);
    QVERIFY(r.logged.isEmpty());
}

// Stream packets per second on the client link in Record mode: one or two silent seconds are
// jitter; the third turns the link offline.
void TestLinkManager::recordModeStreamRate()
{
    LinkRig r;
    LinkSettings wanted = r.settingsFor(LinkKind::TcpClient);
    wanted.recordMode = true;
    r.manager.openLink(wanted);
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
            ++r.poll().streamPackets;
        r.manager.onRateTick();
        QCOMPARE(r.status.dataPerSecond(), second.rate);
        QCOMPARE(r.status.isSilent(), second.silent);
        r.clock.advanceSeconds(1);
    }
    QVERIFY2(!r.poll().clientAnswerSeen, "the rate must not open the poll's gate");
    QCOMPARE(r.logged, (QStringList{"2026/12/07 10:00:00 Online", "2026/12/07 10:00:06 Offline",
                                    "2026/12/07 10:00:08 Online"}));
}

void TestLinkManager::serverWatchdogReArmsAfterTwentySilentSeconds()
{
    LinkRig r;
    r.manager.startServerWatchdog();
    r.links.serverConnected = true;
    for (int s = 1; s <= 20; ++s)
        r.manager.onServerWatchdogTick();
    QVERIFY(r.links.actions.isEmpty());
    QVERIFY(r.links.serverConnected);
    QVERIFY(r.manager.serverWatchdog().isActive());
    r.manager.onServerWatchdogTick();
    QCOMPARE(r.links.actions, QStringList{"open server"});
    QVERIFY(!r.manager.serverWatchdog().isActive());
    QCOMPARE(r.poll().serverIdleSeconds, 21);
}

void TestLinkManager::connectionRequests()
{
    LinkRig r;
    r.select(LinkKind::TcpServer);
    r.poll().serverIdleSeconds = 21;
    emit r.links.server.connectionRequested();
    QCOMPARE(r.links.actions, QStringList{"accept"});
    QCOMPARE(r.status.peer(), QStringLiteral("127.0.0.1:40001"));
    QCOMPARE(r.poll().serverIdleSeconds, 0);
    QVERIFY(r.manager.serverWatchdog().isActive());

    r.poll().serverIdleSeconds = 5;
    emit r.links.server.connectionRequested(); // a second device while connected
    QCOMPARE(r.links.actions, (QStringList{"accept", "refuse"}));
    QCOMPARE(r.poll().serverIdleSeconds, 5);
    QCOMPARE(r.logged,
             (QStringList{"2026/12/07 10:00:00 Device connected from 127.0.0.1:40001",
                          "2026/12/07 10:00:00 Connection refused from 127.0.0.1:40001"}));

    // Dialled in while another kind is selected: accepted, but no watchdog.
    r.select(LinkKind::TcpClient);
    r.manager.serverWatchdog().stop();
    r.links.serverConnected = false;
    emit r.links.server.connectionRequested();
    QCOMPARE(r.links.actions.last(), QStringLiteral("accept"));
    QVERIFY(!r.manager.serverWatchdog().isActive());
}

void TestLinkManager::linkKeptUntilWhereItGoesChanges_data()
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

// The page may be looked at and edited while a link runs: nothing applies before the next
// opening, and that one keeps the link unless where it goes changed.
void TestLinkManager::linkKeptUntilWhereItGoesChanges()
{
    QFETCH(QString, kind);
    QFETCH(QString, change);
    QFETCH(bool, reopened);
    LinkRig r;
    const LinkSettings running = r.settingsFor(*linkKindFromName(kind));
    r.manager.openLink(running);
    r.links.actions.clear();

    LinkSettings edited = running;
    if (change == QLatin1String("record"))
        edited.recordMode = true;
    else if (change == QLatin1String("port"))
        edited.port = QStringLiteral("1502");
    else if (change == QLatin1String("address"))
        edited.unitAddress = 9;
    else if (change == QLatin1String("server"))
        edited.kind = LinkKind::TcpServer;
    r.manager.followPage(edited);
    auto where = [](const LinkSettings &s) {
        return std::tie(s.kind, s.port, s.unitAddress, s.recordMode);
    };
    QVERIFY(where(r.settings) == where(running)); // nothing applies before the opening
    QVERIFY(r.links.actions.isEmpty());
    QVERIFY(r.manager.poller().timer().isActive());
    QVERIFY(r.status.isOpen());

    const LinkManager::Opened opened = r.manager.openLink(edited);
    QCOMPARE(opened == LinkManager::Opened::Reopened, reopened);
    const bool linkOpened = !r.links.actions.filter(QStringLiteral("open")).isEmpty();
    QVERIFY2(linkOpened == reopened, qPrintable(r.links.actions.join(", ")));
    QCOMPARE(r.poll().recordMode, change == QLatin1String("record"));
}

void TestLinkManager::reconnectAndOpeningAreNotReentered()
{
    LinkRig r;
    int calls = 0;
    r.waiter.duringPause = [&] {
        ++calls;
        r.manager.reconnectTcpLink(); // a poll tick finding the link still down
    };
    r.manager.reconnectTcpLink();
    QCOMPARE(calls, 1);
    QCOMPARE(r.waiter.pauses.size(), 1);
    r.manager.reconnectTcpLink(); // the guard is released afterwards
    QCOMPARE(r.waiter.pauses.size(), 2);
    QCOMPARE(r.links.actions.count(QStringLiteral("open client")), 2);

    // A second OK while the connection comes up is no new request.
    std::optional<LinkManager::Opened> second;
    const LinkSettings client = r.settingsFor(LinkKind::TcpClient);
    r.waiter.duringPause = [&] { second = r.manager.openLink(client); };
    QCOMPARE(r.manager.openLink(client), LinkManager::Opened::Reopened);
    QVERIFY(second == LinkManager::Opened::Busy);
    QCOMPARE(r.links.actions.count(QStringLiteral("open client")), 3);
    QVERIFY(!r.manager.isOpening());
}

void TestLinkManager::linkKindByName()
{
    QVERIFY(!linkKindFromName(QStringLiteral("modbus")));
    QVERIFY(!linkKindFromName(QStringLiteral("RTU")));
}

QTEST_GUILESS_MAIN(TestLinkManager)
#include "tst_linkmanager.moc"
