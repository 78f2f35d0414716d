#include "FreePort.h"
#include "link/LinkSettings.h"
#include "link/LinkStatus.h"
#include "link/TcpServerLink.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <memory>
#include <unistd.h>

class TestTcpServerLink : public QObject
{
    Q_OBJECT
private slots:
    void acceptedDeviceCarriesBytes();
    void refusedHostIsClosed();
    void closeDropsTheDeviceAndStopsListening();
    void listenFailure_data();
    void listenFailure();
    void privilegedPortReported();
};

namespace
{

struct Rig {
    Rig()
    {
        settings.kind = LinkKind::TcpServer;
        settings.serverPort = freePort();
        link.open(settings);
    }
    // A device connecting; the link is asked to answer it.
    std::unique_ptr<QTcpSocket> dial()
    {
        QSignalSpy asked(&link, &ServerLink::connectionRequested);
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QHostAddress::LocalHost, settings.serverPort);
        socket->waitForConnected(3000);
        return asked.wait(3000) || asked.count() > 0 ? std::move(socket) : nullptr;
    }
    LinkStatus status;
    TcpServerLink link{status};
    LinkSettings settings;
};

QByteArray readFrom(QIODevice &device, qsizetype count)
{
    QByteArray got;
    QDeadlineTimer deadline(3000);
    while (got.size() < count && !deadline.hasExpired()) {
        QTest::qWait(5);
        got += device.readAll();
    }
    return got;
}

} // namespace

void TestTcpServerLink::acceptedDeviceCarriesBytes()
{
    Rig r;
    QVERIFY(r.link.isListening());
    auto device = r.dial();
    QVERIFY(device);
    const ServerLink::Peer peer = r.link.pendingPeer();
    QCOMPARE(peer.port, device->localPort());
    QSignalSpy reset(&r.link, &DeviceLink::reset);
    r.link.accept();
    QVERIFY(r.link.isOpen());
    QCOMPARE(reset.count(), 1);
    QCOMPARE(r.link.peerAddress(), QStringLiteral("127.0.0.1"));

    QSignalSpy bytes(&r.link, &DeviceLink::bytesReceived);
    device->write(QByteArray(12, '\x01'));
    QTRY_COMPARE(bytes.count(), 1);
    QCOMPARE(bytes.at(0).at(0).toByteArray(), QByteArray(12, '\x01'));
    const QByteArray start = QByteArray::fromHex("000000000006010600c00001");
    r.link.send(start);
    QCOMPARE(readFrom(*device, start.size()), start);

    device->disconnectFromHost();
    QTRY_COMPARE(reset.count(), 2);
}

void TestTcpServerLink::refusedHostIsClosed()
{
    Rig r;
    auto intruder = r.dial();
    QVERIFY(intruder);
    r.link.refuse();
    QTRY_COMPARE(intruder->state(), QAbstractSocket::UnconnectedState);
    QVERIFY(!r.link.isOpen());
    QVERIFY(r.link.pendingPeer().address.isNull());
}

void TestTcpServerLink::closeDropsTheDeviceAndStopsListening()
{
    Rig r;
    auto device = r.dial();
    QVERIFY(device);
    r.link.accept();
    r.link.open(r.settings); // listening again drops the device held
    QTRY_COMPARE(device->state(), QAbstractSocket::UnconnectedState);
    QVERIFY(r.link.isListening());
    r.link.close();
    QVERIFY(!r.link.isListening());
    QVERIFY(!r.link.isOpen());
}

void TestTcpServerLink::listenFailure_data()
{
    QTest::addColumn<bool>("serverKind");
    // The watchdog re-arms the server link in every kind; only the server kind's failure is
    // the operator's business.
    QTest::newRow("client kind") << false;
    QTest::newRow("server kind") << true;
}

void TestTcpServerLink::listenFailure()
{
    QFETCH(bool, serverKind);
    QTcpServer occupant;
    QVERIFY(occupant.listen(QHostAddress::Any, 0));
    LinkStatus status;
    TcpServerLink link(status);
    LinkSettings settings;
    settings.kind = serverKind ? LinkKind::TcpServer : LinkKind::TcpClient;
    settings.serverPort = occupant.serverPort();
    link.open(settings);
    QVERIFY(!link.isListening());
    const QString message = status.lastError();
    QCOMPARE(message.contains(QString::number(occupant.serverPort())), serverKind);
    QCOMPARE(message.isEmpty(), !serverKind);
}

void TestTcpServerLink::privilegedPortReported()
{
    if (geteuid() == 0)
        QSKIP("root may listen on port 502");
    LinkStatus status;
    TcpServerLink link(status);
    LinkSettings settings;
    settings.kind = LinkKind::TcpServer;
    QCOMPARE(settings.serverPort, quint16(502));
    link.open(settings);
    const QString message = status.lastError();
    QVERIFY2(message.contains(QStringLiteral("502")), qPrintable(message));
    QVERIFY2(message.contains(QStringLiteral("cap_net_bind_service")), qPrintable(message));
}

QTEST_GUILESS_MAIN(TestTcpServerLink)
#include "tst_tcpserverlink.moc"
