#include "DevsimProcess.h"
#include "Scenario.h"

#include <QTcpServer>
#include <QTemporaryDir>

#include <QtTest>
#include <cmath>

namespace
{

bool acceptable(const QByteArray &packet)
{
    return packet.size() == 1200 && quint8(packet[0]) == 1 && quint8(packet[2]) <= 8 &&
           quint8(packet[5]) == 7;
}

// Reads stream packets until the echo of `request` turns up; false when it never does.
bool skipToEcho(QTcpSocket &socket, const QByteArray &request)
{
    for (int i = 0; i < 100; ++i) {
        const QByteArray head = readExactly(socket, 12);
        if (head == request)
            return true;
        if (head.size() != 12 || readExactly(socket, 1188).size() != 1188)
            return false;
    }
    return false;
}

devsim::Sample sampleFrom(const QByteArray &packet, int s)
{
    const int at = 200 + 10 * s;
    return {qint16(littleWord(packet, at)), qint16(littleWord(packet, at + 2)),
            qint16(littleWord(packet, at + 4)), qint16(littleWord(packet, at + 6)),
            qint16(littleWord(packet, at + 8))};
}

bool sameSample(const devsim::Sample &x, const devsim::Sample &y)
{
    return x.a == y.a && x.b == y.b && x.c == y.c && x.pd == y.pd && x.disp == y.disp;
}

bool packetIsSecond(const QByteArray &packet, quint64 seed, const devsim::Scenario &sc, int second)
{
    for (int s = 0; s < 100; ++s)
        if (!sameSample(sampleFrom(packet, s), devsim::sampleAt(seed, sc, second * 100 + s)))
            return false;
    return true;
}

} // namespace

class TestDevsimTcp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void readsTheLiveRegisterBlock_data();
    void readsTheLiveRegisterBlock();
    void refusesWhatTheDeviceDoesNotHave_data();
    void refusesWhatTheDeviceDoesNotHave();
    void stagedWriteWaitsForItsCommit();
    void clockIsSetByFunction16AndCommit();
    void alarmOutputsShowInTheIoWord();
    void streamRunsUntilStopped();
    void streamStaysOnItsConnection();
    void splitFaultSendsTwoPieces();
    void streamFollowsItsScenario_data();
    void streamFollowsItsScenario();
    void faultsBreakTheAnswer_data();
    void faultsBreakTheAnswer();
    void dialsInAndRedialsWhenDropped();
    void endsCleanlyOnSigterm();
    void nonModbusBytesCloseTheConnection();
    void answersAfterItsAnsweringTime();

private:
    QTemporaryDir recordings_;
};

void TestDevsimTcp::readsTheLiveRegisterBlock_data()
{
    QTest::addColumn<int>("firmware");
    QTest::addColumn<int>("count");
    QTest::newRow("first poll, 101 registers") << 2095 << 101;
    QTest::newRow("firmware above 2094 reads 107") << 2095 << 107;
    QTest::newRow("old firmware") << 2026 << 101;
}

void TestDevsimTcp::readsTheLiveRegisterBlock()
{
    QFETCH(int, firmware);
    QFETCH(int, count);
    DevsimProcess devsim({"--firmware", QString::number(firmware), "--serial", "4321"});
    QVERIFY(devsim.isReady());
    auto socket = devsim.connect();
    QVERIFY(socket);
    socket->write(tcpRequest(3, 99, quint16(count)));
    const QByteArray answer = readExactly(*socket, 9 + 2 * count);
    QCOMPARE(answer.size(), 9 + 2 * count);
    QCOMPARE(bigWord(answer, 0), quint16(1)); // transaction echoed
    QCOMPARE(bigWord(answer, 4), quint16(3 + 2 * count));
    QCOMPARE(quint8(answer[7]), quint8(3));
    QCOMPARE(quint8(answer[8]), quint8(2 * count));
    QCOMPARE(bigWord(answer, 9 + 2 * 99), quint16(firmware));
    QCOMPARE(bigWord(answer, 9 + 2 * 100), quint16(4321));
    const quint16 year = bigWord(answer, 9 + 2 * 47);
    QVERIFY2(year >= 2020 && year <= 2047, qPrintable(QString::number(year)));
    QVERIFY(readAvailableWithin(*socket, 100).isEmpty()); // nothing after the answer
}

