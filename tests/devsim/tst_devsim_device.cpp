#include "Device.h"
#include "ModbusPdu.h"

#include <QtTest>

using namespace devsim;

namespace
{

constexpr int64_t powerOn = 1796466337; // 2026-12-05 10:25:37

Device makeDevice(const char *scenarioName = "quiet")
{
    Scenario s;
    std::string error;
    makeScenario(scenarioName, false, s, error);
    return Device(DeviceConfig{2095, 17, 101, 1}, s, powerOn);
}

uint16_t readOne(const Device &d, int reg)
{
    std::vector<uint16_t> v;
    return d.read(reg, 1, v) == noException ? v[0] : 0xDEAD;
}

uint16_t packetWord(const std::vector<uint8_t> &p, int k)
{
    return uint16_t(p[size_t(2 * k)] | p[size_t(2 * k + 1)] << 8);
}

} // namespace

class TestDevsimDevice : public QObject
{
    Q_OBJECT

private slots:
    void settingWaitsForItsOwnCommitCode_data();
    void settingWaitsForItsOwnCommitCode();
    void defaultsAreLoadedAndStored();
    void clockCommitRefusesImpossibleDates_data();
    void clockCommitRefusesImpossibleDates();
    void slaveAddressOutsideUnicastIsRefused();
    void firmwareUpdateIsAcknowledged();
    void streamHeaderAgreesWithRegisters_data();
    void streamHeaderAgreesWithRegisters();
    void crcMatchesTheStationsFrames_data();
    void crcMatchesTheStationsFrames();
    void function16AnswerAndStreamCommand();
    void eventPeaksHeldUntilTheNextEvent();
};

void TestDevsimDevice::settingWaitsForItsOwnCommitCode_data()
{
    QTest::addColumn<int>("reg");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("wrongCode");
    QTest::addColumn<int>("rightCode");
    QTest::newRow("time zone, system") << 113 << 9 << 6 << 2;
    QTest::newRow("PGA watch threshold") << 120 << 1337 << 18 << 2;
    QTest::newRow("mounting angle") << 205 << 450 << 8 << 2;
    QTest::newRow("own address octet") << 182 << 77 << 2 << 6;
    QTest::newRow("RTU address") << 193 << 5 << 18 << 6;
    QTest::newRow("server address word, unsigned") << 175 << 0xC0A8 << 6 << 18;
    QTest::newRow("NTP octet") << 173 << 9 << 2 << 18;
    QTest::newRow("display address") << 204 << 0x0133 << 6 << 18;
}

void TestDevsimDevice::settingWaitsForItsOwnCommitCode()
{
    QFETCH(int, reg);
    QFETCH(int, value);
    QFETCH(int, wrongCode);
    QFETCH(int, rightCode);
    Device d = makeDevice();
    const uint16_t before = readOne(d, reg);
    QVERIFY(before != uint16_t(value));
    QCOMPARE(d.write(reg, uint16_t(value)).exception, noException);
    QCOMPARE(readOne(d, reg), before);
    QCOMPARE(d.write(commandRegister, uint16_t(wrongCode)).exception, noException);
    QCOMPARE(readOne(d, reg), before);
    QCOMPARE(d.write(commandRegister, uint16_t(rightCode)).exception, noException);
    QCOMPARE(readOne(d, reg), uint16_t(value));
}

void TestDevsimDevice::defaultsAreLoadedAndStored()
{
    Device d = makeDevice();
    const uint16_t factory = readOne(d, 116);
    d.write(116, 55);
    d.write(commandRegister, commitSystem);
    d.write(commandRegister, loadDefaults);
    QCOMPARE(readOne(d, 116), factory);

    d.write(116, 55);
    d.write(commandRegister, commitSystem);
    d.write(commandRegister, storeDefaults);
    d.write(116, 66);
    d.write(commandRegister, commitSystem);
    QCOMPARE(readOne(d, 116), uint16_t(66));
    d.write(commandRegister, loadDefaults);
    QCOMPARE(readOne(d, 116), uint16_t(55));

    // Loading the defaults also forgets what was staged and never committed.
    d.write(116, 77);
    d.write(commandRegister, loadDefaults);
    d.write(commandRegister, commitSystem);
    QCOMPARE(readOne(d, 116), uint16_t(55));
}

