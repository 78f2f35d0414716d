#include "DecoderRig.h"
#include "DevicePackets.h"

#include <QTest>

using namespace DevicePackets;

// The serial link: an RTU response is taken when the whole of it is waiting, decoded with the
// serial link's sign, and answered with the next read.
class TestSerialReceive : public QObject
{
    Q_OBJECT
private slots:
    void frameAcceptance_data();
    void frameAcceptance();
    void accelerationSign_data();
    void accelerationSign();
    void longestPollFillsMountingAngle();
    void commandInProgressLeavesThePortAlone();
    void displayStepsRunOnDroppedFrames();
    void partOfAResponseWaitsForTheRest();
};

void TestSerialReceive::frameAcceptance_data()
{
    QTest::addColumn<QByteArray>("waiting");
    QTest::addColumn<bool>("read");
    QTest::addColumn<bool>("decoded");
    const QByteArray good = rtuResponse(101, {{1, 0x03E8}});
    const auto changed = [&good](int at, int byte) {
        QByteArray p = good;
        p[at] = char(byte);
        return p;
    };
    QByteArray wrongFunction = changed(1, 4);
    ModbusFrames::ModbusCrc16(wrongFunction, int(wrongFunction.size()) - 1);
    QTest::newRow("207 bytes, byte 2 = 202") << good << true << true;
    QTest::newRow("another address") << rtuResponse(101, {{1, 0x03E8}}, 7) << true << false;
    QTest::newRow("function 4, its own CRC") << wrongFunction << true << false;
    QTest::newRow("CRC low byte off") << changed(205, quint8(good[205]) ^ 1) << true << false;
    QTest::newRow("CRC high byte off") << changed(206, quint8(good[206]) ^ 0x80) << true << false;
    QTest::newRow("a data bit off") << changed(50, quint8(good[50]) ^ 4) << true << false;
    QTest::newRow("208 bytes: one stray byte") << good + QByteArray(1, '\0') << true << false;
    QTest::newRow("echo then response") << QByteArray(8, '\x01') + good << true << false;
    QTest::newRow("byte 2 = 200") << changed(2, 200) << true << false;
    QTest::newRow("206 bytes waiting") << good.left(206) << false << false;
    QTest::newRow("nothing waiting") << QByteArray() << false << false;
}

void TestSerialReceive::frameAcceptance()
{
    QFETCH(QByteArray, waiting);
    QFETCH(bool, read);
    QFETCH(bool, decoded);
    DecoderRig r;
    r.poll.unitAddress = 1;
    r.decoder.onSerialBytes(waiting);
    QCOMPARE(r.field(1), decoded ? QStringLiteral("-59.80") : QStringLiteral("88888"));
    QCOMPARE(r.status.rejectedFrames(), read && !decoded ? 1 : 0);
    QCOMPARE(r.poll.serialAnswers, read ? 1 : 0);
    QCOMPARE(r.poll.serialAnswerSeen, read);
    QCOMPARE(r.intensity.count(), read ? 1 : 0);
    if (read)
        QCOMPARE(r.links.serialWrites, QList<QByteArray>{QByteArray::fromHex("01030063006575ff")});
    else
        QVERIFY(r.links.serialWrites.isEmpty());
    QCOMPARE(r.manual.count(), 0); // the serial link feeds no manual recording
    QCOMPARE(r.ring.writeIndex(), 0);
}

void TestSerialReceive::accelerationSign_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("word");
    QTest::addColumn<QString>("text");
    QTest::newRow("a, 1000") << 1 << 0x03E8 << "-59.80";
    QTest::newRow("a, -1000") << 1 << 0xFC18 << "59.80";
    QTest::newRow("offset 4") << 4 << 0x0001 << "-0.06";
    QTest::newRow("offset 7") << 7 << 0x03E8 << "-59.80";
    QTest::newRow("offset 29") << 29 << 0x03E8 << "-59.80";
    QTest::newRow("offset 34") << 34 << 0xFC18 << "59.80";
    QTest::newRow("zero has no sign") << 2 << 0x0000 << "0.00";
    QTest::newRow("offset 8 keeps its sign") << 8 << 0x03E8 << "100";
    QTest::newRow("Pd keeps its sign") << 37 << 0x03E8 << "1";
}

