#include "Fakes.h"
#include "FreePort.h"
#include "PtyPair.h"
#include "StationFixture.h"
#include "common/Form.h"
#include "link/Links.h"

#include <QSerialPort>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

class TestLinks : public QObject
{
    Q_OBJECT
private slots:
    void clientCarriesExactBytes();
    void clientRequestLeavesAtOnce();
    void clientReconnectClosesTheOldConnection();
    void connectIsNotReentered();
    void clientPortMustBeATcpPort();
    void serverLinkOneDeviceAtATime();
    void serverReArmsAfterTwentySilentSeconds();
    void serverPortInUseReported();
    void privilegedServerPortReported();
    void serialOpenFailures_data();
    void serialOpenFailures();
    void serialPortSettingsAndBytes();
    void vanishedSerialPortReopens();
};

namespace
{

struct Rig {
    Rig() { form.txtIP.setText(QStringLiteral("127.0.0.1")); }
    Form form;
    FakeWaiter waiter;
    Links links{form, waiter};
};

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

std::unique_ptr<QTcpSocket> connectDevice(quint16 port)
{
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QHostAddress::LocalHost, port);
    socket->waitForConnected(3000);
    return socket;
}

// The station's side writes from the event loop, so the loop runs while the peer reads.
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

// CPU time this process has used, in ms.
qint64 cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

} // namespace

void TestLinks::clientCarriesExactBytes()
{
    Rig r;
    QTcpServer device;
    QVERIFY(device.listen(QHostAddress::LocalHost, 0));
    r.form.txtPort.setText(QString::number(device.serverPort()));
    r.links.ConnectTcpLink();
    QCOMPARE(r.waiter.pauses, QList<int>{Links::ConnectPauseMs});
    QTRY_VERIFY(r.links.isClientConnected());
    QTRY_VERIFY(device.hasPendingConnections());
    QTcpSocket *peer = device.nextPendingConnection();

    const QByteArray request = QByteArray::fromHex("00000000000601030063006b");
    r.links.sendClient(request);
    QCOMPARE(readFrom(*peer, request.size()), request);

    QSignalSpy bytes(&r.links, &Links::clientBytes);
    const QByteArray answer(215, '\x5a');
    peer->write(answer);
    QByteArray got;
    QTRY_COMPARE((got =
                      [&] {
                          QByteArray all;
                          for (const QList<QVariant> &call : bytes)
                              all += call.at(0).toByteArray();
                          return all;
                      }()),
                 answer);
}

// The device's answer is what keeps the poll going: a request must not wait in the socket's
// buffer for the next turn of the event loop.
void TestLinks::clientRequestLeavesAtOnce()
{
    Rig r;
    QTcpServer device;
    QVERIFY(device.listen(QHostAddress::LocalHost, 0));
    r.form.txtPort.setText(QString::number(device.serverPort()));
    r.links.ConnectTcpLink();
    QTRY_VERIFY(r.links.isClientConnected());
    QTRY_VERIFY(device.hasPendingConnections());
    QTcpSocket *peer = device.nextPendingConnection();

    const QByteArray request = QByteArray::fromHex("00000000000601030063006b");
    r.links.sendClient(request);
    // Waits on the peer's socket alone; the station's event loop does not run meanwhile.
    QByteArray got;
    while (got.size() < request.size() && peer->waitForReadyRead(3000))
        got += peer->readAll();
    QCOMPARE(got, request);
}

void TestLinks::clientReconnectClosesTheOldConnection()
{
    Rig r;
    QTcpServer device;
    QVERIFY(device.listen(QHostAddress::LocalHost, 0));
    r.form.txtPort.setText(QString::number(device.serverPort()));
    r.links.ConnectTcpLink();
    QTRY_VERIFY(device.hasPendingConnections());
    QTcpSocket *first = device.nextPendingConnection();
    QSignalSpy reset(&r.links, &Links::clientLinkReset);
    r.links.ConnectTcpLink();
    QCOMPARE(reset.count(), 1); // what was begun on the old connection is forgotten
    QTRY_COMPARE(first->state(), QAbstractSocket::UnconnectedState);
    QTRY_VERIFY(device.hasPendingConnections());
    QTRY_VERIFY(r.links.isClientConnected());
    r.links.closeClient();
    QVERIFY(!r.links.isClientConnected());
}