void TestDevsimDevice::clockCommitRefusesImpossibleDates_data()
{
    QTest::addColumn<QList<int>>("clock");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("valid") << QList<int>{2027, 2, 28, 23, 59, 59} << true;
    QTest::newRow("leap day") << QList<int>{2028, 2, 29, 0, 0, 0} << true;
    QTest::newRow("no leap day") << QList<int>{2027, 2, 29, 0, 0, 0} << false;
    QTest::newRow("month 13") << QList<int>{2027, 13, 1, 0, 0, 0} << false;
    QTest::newRow("second 60") << QList<int>{2027, 1, 1, 0, 0, 60} << false;
    QTest::newRow("hour 24") << QList<int>{2027, 1, 1, 24, 0, 0} << false;
    QTest::newRow("year beyond the stream's range") << QList<int>{2048, 1, 1, 0, 0, 0} << false;
}

void TestDevsimDevice::clockCommitRefusesImpossibleDates()
{
    QFETCH(QList<int>, clock);
    QFETCH(bool, accepted);
    Device d = makeDevice();
    d.setElapsed(3.5);
    for (int i = 0; i < 6; ++i)
        d.write(clockRegister + i, uint16_t(clock[i]));
    d.write(commandRegister, commitClock);
    const CivilTime t = d.deviceTime();
    const QList<int> now{t.year, t.month, t.day, t.hour, t.minute, t.second};
    QCOMPARE(now == clock, accepted);
    if (!accepted)
        QCOMPARE(now, (QList<int>{2026, 12, 5, 10, 25, 40}));
    d.setElapsed(13.5); // the clock runs on from the time set
    QCOMPARE(toSeconds(d.deviceTime()) - toSeconds(t), int64_t(10));
}

void TestDevsimDevice::slaveAddressOutsideUnicastIsRefused()
{
    Device d = makeDevice();
    d.write(193, 0);
    d.write(commandRegister, commitOwnAddress);
    QCOMPARE(d.slaveId(), 101);
    d.write(193, 248);
    d.write(commandRegister, commitOwnAddress);
    QCOMPARE(d.slaveId(), 101);
    d.write(193, 7);
    d.write(commandRegister, commitOwnAddress);
    QCOMPARE(d.slaveId(), 7);
}

void TestDevsimDevice::firmwareUpdateIsAcknowledged()
{
    Device d = makeDevice();
    d.write(113, 3);
    QCOMPARE(d.write(commandRegister, firmwareUpdate).exception, noException);
    QCOMPARE(readOne(d, 113), uint16_t(8)); // it commits nothing
}

void TestDevsimDevice::streamHeaderAgreesWithRegisters_data()
{
    QTest::addColumn<int>("word");
    QTest::addColumn<int>("reg");
    QTest::newRow("event flags") << 1 << 110;
    QTest::newRow("device year") << 2 << 146;
    QTest::newRow("device second") << 7 << 151;
    QTest::newRow("event year") << 8 << 140;
    QTest::newRow("serial number") << 14 << 199;
    QTest::newRow("P-wave bits") << 23 << 138;
    QTest::newRow("intensity") << 27 << 109;
    QTest::newRow("option word") << 32 << 117;
    QTest::newRow("firmware") << 34 << 198;
    QTest::newRow("server address") << 39 << 175;
    QTest::newRow("status") << 48 << 99;
    QTest::newRow("digital I/O") << 49 << 118;
    QTest::newRow("Pd") << 51 << 136;
    QTest::newRow("vector maximum") << 54 << 107;
    QTest::newRow("a axis maximum") << 55 << 128;
    QTest::newRow("compound c axis maximum") << 60 << 133;
}

