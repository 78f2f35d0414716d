#include "link/LinkSettings.h"
#include "link/LinkStatus.h"
#include "link/TcpClientLink.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

class TestTcpClientLink : public QObject
{
    Q_OBJECT
private slots:
    void carriesExactBytes();
    void requestLeavesAtOnce();
    void reopenClosesTheOldConnection();
    void portMustBeATcpPort();
};

namespace
{

// A client link connected to a listening stand-in for the device.
struct Rig {
    Rig()
    {
        device.listen(QHostAddress::LocalHost, 0);
        settings.host = QStringLiteral("127.0.0.1");
        settings.port = QString::number(device.serverPort());
    }
    QTcpSocket *connect()
    {
        link.open(settings);
        if (!QTest::qWaitFor([this] { return device.hasPendingConnections(); }, 3000))
            return nullptr;
        return device.nextPendingConnection();
    }
    LinkStatus status;
    TcpClientLink link{status};
    QTcpServer device;
    LinkSettings settings;
};

// The link writes from the event loop, so the loop runs while the peer reads.
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

const QByteArray Request = QByteArray::fromHex("00000000000601030063006b");

} // namespace

void TestTcpClientLink::carriesExactBytes()
{
    Rig r;
    QTcpSocket *peer = r.connect();
    QVERIFY(peer);
    QTRY_VERIFY(r.link.isOpen());
    r.link.send(Request);
    QCOMPARE(readFrom(*peer, Request.size()), Request);

    QSignalSpy bytes(&r.link, &DeviceLink::bytesReceived);
    const QByteArray answer(215, '\x5a');
    peer->write(answer);
    const auto received = [&] {
        QByteArray all;
        for (const QList<QVariant> &call : bytes)
            all += call.at(0).toByteArray();
        return all;
    };
    QTRY_COMPARE(received(), answer);
}

// The device's answer is what keeps the poll going: a request must not wait in the socket's
// buffer for the next turn of the event loop.
void TestTcpClientLink::requestLeavesAtOnce()
{
    Rig r;
    QTcpSocket *peer = r.connect();
    QVERIFY(peer);
    QTRY_VERIFY(r.link.isOpen());
    r.link.send(Request);
    // Waits on the peer's socket alone; the link's event loop does not run meanwhile.
    QByteArray got;
    while (got.size() < Request.size() && peer->waitForReadyRead(3000))
        got += peer->readAll();
    QCOMPARE(got, Request);
}

void TestTcpClientLink::reopenClosesTheOldConnection()
{
    Rig r;
    QTcpSocket *first = r.connect();
    QVERIFY(first);
    QSignalSpy reset(&r.link, &DeviceLink::reset);
    QVERIFY(r.connect());
    QCOMPARE(reset.count(), 1); // what was begun on the old connection is forgotten
    QTRY_COMPARE(first->state(), QAbstractSocket::UnconnectedState);
    QTRY_VERIFY(r.link.isOpen());
    r.link.close();
    QVERIFY(!r.link.isOpen());
    r.link.send(Request); // a closed link takes bytes without harm
}

void TestTcpClientLink::portMustBeATcpPort()
{
    Rig r;
    r.settings.port = QStringLiteral("70000");
    r.link.open(r.settings);
    QVERIFY(r.status.lastError().contains(QStringLiteral("70000")));
    QVERIFY(r.status.lastError().contains(QStringLiteral("127.0.0.1")));
    QVERIFY(!r.link.isOpen());
}

QTEST_GUILESS_MAIN(TestTcpClientLink)
#include "tst_tcpclientlink.moc"
