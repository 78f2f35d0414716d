#include "link/DemoDevice.h"

#include <QDir>
#include <QFile>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

class TestDemoDevice : public QObject
{
    Q_OBJECT
private slots:
    void locate();
    void startsListensAndStops();
    void programThatNeverListens();
};

namespace
{

void makeExecutable(const QString &path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\n");
    f.close();
    f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
}

} // namespace

void TestDemoDevice::locate()
{
    QTemporaryDir tree;
    const QString stationDir = tree.filePath(QStringLiteral("station"));
    QDir().mkpath(stationDir);
    QVERIFY(DemoDevice::locate(stationDir).isEmpty());

    const QString built = tree.filePath(QStringLiteral("devsim/vorsa-devsim"));
    makeExecutable(built);
    QCOMPARE(DemoDevice::locate(stationDir), QFileInfo(built).canonicalFilePath());

    const QString installed = tree.filePath(QStringLiteral("station/vorsa-devsim"));
    makeExecutable(installed);
    QCOMPARE(DemoDevice::locate(stationDir), QFileInfo(installed).canonicalFilePath());
}

void TestDemoDevice::startsListensAndStops()
{
    DemoDevice demo;
    QString error;
    QVERIFY2(demo.start(QStringLiteral(DEVSIM_PROGRAM), &error), qPrintable(error));
    QVERIFY(demo.port() != 0);

    // It answers a read of the live registers: 101 registers, byte count 202.
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), demo.port());
    QVERIFY(socket.waitForConnected(3000));
    socket.write(QByteArray::fromHex("000000000006010300630065"));
    QByteArray answer;
    while (answer.size() < 211 && socket.waitForReadyRead(3000))
        answer += socket.readAll();
    QCOMPARE(answer.size(), 211);
    QCOMPARE(quint8(answer.at(8)), quint8(202));

    demo.stop();
    QVERIFY(!demo.isRunning());
    QVERIFY(socket.state() == QAbstractSocket::UnconnectedState ||
            socket.waitForDisconnected(3000));
}

void TestDemoDevice::programThatNeverListens()
{
    QTemporaryDir dir;
    const QString fake = dir.filePath(QStringLiteral("vorsa-devsim"));
    makeExecutable(fake);
    QFile f(fake);
    QVERIFY(f.open(QIODevice::Append));
    f.write("echo 'no scenario' >&2\nexit 2\n");
    f.close();
    DemoDevice demo;
    QString error;
    QVERIFY(!demo.start(fake, &error));
    QCOMPARE(error, QStringLiteral("no scenario"));
    QVERIFY(!demo.isRunning());
}

QTEST_GUILESS_MAIN(TestDemoDevice)
#include "tst_demodevice.moc"