void TestSerialReceive::accelerationSign()
{
    QFETCH(int, offset);
    QFETCH(int, word);
    QFETCH(QString, text);
    DecoderRig r;
    r.decoder.onSerialBytes(rtuResponse(101, {{offset, quint16(word)}}));
    QCOMPARE(r.field(offset), text);
}

void TestSerialReceive::longestPollFillsMountingAngle()
{
    DecoderRig r;
    r.poll.unitAddress = 1;
    r.poll.pollRegisters = 107;
    r.decoder.onSerialBytes(rtuResponse(107, {{106, 45}, {104, 0x0A00}, {105, 0x0102}}));
    QCOMPARE(r.field(248), QStringLiteral("45"));
    QCOMPARE(r.field(240), QStringLiteral("10"));
    QCOMPARE(r.field(243), QStringLiteral("2"));
    QCOMPARE(r.links.serialWrites.value(0).toHex(), QByteArray("01030063006bf43b"));
}

void TestSerialReceive::commandInProgressLeavesThePortAlone()
{
    DecoderRig r;
    r.poll.commandInProgress = true;
    r.decoder.onSerialBytes(QByteArray(8, '\x01') + rtuResponse(101));
    QVERIFY(r.links.serialWrites.isEmpty());
    QCOMPARE(r.poll.serialAnswers, 0);
    QVERIFY(!r.poll.serialAnswerSeen);
    QCOMPARE(r.intensity.count() + r.alarms.count(), 0);
    // The echo and the answer stay; with the next bytes they are taken and refused together.
    r.poll.commandInProgress = false;
    r.decoder.onSerialBytes(QByteArray());
    QCOMPARE(r.status.rejectedFrames(), 1);
    QCOMPARE(r.poll.serialAnswers, 1);
}

void TestSerialReceive::displayStepsRunOnDroppedFrames()
{
    DecoderRig r;
    r.status.setSilent(true);
    r.readout.liveFields.setText(95, QStringLiteral("1281"));
    r.readout.liveFields.setText(76, QStringLiteral("258"));
    r.readout.liveFields.setText(41, QStringLiteral("2024"));
    r.decoder.onSerialBytes(rtuResponse(101) + QByteArray(1, '\0'));
    QCOMPARE(r.field(210), QStringLiteral("5"));
    QCOMPARE(r.field(211), QStringLiteral("1"));
    QCOMPARE(r.field(215), QStringLiteral("88888")); // the addresses only after a decoded frame
    QVERIFY(r.readout.deviceEventTime.text().startsWith(QStringLiteral("2024/")));
    QCOMPARE(r.alarms.count(), 1);
    QCOMPARE(r.alarms.at(0).at(0).value<AlarmGate>(), AlarmGate::Lamp);
    QVERIFY(!r.status.isSilent());
}

// The settle time can end inside a response: the part waits, and a reset of the link
// (closed, or lost) forgets it.
void TestSerialReceive::partOfAResponseWaitsForTheRest()
{
    DecoderRig r;
    const QByteArray response = rtuResponse(101, {{1, 0x03E8}});
    r.decoder.onSerialBytes(response.left(100));
    QCOMPARE(r.field(1), QStringLiteral("88888"));
    r.decoder.onSerialBytes(response.mid(100));
    QCOMPARE(r.field(1), QStringLiteral("-59.80"));
    QCOMPARE(r.links.serialWrites.size(), 1);

    r.decoder.onSerialBytes(response.left(100));
    emit r.links.serial.reset();
    r.decoder.onSerialBytes(response);
    QCOMPARE(r.status.rejectedFrames(), 0);
    QCOMPARE(r.poll.serialAnswers, 2);
}

QTEST_GUILESS_MAIN(TestSerialReceive)
#include "tst_serialreceive.moc"