void TestDevsimTcp::refusesWhatTheDeviceDoesNotHave_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("expectedPdu");
    QTest::newRow("unknown function") << tcpRequest(4, 99, 1) << QByteArray("\x84\x01", 2);
    QTest::newRow("read of no register") << tcpRequest(3, 99, 0) << QByteArray("\x83\x03", 2);
    QTest::newRow("read of 126 registers") << tcpRequest(3, 99, 126) << QByteArray("\x83\x03", 2);
    QTest::newRow("read past the map") << tcpRequest(3, 990, 20) << QByteArray("\x83\x02", 2);
    QTest::newRow("write to a live value") << tcpRequest(6, 100, 5) << QByteArray("\x86\x02", 2);
    QTest::newRow("unknown commit code") << tcpRequest(6, 112, 77) << QByteArray("\x86\x03", 2);
    QTest::newRow("stream value 2") << tcpRequest(6, 192, 2) << QByteArray("\x86\x03", 2);
    QTest::newRow("function 16 count mismatch")
        << QByteArray("\x00\x01\x00\x00\x00\x09\x01\x10\x00\x98\x00\x02\x02\x07\xEA", 15)
        << QByteArray("\x90\x03", 2);
}

void TestDevsimTcp::refusesWhatTheDeviceDoesNotHave()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, expectedPdu);
    DevsimProcess devsim({});
    QVERIFY(devsim.isReady());
    auto socket = devsim.connect();
    QVERIFY(socket);
    socket->write(request);
    const QByteArray answer = readExactly(*socket, 9);
    QCOMPARE(answer.size(), 9);
    QCOMPARE(bigWord(answer, 4), quint16(3));
    QCOMPARE(answer.mid(7), expectedPdu);
    // The connection survives a refused request.
    QCOMPARE(readRegisters(*socket, 198, 1), QList<quint16>{2095});
}

void TestDevsimTcp::stagedWriteWaitsForItsCommit()
{
    DevsimProcess devsim({});
    QVERIFY(devsim.isReady());
    auto socket = devsim.connect();
    QVERIFY(socket);
    const QList<quint16> before = readRegisters(*socket, 113, 1);
    QCOMPARE(before.size(), 1);
    const quint16 changed = quint16(before[0] + 1);
    QVERIFY(writeRegister(*socket, 113, changed));
    QCOMPARE(readRegisters(*socket, 113, 1), before);
    QVERIFY(writeRegister(*socket, 112, 2));
    QCOMPARE(readRegisters(*socket, 113, 1), QList<quint16>{changed});
    QCOMPARE(readRegisters(*socket, 112, 1), QList<quint16>{0}); // a command, not a setting
}

void TestDevsimTcp::clockIsSetByFunction16AndCommit()
{
    DevsimProcess devsim({});
    QVERIFY(devsim.isReady());
    auto socket = devsim.connect();
    QVERIFY(socket);
    const QByteArray request = tcpRequest16(152, {2030, 6, 15, 12, 34, 56});
    socket->write(request);
    const QByteArray answer = readExactly(*socket, 12);
    QCOMPARE(answer.size(), 12);
    QCOMPARE(answer.mid(7), request.mid(7, 5));
    QVERIFY(readRegisters(*socket, 146, 1) != QList<quint16>{2030});
    QVERIFY(writeRegister(*socket, 112, 8));
    const QList<quint16> now = readRegisters(*socket, 146, 6);
    QCOMPARE(now.mid(0, 5), (QList<quint16>{2030, 6, 15, 12, 34}));
    QVERIFY2(now[5] == 56 || now[5] == 57, qPrintable(QString::number(now[5])));
}

void TestDevsimTcp::alarmOutputsShowInTheIoWord()
{
    DevsimProcess devsim({"--scenario", "quiet"});
    QVERIFY(devsim.isReady());
    auto socket = devsim.connect();
    QVERIFY(socket);
    QVERIFY(writeRegister(*socket, 118, 3));
    QCOMPARE(readRegisters(*socket, 118, 1), QList<quint16>{3});
    QVERIFY(writeRegister(*socket, 118, 0));
    QCOMPARE(readRegisters(*socket, 118, 1), QList<quint16>{0});
}

void TestDevsimTcp::streamRunsUntilStopped()
{
    DevsimProcess devsim({"--speed", "20"});
    QVERIFY(devsim.isReady());
    auto socket = devsim.connect();
    QVERIFY(socket);
    QVERIFY(writeRegister(*socket, 192, 1));
    for (int i = 0; i < 3; ++i) {
        const QByteArray packet = readExactly(*socket, 1200);
        QVERIFY2(acceptable(packet), qPrintable(QString("packet %1").arg(i)));
    }
    const QByteArray stop = tcpRequest(6, 192, 0);
    socket->write(stop);
    QVERIFY(skipToEcho(*socket, stop));
    // At 20 simulated seconds per second, a running stream would deliver several packets here.
    QVERIFY(readAvailableWithin(*socket, 300).isEmpty());
}

