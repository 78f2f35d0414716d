#include "PtyPair.h"
#include "link/LinkSettings.h"
#include "link/LinkStatus.h"
#include "link/SerialLink.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

class TestSerialLink : public QObject
{
    Q_OBJECT
private slots:
    void openFailures_data();
    void openFailures();
    void settingsAndBytes();
    void bytesWaitForTheLineToSettle();
    void vanishedPortReopens();
};

namespace
{

LinkSettings serialSettings(const QString &port, const QString &text)
{
    LinkSettings settings;
    settings.kind = LinkKind::Rtu;
    settings.serialPort = port;
    settings.serialSettings = text;
    return settings;
}

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

QByteArray received(const QSignalSpy &spy)
{
    QByteArray all;
    for (const QList<QVariant> &call : spy)
        all += call.at(0).toByteArray();
    return all;
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

void TestSerialLink::openFailures_data()
{
    QTest::addColumn<bool>("realPort");
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("reason");
    QTest::newRow("no such port") << false << "19200,N,8,1"
                                  << "";
    QTest::newRow("bad settings") << true << "19200,N,9,1"
                                  << "data bits";
}

void TestSerialLink::openFailures()
{
    QFETCH(bool, realPort);
    QFETCH(QString, settings);
    QFETCH(QString, reason);
    PtyPair pty;
    QVERIFY(pty.isReady());
    const QString port = realPort ? pty.firstEnd() : QStringLiteral("/nonexistent/ttyVorsa");
    LinkStatus status;
    SerialLink link(status);
    QSignalSpy opened(&link, &SerialLink::openChanged);
    link.open(serialSettings(port, settings));
    QVERIFY(!link.isOpen());
    QCOMPARE(opened.count(), 0);
    const QString message = status.lastError();
    QVERIFY2(message.contains(port) && message.contains(reason), qPrintable(message));
    link.send("ignored"); // a closed port takes writes without harm
}

void TestSerialLink::settingsAndBytes()
{
    PtyPair pty;
    QVERIFY(pty.isReady());
    LinkStatus status;
    SerialLink link(status);
    link.open(serialSettings(pty.firstEnd(), QStringLiteral("38400,N,8,2")));
    QVERIFY(link.isOpen());

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
    QSignalSpy bytes(&link, &DeviceLink::bytesReceived);
    const QByteArray response = QByteArray::fromHex("0103ca") + QByteArray(202, '\x11');
    device.write(response);
    QTRY_COMPARE(received(bytes), response);

    const QByteArray poll = QByteArray::fromHex("01030063006575ff");
    link.send(poll);
    QCOMPARE(readFrom(device, poll.size()), poll);

    QSignalSpy reset(&link, &DeviceLink::reset);
    link.close();
    QCOMPARE(reset.count(), 1); // what the port held is gone
}

// Bytes are handed on once the line has been quiet for the settle time, without blocking:
// what arrives inside it goes with the first part.
void TestSerialLink::bytesWaitForTheLineToSettle()
{
    PtyPair pty;
    QVERIFY(pty.isReady());
    LinkStatus status;
    SerialLink link(status);
    link.open(serialSettings(pty.firstEnd(), QStringLiteral("19200,N,8,1")));
    QSerialPort device(pty.secondEnd());
    QVERIFY(device.open(QIODevice::ReadWrite));
    QSignalSpy bytes(&link, &DeviceLink::bytesReceived);
    QElapsedTimer sent;
    sent.start();
    device.write("first");
    device.waitForBytesWritten(1000);
    device.write("second");
    QTRY_COMPARE(bytes.count(), 1);
    QVERIFY(sent.elapsed() >= SerialLink::SettleMs);
    QTest::qWait(3 * SerialLink::SettleMs);
    QCOMPARE(received(bytes), QByteArray("firstsecond"));
}

void TestSerialLink::vanishedPortReopens()
{
    QTemporaryDir dir;
    PtyPair pty(dir.filePath(QStringLiteral("station")), dir.filePath(QStringLiteral("device")));
    QVERIFY(pty.isReady());
    LinkStatus status;
    SerialLink link(status);
    link.open(serialSettings(pty.firstEnd(), QStringLiteral("19200,N,8,1")));
    QVERIFY(link.isOpen());
    QSignalSpy openChanges(&link, &SerialLink::openChanged);

    pty.stop();
    QTRY_VERIFY(!link.isOpen());
    QVERIFY(link.isRetrying());
    QVERIFY(status.lastError().contains(pty.firstEnd()));
    QVERIFY(status.isSilent());
    // Closed, the port no longer reports errors on every turn of the event loop.
    const qint64 cpuBefore = cpuMs();
    QTest::qWait(300);
    QVERIFY2(cpuMs() - cpuBefore < 100, "the event loop spins on the vanished port");
    QCOMPARE(openChanges.count(), 1);

    link.retry(); // still gone
    QVERIFY(!link.isOpen());
    QVERIFY(pty.start());
    link.retry();
    QVERIFY(link.isOpen());
    QVERIFY(!link.isRetrying());
    QCOMPARE(openChanges.count(), 2);
    QCOMPARE(openChanges.last().at(0).toBool(), true);

    QSerialPort device(pty.secondEnd());
    QVERIFY(device.open(QIODevice::ReadWrite));
    QSignalSpy bytes(&link, &DeviceLink::bytesReceived);
    device.write("back");
    QTRY_COMPARE(received(bytes), QByteArray("back"));
}

QTEST_GUILESS_MAIN(TestSerialLink)
#include "tst_seriallink.moc"
