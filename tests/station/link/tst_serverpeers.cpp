#include "DevicePackets.h"
#include "StationFixture.h"
#include "common/FieldNumbers.h"
#include "link/LinkManager.h"
#include "link/PeerAllowList.h"
#include "link/TcpServerLink.h"

#include <QTcpSocket>
#include <QTest>
#include <memory>

// Who may hold the server link: the allow-list of vorsa.ini, what is logged about each peer,
// and the silent squatter that the watchdog drops.
class TestServerPeers : public QObject
{
    Q_OBJECT
private slots:
    void allowList_data();
    void allowList();
    void onlyListedDeviceMovesFields();
    void refusalLoggedOncePerHour();
    void emptyListAdmitsAnyHostWithANote();
    void silentSquatterDroppedThenDeviceConnects();
};

namespace
{

std::unique_ptr<QTcpSocket> connectFrom(const QString &local, quint16 port)
{
    auto socket = std::make_unique<QTcpSocket>();
    if (!socket->bind(QHostAddress(local)))
        return nullptr;
    socket->connectToHost(QHostAddress::LocalHost, port);
    return socket->waitForConnected(3000) ? std::move(socket) : nullptr;
}

struct ServerRig {
    explicit ServerRig(const QByteArray &allowed)
    {
        if (!allowed.isNull())
            f.writeFile(QStringLiteral("vorsa.ini"),
                        "[ServerLink]\nAllowedPeers=" + allowed + "\n");
        port = f.useServerLinkOnFreePort();
        f.station->openLink();
        f.stopOneSecondTimers();
    }
    Readout &readout() { return f.station->readout(); }
    Station &station() { return *f.station; }
    TcpServerLink &server() { return *f.station->realServerLink(); }
    QStringList logWith(const QString &phrase) const { return f.logLines().filter(phrase); }

    StationFixture f{StationFixture::LinkKind::Real};
    quint16 port = 0;
};

QString peerOf(const QTcpSocket &socket)
{
    return QStringLiteral("%1:%2").arg(socket.localAddress().toString()).arg(socket.localPort());
}

} // namespace

void TestServerPeers::allowList_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("peer");
    QTest::addColumn<bool>("allowed");
    QTest::newRow("empty: any host") << ""
                                     << "203.0.113.9" << true;
    QTest::newRow("listed address") << "192.168.1.50, 10.20.0.0/16"
                                    << "192.168.1.50" << true;
    QTest::newRow("its neighbour") << "192.168.1.50, 10.20.0.0/16"
                                   << "192.168.1.51" << false;
    QTest::newRow("inside the network") << "192.168.1.50, 10.20.0.0/16"
                                        << "10.20.255.1" << true;
    QTest::newRow("next network") << "192.168.1.50, 10.20.0.0/16"
                                  << "10.21.0.1" << false;
    QTest::newRow("dual-stack readout of a listed address") << "127.0.0.1"
                                                            << "::ffff:127.0.0.1" << true;
    QTest::newRow("IPv6 network") << "fd00:1::/64"
                                  << "fd00:1::5" << true;
    QTest::newRow("outside the IPv6 network") << "fd00:1::/64"
                                              << "fd00:2::5" << false;
    QTest::newRow("IPv6 address, IPv4 peer") << "::1"
                                             << "127.0.0.1" << false;
    QTest::newRow("no address at all admits nobody") << "devicehost"
                                                     << "127.0.0.1" << false;
    QTest::newRow("prefix too long admits nobody") << "127.0.0.1/33"
                                                   << "127.0.0.1" << false;
    QTest::newRow("a bad entry beside a good one") << "bogus, 127.0.0.1"
                                                   << "127.0.0.1" << true;
    QTest::newRow("blanks and empty entries") << " , 127.0.0.1 ,,"
                                              << "127.0.0.1" << true;
}

void TestServerPeers::allowList()
{
    QFETCH(QString, list);
    QFETCH(QString, peer);
    QFETCH(bool, allowed);
    QCOMPARE(PeerAllowList::parse(list).allows(QHostAddress(peer)), allowed);
}