void TestDevsimTcp::streamStaysOnItsConnection()
{
    DevsimProcess devsim({"--speed", "20"});
    QVERIFY(devsim.isReady());
    auto streaming = devsim.connect();
    auto polling = devsim.connect();
    QVERIFY(streaming && polling);
    QVERIFY(writeRegister(*streaming, 192, 1));
    QVERIFY(acceptable(readExactly(*streaming, 1200)));
    QCOMPARE(readRegisters(*polling, 99, 101).size(), 101);
    QVERIFY(readAvailableWithin(*polling, 200).isEmpty());
}

void TestDevsimTcp::splitFaultSendsTwoPieces()
{
    DevsimProcess devsim({"--speed", "20", "--fault", "split"});
    QVERIFY(devsim.isReady());
    auto socket = devsim.connect();
    QVERIFY(socket);
    socket->write(tcpRequest(3, 99, 101));
    QVERIFY(socket->waitForReadyRead(3000));
    QVERIFY(socket->bytesAvailable() < 211);
    QCOMPARE(readExactly(*socket, 211).size(), 211);

    QVERIFY(writeRegister(*socket, 192, 1));
    if (socket->bytesAvailable() == 0) // the first piece may have come with the echo
        QVERIFY(socket->waitForReadyRead(3000));
    QVERIFY(socket->bytesAvailable() < 1200);
    QVERIFY(acceptable(readExactly(*socket, 1200)));
}