void TestLinks::connectIsNotReentered()
{
    Form form;
    form.txtIP.setText(QStringLiteral("127.0.0.1"));
    form.txtPort.setText(QString::number(freePort()));
    ReentrantWaiter waiter;
    Links links(form, waiter);
    int calls = 0;
    waiter.duringPause = [&] {
        ++calls;
        links.ConnectTcpLink(); // a poll tick finding the link still down
    };
    links.ConnectTcpLink();
    QCOMPARE(calls, 1);
    QCOMPARE(waiter.pauses.size(), 1);
    links.ConnectTcpLink(); // the guard is released afterwards
    QCOMPARE(waiter.pauses.size(), 2);
}

void TestLinks::clientPortMustBeATcpPort()
{
    Rig r;
    r.form.txtPort.setText(QStringLiteral("70000"));
    r.links.ConnectTcpLink();
    QVERIFY(r.form.statusLine.text().contains(QStringLiteral("70000")));
    QVERIFY(r.form.statusLine.text().contains(QStringLiteral("127.0.0.1")));
    QVERIFY(!r.links.isClientConnected());
}

void TestLinks::serverLinkOneDeviceAtATime()
{
    StationFixture f(StationFixture::LinkKind::Real);
    Form &form = f.station->form();
    Links &links = *f.station->realLinks();
    const quint16 port = f.useServerLinkOnFreePort();
    f.station->linkManager().ConnectTcpLink();
    QVERIFY(links.isServerListening());

    form.serverIdleSeconds = 9;
    auto device = connectDevice(port);
    QTRY_VERIFY(links.isServerConnected());
    QCOMPARE(form.serverIdleSeconds, 0);
    QCOMPARE(links.serverPeerAddress(), QStringLiteral("127.0.0.1"));

    auto second = connectDevice(port);
    QTRY_COMPARE(second->state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(device->state(), QAbstractSocket::ConnectedState);

    QSignalSpy bytes(&links, &Links::serverBytes);
    device->write(QByteArray(12, '\x01'));
    QTRY_COMPARE(bytes.count(), 1);
    QCOMPARE(bytes.at(0).at(0).toByteArray(), QByteArray(12, '\x01'));
    const QByteArray start = QByteArray::fromHex("000000000006010600c00001");
    links.sendServer(start);
    QCOMPARE(readFrom(*device, start.size()), start);
}

void TestLinks::serverReArmsAfterTwentySilentSeconds()
{
    StationFixture f(StationFixture::LinkKind::Real);
    Form &form = f.station->form();
    Links &links = *f.station->realLinks();
    const quint16 port = f.useServerLinkOnFreePort();
    f.station->openLink();
    auto device = connectDevice(port);
    QTRY_VERIFY(links.isServerConnected());
    QSignalSpy reset(&links, &Links::serverLinkReset);

    for (int second = 1; second <= LinkManager::ServerSilenceLimit; ++second)
        f.station->linkManager().tmr_scksvr_Timer();
    QTest::qWait(20);
    QCOMPARE(device->state(), QAbstractSocket::ConnectedState);
    QVERIFY(links.isServerConnected());

    f.station->linkManager().tmr_scksvr_Timer();
    QTRY_COMPARE(device->state(), QAbstractSocket::UnconnectedState);
    QVERIFY(!links.isServerConnected());
    QVERIFY(links.isServerListening());
    QCOMPARE(reset.count(), 1);
    QVERIFY(!form.tmr_scksvr.isActive());

    auto again = connectDevice(port);
    QTRY_VERIFY(links.isServerConnected());
    QVERIFY(form.tmr_scksvr.isActive());
    QCOMPARE(form.serverIdleSeconds, 0);
}

void TestLinks::serverPortInUseReported()
{
    Rig r;
    QTcpServer occupant;
    QVERIFY(occupant.listen(QHostAddress::Any, 0));
    r.links.setServerPort(occupant.serverPort());
    r.links.rearmServer(); // the watchdog in another link kind: no message
    QVERIFY(!r.links.isServerListening());
    QVERIFY(r.form.statusLine.text().isEmpty());

    r.form.optTCP.setChecked(false);
    r.form.optTCP_svr.setChecked(true);
    r.links.rearmServer();
    QVERIFY(!r.links.isServerListening());
    QVERIFY2(r.form.statusLine.text().contains(QString::number(occupant.serverPort())),
             qPrintable(r.form.statusLine.text()));
}

void TestLinks::privilegedServerPortReported()
{
    if (geteuid() == 0)
        QSKIP("root may listen on port 502");
    Rig r;
    r.form.optTCP.setChecked(false);
    r.form.optTCP_svr.setChecked(true);
    QCOMPARE(r.links.serverPort(), quint16(502));
    r.links.ConnectTcpLink();
    const QString status = r.form.statusLine.text();
    QVERIFY2(status.contains(QStringLiteral("502")), qPrintable(status));
    QVERIFY2(status.contains(QStringLiteral("cap_net_bind_service")), qPrintable(status));
}

void TestLinks::serialOpenFailures_data()
{
    QTest::addColumn<bool>("realPort");
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("reason");
    QTest::newRow("no such port") << false << "19200,N,8,1"
                                  << "";
    QTest::newRow("bad settings") << true << "19200,N,9,1"
                                  << "data bits";
}

void TestLinks::serialOpenFailures()
{
    QFETCH(bool, realPort);
    QFETCH(QString, settings);
    QFETCH(QString, reason);
    PtyPair pty;
    QVERIFY(pty.isReady());
    const QString port = realPort ? pty.firstEnd() : QStringLiteral("/nonexistent/ttyVorsa");
    Rig r;
    QSignalSpy opened(&r.links, &Links::serialOpenChanged);
    QVERIFY(!r.links.openSerial(port, settings));
    QVERIFY(!r.links.isSerialOpen());
    QCOMPARE(opened.count(), 0);
    const QString status = r.form.statusLine.text();
    QVERIFY2(status.contains(port) && status.contains(reason), qPrintable(status));
    r.links.writeSerial("ignored"); // a closed port takes writes without harm
    QCOMPARE(r.links.serialBytesWaiting(), 0);
}

void TestLinks::serialPortSettingsAndBytes()
{
    PtyPair pty;
    QVERIFY(pty.isReady());
    Rig r;
    QVERIFY(r.links.openSerial(pty.firstEnd(), QStringLiteral("38400,N,8,2")));

    const int fd =
        ::open(pty.firstEnd().toLocal8Bit().constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    QVERIFY(fd >= 0);
    termios tio{};
    QCOMPARE(tcgetattr(fd, &tio), 0);
    ::close(fd);
    QCOMPARE(cfgetospeed(&tio), speed_t(B38400));
    // A pty keeps the speed and the stop bits; it forces 8 data bits without parity.
    QCOMPARE(tio.c_cflag & CSIZE, tcflag_t(CS8));
    QVERIFY(tio.c_cflag & CSTOPB);

    QSerialPort device(pty.secondEnd());
    QVERIFY(device.open(QIODevice::ReadWrite));
    QSignalSpy ready(&r.links, &Links::serialReadyRead);
    const QByteArray response = QByteArray::fromHex("0103ca") + QByteArray(202, '\x11');
    device.write(response);
    QTRY_COMPARE(r.links.serialBytesWaiting(), qint64(response.size()));
    QVERIFY(ready.count() >= 1);
    QCOMPARE(r.links.readSerial(), response);
    QCOMPARE(r.links.serialBytesWaiting(), 0);

    const QByteArray poll = QByteArray::fromHex("01030063006575ff");
    r.links.writeSerial(poll);
    QCOMPARE(readFrom(device, poll.size()), poll);
}

void TestLinks::vanishedSerialPortReopens()
{
    QTemporaryDir dir;
    PtyPair pty(dir.filePath(QStringLiteral("station")), dir.filePath(QStringLiteral("device")));
    QVERIFY(pty.isReady());
    Rig r;
    QVERIFY(r.links.openSerial(pty.firstEnd(), QStringLiteral("19200,N,8,1")));
    QSignalSpy openChanges(&r.links, &Links::serialOpenChanged);

    pty.stop();
    QTRY_VERIFY(!r.links.isSerialOpen());
    QVERIFY(r.links.isSerialRetrying());
    QVERIFY(r.form.statusLine.text().contains(pty.firstEnd()));
    QCOMPARE(r.form.formBackColor.backColor(), QColor(255, 0, 0));
    // Closed, the port no longer reports errors on every turn of the event loop.
    const qint64 cpuBefore = cpuMs();
    QTest::qWait(300);
    QVERIFY2(cpuMs() - cpuBefore < 100, "the event loop spins on the vanished port");
    QCOMPARE(openChanges.count(), 1);

    r.links.retrySerial(); // still gone
    QVERIFY(!r.links.isSerialOpen());
    QVERIFY(pty.start());
    r.links.retrySerial();
    QVERIFY(r.links.isSerialOpen());
    QVERIFY(!r.links.isSerialRetrying());
    QCOMPARE(openChanges.count(), 2);
    QCOMPARE(openChanges.last().at(0).toBool(), true);

    QSerialPort device(pty.secondEnd());
    QVERIFY(device.open(QIODevice::ReadWrite));
    device.write("back");
    QTRY_COMPARE(r.links.serialBytesWaiting(), qint64(4));
}

QTEST_GUILESS_MAIN(TestLinks)
#include "tst_links.moc"