// 127.0.0.1 and 127.0.0.2 stand for two hosts.
void TestServerPeers::onlyListedDeviceMovesFields()
{
    ServerRig r("127.0.0.1");
    QVERIFY(r.server().isListening());
    QVERIFY(!r.f.station->connectionPage().anyHostNote.isVisible());
    const QByteArray quake = DevicePackets::streamPacket({{1, 3}});

    auto intruder = connectFrom(QStringLiteral("127.0.0.2"), r.port);
    QVERIFY(intruder);
    intruder->write(quake);
    QTRY_COMPARE(intruder->state(), QAbstractSocket::UnconnectedState);
    QVERIFY(!r.server().isOpen());
    QCOMPARE(r.readout().liveFields.text(Field::EventFlags), QStringLiteral("88888"));
    QCOMPARE(r.station().linkStatus().rejectedFrames(), qint64(0)); // never looked at
    QCOMPARE(r.logWith(QStringLiteral(" Connection refused from 127.0.0.2:")).size(), 1);

    auto device = connectFrom(QStringLiteral("127.0.0.1"), r.port);
    QVERIFY(device);
    QTRY_VERIFY(r.server().isOpen());
    QCOMPARE(r.f.station->linkStatus().peer(), peerOf(*device));
    device->write(quake);
    QTRY_COMPARE(r.readout().liveFields.text(Field::EventFlags), QStringLiteral("3"));
    QCOMPARE(r.logWith(QStringLiteral(" Device connected from ") + peerOf(*device)).size(), 1);
    QCOMPARE(r.logWith(QStringLiteral(" Device connected from ")).size(), 1);
}

void TestServerPeers::refusalLoggedOncePerHour()
{
    ServerRig r("127.0.0.1");
    const QString refused = QStringLiteral(" Connection refused from 127.0.0.2:");
    for (int attempt = 0; attempt < 3; ++attempt) {
        auto intruder = connectFrom(QStringLiteral("127.0.0.2"), r.port);
        QVERIFY(intruder);
        QTRY_COMPARE(intruder->state(), QAbstractSocket::UnconnectedState);
        r.f.clock.advanceSeconds(20 * 60);
    }
    QCOMPARE(r.logWith(refused).size(), 1);
    r.f.clock.advanceSeconds(1);
    auto intruder = connectFrom(QStringLiteral("127.0.0.2"), r.port);
    QVERIFY(intruder);
    QTRY_COMPARE(r.logWith(refused).size(), 2);
}

void TestServerPeers::emptyListAdmitsAnyHostWithANote()
{
    ServerRig r{QByteArray()};
    QVERIFY(r.f.station->connectionPage().anyHostNote.isVisible());
    auto other = connectFrom(QStringLiteral("127.0.0.2"), r.port);
    QVERIFY(other);
    QTRY_VERIFY(r.server().isOpen());
    QCOMPARE(r.f.station->linkStatus().peer(), peerOf(*other));
    other->disconnectFromHost();
    QTRY_COMPARE(r.f.station->linkStatus().peer(), QString());
}

// A connection that sends nothing the station accepts (silence, or bytes that are no packet)
// is dropped at the 21st second of the watchdog, and the real device gets the port.
void TestServerPeers::silentSquatterDroppedThenDeviceConnects()
{
    ServerRig r("127.0.0.0/8");
    auto squatter = connectFrom(QStringLiteral("127.0.0.2"), r.port);
    QVERIFY(squatter);
    QTRY_VERIFY(r.server().isOpen());
    const QString squatterPeer = peerOf(*squatter);
    for (int second = 1; second <= LinkManager::ServerSilenceLimit; ++second) {
        squatter->write(QByteArray(100, '\x55'));
        QTRY_COMPARE(r.station().linkStatus().rejectedFrames(), qint64(second));
        r.f.station->linkManager().onServerWatchdogTick();
    }
    QCOMPARE(squatter->state(), QAbstractSocket::ConnectedState);
    QVERIFY(r.logWith(QStringLiteral(" Silent connection dropped")).isEmpty());

    r.f.station->linkManager().onServerWatchdogTick();
    QTRY_COMPARE(squatter->state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(r.logWith(QStringLiteral(" Silent connection dropped from ") + squatterPeer).size(),
             1);
    QCOMPARE(r.f.station->linkStatus().peer(), QString());
    QVERIFY(r.server().isListening());
    QVERIFY(!r.station().linkManager().serverWatchdog().isActive());

    auto device = connectFrom(QStringLiteral("127.0.0.1"), r.port);
    QVERIFY(device);
    QTRY_COMPARE(r.f.station->linkStatus().peer(), peerOf(*device));
    QVERIFY(r.station().linkManager().serverWatchdog().isActive());
    QCOMPARE(r.station().linkManager().pollState().serverIdleSeconds, 0);
    device->write(DevicePackets::streamPacket({{1, 3}}));
    QTRY_COMPARE(r.readout().liveFields.text(Field::EventFlags), QStringLiteral("3"));
}

QTEST_GUILESS_MAIN(TestServerPeers)
#include "tst_serverpeers.moc"