void TestDevsimTcp::initTestCase()
{
    QVERIFY(recordings_.isValid());
    QFile file(recordings_.filePath("event.CSV"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#StationCode:1\r\n#SampleRate(Hz): 100\r\n");
    for (int k = 0; k < 3000; ++k) {
        const bool shaking = k >= 1000 && k < 1500;
        const double a = shaking ? 40 * std::sin(2 * M_PI * k / 50.0) : 0.0598 * (k % 3);
        const double pd = (k >= 1000 && k < 1200) ? 0.25 : 0;
        file.write(QString::asprintf("%10.2f,%10.3f,%10.3f,%10.3f,%10.3f,%10.3f\r\n", k * 0.01, a,
                                     0.0, 0.0598, pd, 0.0)
                       .toLatin1());
    }
}

void TestDevsimTcp::streamFollowsItsScenario_data()
{
    QTest::addColumn<QString>("scenarioName");
    QTest::addColumn<quint64>("seed");
    QTest::addColumn<int>("endSecond");
    QTest::addColumn<QList<int>>("flagChanges");
    QTest::newRow("quake") << "quake" << quint64(7) << 45 << QList<int>{0, 2, 6, 7, 6, 4, 0};
    QTest::newRow("replay") << recordings_.filePath("event.CSV") << quint64(1) << 30
                            << QList<int>{0, 6, 4, 0};
}

void TestDevsimTcp::streamFollowsItsScenario()
{
    QFETCH(QString, scenarioName);
    QFETCH(quint64, seed);
    QFETCH(int, endSecond);
    QFETCH(QList<int>, flagChanges);
    devsim::Scenario scenario;
    std::string error;
    QVERIFY(devsim::makeScenario(scenarioName.toStdString(), false, scenario, error));
    DevsimProcess devsim(
        {"--scenario", scenarioName, "--seed", QString::number(seed), "--speed", "50"});
    QVERIFY(devsim.isReady());
    auto socket = devsim.connect();
    QVERIFY(socket);
    QVERIFY(writeRegister(*socket, 192, 1));
    QByteArray packet = readExactly(*socket, 1200);
    int second = 0;
    while (second < 20 && !packetIsSecond(packet, seed, scenario, second))
        ++second;
    QVERIFY2(second < 20, "first packet matches no second of the scenario");

    QList<int> flagsSeen;
    int heldIntensity = 0; // the device keeps an event's intensity after its flags drop
    for (; second < endSecond; ++second) {
        QVERIFY2(acceptable(packet), qPrintable(QString("second %1").arg(second)));
        QVERIFY2(packetIsSecond(packet, seed, scenario, second),
                 qPrintable(QString("samples of second %1").arg(second)));
        const devsim::EventStatus st = devsim::statusAt(scenario, second * 100 + 99);
        QCOMPARE(int(littleWord(packet, 2)), st.flags);
        if (st.flags != 0)
            heldIntensity = st.intensity;
        QCOMPARE(int(littleWord(packet, 54)), heldIntensity);
        if (flagsSeen.isEmpty() || flagsSeen.last() != st.flags)
            flagsSeen << st.flags;
        packet = readExactly(*socket, 1200);
    }
    QCOMPARE(flagsSeen, flagChanges);
}

void TestDevsimTcp::faultsBreakTheAnswer_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("bytesBeforeClose"); // -1: the connection stays open
    QTest::addColumn<bool>("answered");
    QTest::newRow("drop") << "drop" << -1 << false;
    QTest::newRow("stall") << "stall" << -1 << false;
    QTest::newRow("garbage") << "garbage" << -1 << true;
    QTest::newRow("close after 100") << "close-after=100" << 100 << true;
    QTest::newRow("close at once") << "close-after=0" << 0 << false;
}

void TestDevsimTcp::faultsBreakTheAnswer()
{
    QFETCH(QString, fault);
    QFETCH(int, bytesBeforeClose);
    QFETCH(bool, answered);
    DevsimProcess devsim({"--fault", fault});
    QVERIFY(devsim.isReady());
    auto socket = devsim.connect();
    QVERIFY(socket);
    socket->write(tcpRequest(3, 99, 101));
    const QByteArray got = readExactly(*socket, 211, 500);
    QCOMPARE(!got.isEmpty(), answered);
    if (bytesBeforeClose >= 0) {
        QCOMPARE(got.size(), bytesBeforeClose);
        QTRY_COMPARE_WITH_TIMEOUT(socket->state(), QAbstractSocket::UnconnectedState, 2000);
        return;
    }
    QCOMPARE(socket->state(), QAbstractSocket::ConnectedState);
    if (answered) {
        QCOMPARE(got.size(), 211);
        QVERIFY(got.left(9) != QByteArray("\x00\x01\x00\x00\x00\xCD\x01\x03\xCA", 9));
    }
}

void TestDevsimTcp::dialsInAndRedialsWhenDropped()
{
    QTcpServer station;
    QVERIFY(station.listen(QHostAddress::LocalHost));
    DevsimProcess devsim({"--dial", QString("127.0.0.1:%1").arg(station.serverPort())},
                         "dialling ");
    QVERIFY(devsim.isReady());
    QVERIFY(station.waitForNewConnection(3000));
    std::unique_ptr<QTcpSocket> link(station.nextPendingConnection());
    QCOMPARE(readRegisters(*link, 198, 1), QList<quint16>{2095});
    link->abort();
    QVERIFY(station.waitForNewConnection(3000));
    link.reset(station.nextPendingConnection());
    QCOMPARE(readRegisters(*link, 198, 1), QList<quint16>{2095});
}

void TestDevsimTcp::endsCleanlyOnSigterm()
{
    DevsimProcess devsim({"--speed", "20"});
    QVERIFY(devsim.isReady());
    auto socket = devsim.connect();
    QVERIFY(socket);
    QVERIFY(writeRegister(*socket, 192, 1));
    QCOMPARE(devsim.terminate(), 0);
}

void TestDevsimTcp::nonModbusBytesCloseTheConnection()
{
    DevsimProcess devsim({});
    QVERIFY(devsim.isReady());
    auto socket = devsim.connect();
    QVERIFY(socket);
    socket->write("GET / HTTP/1.0\r\n\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(socket->state(), QAbstractSocket::UnconnectedState, 2000);
    auto next = devsim.connect();
    QVERIFY(next);
    QCOMPARE(readRegisters(*next, 198, 1), QList<quint16>{2095});
}

void TestDevsimTcp::answersAfterItsAnsweringTime()
{
    // Only the lower bound is checked: an answer can be late on a busy machine, never early.
    DevsimProcess devsim({"--latency", "150"});
    QVERIFY(devsim.isReady());
    auto socket = devsim.connect();
    QVERIFY(socket);
    QElapsedTimer elapsed;
    elapsed.start();
    socket->write(tcpRequest(3, 99, 101));
    const QByteArray answer = readExactly(*socket, 9 + 2 * 101);
    QCOMPARE(answer.size(), 9 + 2 * 101);
    QVERIFY2(elapsed.elapsed() >= 140, qPrintable(QString::number(elapsed.elapsed())));
}

QTEST_GUILESS_MAIN(TestDevsimTcp)
#include "tst_devsim_tcp.moc"