void TestDevsimDevice::streamHeaderAgreesWithRegisters()
{
    QFETCH(int, word);
    QFETCH(int, reg);
    Device d = makeDevice("quake");
    for (int second : {5, 12, 17, 35, 50}) {
        const std::vector<uint8_t> packet = d.streamPacket(second);
        QCOMPARE(int(packet.size()), streamPacketSize);
        QCOMPARE(packetWord(packet, 0), uint16_t(1));
        d.setElapsed(second + 0.995); // the header describes the last sample of its second
        QVERIFY2(packetWord(packet, word) == readOne(d, reg),
                 qPrintable(QString("second %1").arg(second)));
    }
}

void TestDevsimDevice::crcMatchesTheStationsFrames_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("crc");
    QTest::newRow("poll of 101") << QByteArray::fromHex("010300630065")
                                 << QByteArray::fromHex("75FF");
    QTest::newRow("poll of 107") << QByteArray::fromHex("01030063006B")
                                 << QByteArray::fromHex("F43B");
    QTest::newRow("alarm on") << QByteArray::fromHex("010600760003") << QByteArray::fromHex("2811");
}

void TestDevsimDevice::crcMatchesTheStationsFrames()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, crc);
    const Bytes frame = rtuFrame(uint8_t(body[0]), Bytes(body.begin() + 1, body.end()));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(frame.data()), int(frame.size())),
             body + crc);
}

void TestDevsimDevice::function16AnswerAndStreamCommand()
{
    Device d = makeDevice();
    const Bytes write16 = {16, 0, 192, 0, 1, 2, 0, 1};
    const Answer a = answerPdu(d, write16.data(), write16.size());
    QCOMPARE(a.stream, StreamCommand::start);
    QCOMPARE(a.pdu, (Bytes{16, 0, 192, 0, 1}));
    const Bytes stop = {6, 0, 192, 0, 0};
    QCOMPARE(answerPdu(d, stop.data(), stop.size()).stream, StreamCommand::stop);
    const Bytes shortRead = {3, 0, 99, 0};
    QCOMPARE(answerPdu(d, shortRead.data(), shortRead.size()).pdu, (Bytes{0x83, 3}));
}

// The fields an event summary reads: intensity, vector maximum, per-axis and compound maxima.
void TestDevsimDevice::eventPeaksHeldUntilTheNextEvent()
{
    Scenario s;
    std::string error;
    QVERIFY(makeScenario("quake", true, s, error));
    Device d(DeviceConfig{2095, 17, 101, 1}, s, powerOn);
    const auto peaks = [&d](double at) {
        d.setElapsed(at);
        std::vector<uint16_t> v;
        for (int reg : {109, 107, 128, 129, 130, 131, 132, 133})
            v.push_back(readOne(d, reg));
        return v;
    };
    const std::vector<uint16_t> early = peaks(12.0);
    const std::vector<uint16_t> lastFlagged = peaks(39.99);
    QCOMPARE(readOne(d, 110) != 0, true);
    QCOMPARE(lastFlagged[0], uint16_t(5)); // 130 gal at the S peak
    QVERIFY2(lastFlagged[1] > 1000, "vector maximum below 100 gal");
    for (size_t i = 0; i < early.size(); ++i)
        QVERIFY2(lastFlagged[i] >= early[i] && lastFlagged[i] > 0, qPrintable(QString::number(i)));

    const std::vector<uint16_t> afterEnd = peaks(45.0);
    QCOMPARE(readOne(d, 110), uint16_t(0));
    QCOMPARE(afterEnd, lastFlagged);
    QCOMPARE(peaks(71.0), lastFlagged); // the next run's P wave has not triggered yet

    // The next event starts its own maxima.
    const std::vector<uint16_t> nextStart = peaks(71.6);
    QVERIFY(readOne(d, 110) != 0);
    QVERIFY(nextStart[1] < lastFlagged[1]);
    // Reading an earlier time again gives that time's values, not the newest ones.
    QCOMPARE(peaks(39.99), lastFlagged);
}

QTEST_GUILESS_MAIN(TestDevsimDevice)
#include "tst_devsim_device.moc"
