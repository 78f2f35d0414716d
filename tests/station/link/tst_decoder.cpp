#include "DecoderRig.h"
#include "DevicePackets.h"
#include "common/NumberText.h"
#include "link/RegisterMap.h"

#include <QTest>

using namespace DevicePackets;
using FieldTexts = QMap<int, QString>;

// The TCP links: Modbus responses on the client link, stream packets on the client link in
// Record mode and on the server link.
class TestDecoder : public QObject
{
    Q_OBJECT
private slots:
    void echoChangesOnlyTheWaitFlags_data();
    void echoChangesOnlyTheWaitFlags();
    void packetsDuringACommand_data();
    void packetsDuringACommand();
    void pollResumesAfterACommand_data();
    void pollResumesAfterACommand();
    void settingsReadBetweenStreamPackets_data();
    void settingsReadBetweenStreamPackets();
    void modbusValidation_data();
    void modbusValidation();
    void registerWords_data();
    void registerWords();
    void shortPollKeepsHighOffsets();
    void streamAcceptance_data();
    void streamAcceptance();
    void leadIn_data();
    void leadIn();
    void streamHeaderWords_data();
    void streamHeaderWords();
    void streamSamples();
    void deviceClockOnlyFromPlausibleDates_data();
    void deviceClockOnlyFromPlausibleDates();
    void derivedFields_data();
    void derivedFields();
    void modbusTail();
    void reconnectBeforeNextRead();
    void streamRequestWithdrawn_data();
    void streamRequestWithdrawn();
    void summaryAtTenthPacket();
    void rawLog_data();
    void rawLog();
    void eventLabel_data();
    void eventLabel();
    void numbersAreTheValuesOfTheirTexts_data();
    void numbersAreTheValuesOfTheirTexts();
    void cachedTextsFollowTheirWords();
};

void TestDecoder::echoChangesOnlyTheWaitFlags_data()
{
    QTest::addColumn<bool>("server");
    QTest::addColumn<bool>("recordMode");
    QTest::newRow("client, Modbus mode") << false << false;
    QTest::newRow("client, Record mode") << false << true;
    QTest::newRow("server link") << true << false;
}

void TestDecoder::echoChangesOnlyTheWaitFlags()
{
    QFETCH(bool, server);
    QFETCH(bool, recordMode);
    DecoderRig r;
    r.poll.recordMode = recordMode;
    r.poll.awaitingReply = true;
    r.poll.serverIdleSeconds = 3;
    r.status.setSilent(true);
    const QStringList before = r.fieldTexts();
    if (server)
        r.decoder.serverBytesArrived(echo());
    else
        r.decoder.clientBytesArrived(echo());
    QVERIFY(!r.poll.awaitingReply);
    QCOMPARE(r.poll.serverIdleSeconds, server ? 0 : 3);
    QCOMPARE(r.fieldTexts(), before);
    QCOMPARE(r.poll.clientAnswers, 0);
    QVERIFY(!r.poll.clientAnswerSeen);
    QVERIFY(r.links.clientSends.isEmpty());
    QCOMPARE(r.intensity.count(), 0);
    QVERIFY(r.status.isSilent());
    QCOMPARE(r.status.rejectedFrames(), 0);
}

void TestDecoder::packetsDuringACommand_data()
{
    QTest::addColumn<bool>("server");
    QTest::addColumn<bool>("recordMode");
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<bool>("kept"); // a stream packet's samples must not be lost
    QTest::newRow("client Modbus response")
        << false << false << tcpResponse(101, {{1, 1000}}) << false;
    QTest::newRow("client stream packet") << false << true << streamPacket() << true;
    QTest::newRow("server stream packet") << true << false << streamPacket() << true;
    QTest::newRow("server odd packet") << true << false << QByteArray(50, '\x05') << false;
}

void TestDecoder::packetsDuringACommand()
{
    QFETCH(bool, server);
    QFETCH(bool, recordMode);
    QFETCH(QByteArray, packet);
    QFETCH(bool, kept);
    DecoderRig r;
    r.poll.recordMode = recordMode;
    r.poll.commandInProgress = true;
    r.poll.awaitingReply = true;
    const QStringList before = r.fieldTexts();
    if (server)
        r.decoder.serverBytesArrived(packet);
    else
        r.decoder.clientBytesArrived(packet);
    QVERIFY(!r.poll.awaitingReply);
    QCOMPARE(r.fieldTexts() != before, kept);
    QCOMPARE(r.ring.writeIndex() > 0, kept);
    QCOMPARE(r.poll.clientAnswers, 0);
    QVERIFY(r.links.clientSends.isEmpty());
    if (!kept)
        QCOMPARE(r.intensity.count() + r.alarms.count() + r.manual.count(), 0);
}

void TestDecoder::pollResumesAfterACommand_data()
{
    QTest::addColumn<QByteArray>("duringCommand");
    QTest::addColumn<int>("readsAfter");
    QTest::newRow("poll answer dropped: the next read at once")
        << tcpResponse(101, {{1, 1000}}) + echo() << 1;
    QTest::newRow("only echoes: the reads that were out go on") << echo() << 0;
}

// The reads follow the answers; the answer a command drops would leave the link silent.
void TestDecoder::pollResumesAfterACommand()
{
    QFETCH(QByteArray, duringCommand);
    QFETCH(int, readsAfter);
    DecoderRig r;
    r.links.clientConnected = true;
    r.poll.commandInProgress = true;
    r.decoder.clientBytesArrived(duringCommand);
    QVERIFY(r.links.clientSends.isEmpty());
    r.poll.commandInProgress = false;
    r.decoder.resumeAfterCommand(LinkKind::TcpClient);
    QCOMPARE(r.links.clientSends.size(), readsAfter);
    if (readsAfter > 0)
        QCOMPARE(r.links.clientSends.last().toHex(), QByteArray("000000000006010300630065"));
}

void TestDecoder::settingsReadBetweenStreamPackets_data()
{
    QTest::addColumn<bool>("server");
    QTest::newRow("client link in Record mode") << false;
    QTest::newRow("server link") << true;
}

// The device pages' registers on a streaming link: one read whose answer comes between two
// stream packets. Both packets count; the answer fills only what no packet carries.
void TestDecoder::settingsReadBetweenStreamPackets()
{
    QFETCH(bool, server);
    DecoderRig r;
    r.poll.recordMode = !server;
    r.poll.pollRegisters = 106;
    (server ? r.links.serverConnected : r.links.clientConnected) = true;
    const auto arrive = [&r, server](const QByteArray &bytes) {
        server ? r.decoder.serverBytesArrived(bytes) : r.decoder.clientBytesArrived(bytes);
    };
    arrive(streamPacket({{27, 3}}));
    QCOMPARE(r.field(240), QStringLiteral("88888")); // the companion's address is not streamed
    QSignalSpy read(&r.decoder, &Decoder::settingsRead);
    QCOMPARE(r.decoder.readSettings(server ? LinkKind::TcpServer : LinkKind::TcpClient),
             Decoder::SettingsRead::OneOff);
    const QList<QByteArray> &sent = server ? r.links.serverSends : r.links.clientSends;
    QCOMPARE(sent.value(sent.size() - 1).toHex(), QByteArray("00000000000601030063006a"));
    const QByteArray answer =
        tcpResponse(106, {{84, 255}, {94, 101}, {10, 9}, {104, 0x7FFF}, {105, 0x0132}});
    arrive(answer.left(100));
    arrive(answer.mid(100) + streamPacket({{27, 4}}));
    QCOMPARE(read.count(), 1);
    QCOMPARE(r.field(84), QStringLiteral("255"));
    QCOMPARE(r.field(94), QStringLiteral("101"));
    QCOMPARE(r.field(10), QStringLiteral("4")); // the intensity as the stream has it
    QCOMPARE(QStringList({r.field(240), r.field(241), r.field(242), r.field(243)}),
             QStringList({"127", "255", "1", "50"}));
    QCOMPARE(r.ring.writeIndex(), 200);
    QCOMPARE(r.status.rejectedFrames(), 0);
}

void TestDecoder::modbusValidation_data()
{
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<bool>("decoded");
    const QByteArray good = tcpResponse(101, {{1, 1000}});
    const auto changed = [&good](int at, int byte) {
        QByteArray p = good;
        p[at] = char(byte);
        return p;
    };
    QByteArray consistent213 = tcpResponse(102, {{1, 1000}});
    consistent213[8] = char(202);
    QByteArray foreignEcho = echo();
    foreignEcho[6] = 2;
    QTest::newRow("211 bytes, byte 8 = 202") << good << true;
    QTest::newRow("any transaction identifier") << changed(0, 0x5A) << true;
    QTest::newRow("213 bytes: two stray zero bytes") << good + QByteArray(2, '\0') << false;
    QTest::newRow("213 bytes: two stray bytes") << good + QByteArray("\x12\x34") << false;
    QTest::newRow("213 bytes, its own header") << consistent213 << false;
    QTest::newRow("byte 8 = 200") << changed(8, 200) << false;
    QTest::newRow("protocol identifier 1") << changed(3, 1) << false;
    QTest::newRow("length field one short") << changed(5, 204) << false;
    QTest::newRow("length field high byte") << changed(4, 1) << false;
    QTest::newRow("unit 2") << changed(6, 2) << false;
    QTest::newRow("function 4") << changed(7, 4) << false;
    QTest::newRow("a stream packet in Modbus mode") << streamPacket() << false;
    QTest::newRow("9-byte exception answer") << QByteArray::fromHex("000000000003018302") << false;
    QTest::newRow("12 bytes that answer no write")
        << QByteArray::fromHex("000000000006010300630065") << false;
    QTest::newRow("a write's answer from unit 2") << foreignEcho << false;
}

void TestDecoder::modbusValidation()
{
    QFETCH(QByteArray, packet);
    QFETCH(bool, decoded);
    DecoderRig r;
    const QStringList before = deviceFieldTexts(r.readout.liveFields);
    r.decoder.clientBytesArrived(packet);
    if (decoded)
        QCOMPARE(r.field(1), QStringLiteral("59.80"));
    else
        QCOMPARE(deviceFieldTexts(r.readout.liveFields), before);
    QCOMPARE(r.manual.count(), decoded ? 1 : 0);
    QCOMPARE(r.status.rejectedFrames(), decoded ? 0 : 1);
    // Valid or not, an answer is traffic: counted, and the next read goes out.
    QCOMPARE(r.poll.clientAnswers, 1);
    QVERIFY(r.poll.clientAnswerSeen);
    QCOMPARE(r.links.clientSends,
             QList<QByteArray>{QByteArray::fromHex("000000000006010300630065")});
    QCOMPARE(r.alarms.count(), 1);
    QCOMPARE(r.alarms.at(0).at(0).value<AlarmGate>(), AlarmGate::Lamp);
    QCOMPARE(r.intensity.count(), 1);
}

void TestDecoder::registerWords_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("word");
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");
    QTest::newRow("acceleration a") << 1 << 0x03E8 << 1 << "59.80";
    QTest::newRow("acceleration, negative") << 3 << 0xFC18 << 3 << "-59.80";
    QTest::newRow("PGA watch threshold") << 21 << 0x03E8 << 21 << "59.8";
    QTest::newRow("Pd") << 37 << 0x03E8 << 37 << "1";
    QTest::newRow("signed -1") << 0 << 0xFFFF << 0 << "-1";
    QTest::newRow("signed -32768") << 11 << 0x8000 << 11 << "-32768";
    QTest::newRow("server address 1 unsigned") << 76 << 0xFFFF << 76 << "65535";
    QTest::newRow("server address 4 unsigned") << 79 << 0xFFFF << 79 << "65535";
    QTest::newRow("network word 80 signed") << 80 << 0xFFFF << 80 << "-1";
    QTest::newRow("vector maximum tenths") << 8 << 0xFFFF << 8 << "-0.1";
    QTest::newRow("PGA now tenths") << 96 << 1234 << 96 << "123.4";
    QTest::newRow("Pgv hundredths") << 25 << 5 << 25 << "0.05";
    QTest::newRow("acceleration 0.0598 rounds") << 29 << 1 << 29 << "0.06";
    QTest::newRow("small negative acceleration") << 30 << 0xFFFF << 30 << "-0.06";
    QTest::newRow("PGA warning threshold") << 61 << 1337 << 61 << "80.0";
    QTest::newRow("offset 101 to field 230") << 101 << 2 << 230 << "2";
    QTest::newRow("offset 102 to field 235") << 102 << 0xFFFF << 235 << "-1";
    QTest::newRow("offset 103 to field 237") << 103 << 4 << 237 << "4";
    QTest::newRow("offset 104 unsigned to field 101") << 104 << 0xFFFF << 101 << "65535";
    QTest::newRow("offset 105 unsigned to field 102") << 105 << 0xC0A8 << 102 << "49320";
    QTest::newRow("offset 106 to field 248") << 106 << 0xFFFF << 248 << "-1";
}

void TestDecoder::registerWords()
{
    QFETCH(int, offset);
    QFETCH(int, word);
    QFETCH(int, field);
    QFETCH(QString, text);
    DecoderRig r;
    r.poll.pollRegisters = 107;
    r.decoder.clientBytesArrived(tcpResponse(107, {{offset, quint16(word)}}));
    QCOMPARE(r.field(field), text);
}

void TestDecoder::shortPollKeepsHighOffsets()
{
    DecoderRig r;
    r.decoder.clientBytesArrived(tcpResponse(101, {{100, 7}}));
    QCOMPARE(r.field(100), QStringLiteral("7"));
    for (int field : {230, 235, 237, 101, 102, 248})
        QCOMPARE(r.field(field), QStringLiteral("88888"));
}

void TestDecoder::streamAcceptance_data()
{
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<bool>("decoded");
    QTest::addColumn<bool>("tail");
    QByteArray type2 = streamPacket();
    type2[0] = 2;
    QByteArray flags9 = streamPacket();
    flags9[2] = 9;
    QByteArray year8 = streamPacket();
    year8[5] = 8;
    QTest::newRow("byte 0 = 1, byte 2 = 3, byte 5 = 7") << streamPacket({{1, 3}}) << true << true;
    QTest::newRow("byte 5 = 8") << year8 << false << false;
    QTest::newRow("byte 2 = 9") << flags9 << false << false;
    QTest::newRow("byte 0 = 2") << type2 << false << false;
    QTest::newRow("1100 bytes") << QByteArray(1100, '\x09') << false << true;
    QTest::newRow("211-byte Modbus response") << tcpResponse(101, {{1, 1000}}) << false << true;
}

void TestDecoder::streamAcceptance()
{
    QFETCH(QByteArray, packet);
    QFETCH(bool, decoded);
    QFETCH(bool, tail);
    DecoderRig r;
    r.status.setSilent(true);
    r.decoder.serverBytesArrived(packet);
    QCOMPARE(r.manual.count(), decoded ? 100 : 0);
    QCOMPARE(r.field(11), decoded ? QStringLiteral("3") : QStringLiteral("88888"));
    QCOMPARE(r.field(1), decoded ? QStringLiteral("5.9202") : QStringLiteral("88888"));
    QCOMPARE(r.intensity.count(), tail ? 1 : 0);
    QCOMPARE(r.alarms.count(), decoded ? 1 : 0);
    if (decoded)
        QCOMPARE(r.alarms.at(0).at(0).value<AlarmGate>(), AlarmGate::Trigger);
    QCOMPARE(r.status.isSilent(), !tail);
    QVERIFY(r.links.serverSends.isEmpty());
    QCOMPARE(r.poll.clientAnswers, 0);
    QCOMPARE(r.status.rejectedFrames(), decoded ? 0 : 1);
}

void TestDecoder::leadIn_data()
{
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<QString>("flags");
    QByteArray fromStart = streamPacket({{1, 1}}) + QByteArray(200, '\0');
    QByteArray leadIn(200, '\0');
    leadIn[0] = 2;
    QByteArray leadInThenBadPacket = leadIn + streamPacket({{1, 2}});
    leadInThenBadPacket[200 + 5] = 8;
    QTest::newRow("byte 0 = 1: from byte 0") << fromStart << "1";
    QTest::newRow("byte 0 = 2, byte 200 = 1: from byte 200")
        << leadIn + streamPacket({{1, 2}}) << "2";
    QTest::newRow("lead-in before a failing packet") << leadInThenBadPacket << "88888";
    QByteArray typeOneLeadIn(200, '\0');
    typeOneLeadIn[0] = 1;
    QTest::newRow("byte 0 = 1 failing, byte 200 = 1: from byte 0, dropped")
        << typeOneLeadIn + streamPacket({{1, 2}}) << "88888";
    QTest::newRow("1300 bytes from byte 200 are too few")
        << (leadIn + streamPacket({{1, 2}})).left(1300) << "88888";
}

void TestDecoder::leadIn()
{
    QFETCH(QByteArray, packet);
    QFETCH(QString, flags);
    DecoderRig r;
    r.poll.recordMode = true;
    r.poll.streamQuietTicks = 2;
    r.decoder.clientBytesArrived(packet);
    QCOMPARE(r.field(11), flags);
    const bool decoded = flags != QStringLiteral("88888");
    QCOMPARE(r.manual.count(), decoded ? 100 : 0);
    QCOMPARE(r.poll.streamQuietTicks, decoded ? 0 : 2);
    QCOMPARE(r.poll.clientAnswers, 0); // stream packets are not counted here
    QVERIFY(r.links.clientSends.isEmpty());
}

void TestDecoder::streamHeaderWords_data()
{
    QTest::addColumn<int>("word");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");
    QTest::newRow("status bits") << 48 << 0xFFFF << 0 << "-1";
    QTest::newRow("vector maximum") << 54 << 123 << 8 << "12.3";
    QTest::newRow("intensity") << 27 << 5 << 10 << "5";
    QTest::newRow("option word") << 32 << 513 << 18 << "513";
    QTest::newRow("digital I/O") << 49 << 0x8001 << 19 << "-32767";
    QTest::newRow("PGA watch threshold") << 25 << 1000 << 21 << "59.8";
    QTest::newRow("Pgd") << 17 << 1500 << 26 << "1.5";
    QTest::newRow("status acceleration") << 55 << 1000 << 29 << "59.80";
    QTest::newRow("PGA now in gal") << 28 << 1000 << 96 << "59.8";
    QTest::newRow("server address unsigned") << 39 << 0xFFFF << 76 << "65535";
    QTest::newRow("server address 4 unsigned") << 42 << 0xC0A8 << 79 << "49320";
    QTest::newRow("network word signed") << 35 << 0xFFFF << 80 << "-1";
    QTest::newRow("server information") << 50 << 2305 << 98 << "2305";
    QTest::newRow("firmware") << 34 << 2095 << 99 << "2095";
    QTest::newRow("serial number") << 14 << 77 << 100 << "77";
    QTest::newRow("word 52") << 52 << 250 << 228 << "0.25";
    QTest::newRow("DO 0 intensity") << 75 << 4 << 235 << "4";
    QTest::newRow("DO 1 intensity") << 76 << 6 << 237 << "6";
    QTest::newRow("event minute") << 12 << 59 << 45 << "59";
    QTest::newRow("device year") << 2 << 2025 << 47 << "2025";
}

void TestDecoder::streamHeaderWords()
{
    QFETCH(int, word);
    QFETCH(int, value);
    QFETCH(int, field);
    QFETCH(QString, text);
    DecoderRig r;
    r.decoder.serverBytesArrived(streamPacket({{word, quint16(value)}}));
    QCOMPARE(r.field(field), text);
}

void TestDecoder::streamSamples()
{
    DecoderRig r;
    r.events.alarm(AlarmKind::Pd).peak = 0.5f;
    r.events.alarm(AlarmKind::Displacement).peak = 5.0f;
    for (int i = 0; i < SampleRing::Rows - 10; ++i) // the ring wraps inside the packet
        r.ring.push({});
    r.decoder.serverBytesArrived(streamPacket());
    // The last sample stays in the fields: {99, -99, 198, 990, 1980}.
    QCOMPARE(r.field(1), QStringLiteral("5.9202"));
    QCOMPARE(r.field(2), QStringLiteral("-5.9202"));
    QCOMPARE(r.field(3), QStringLiteral("11.8404"));
    QCOMPARE(r.field(37), QStringLiteral("0.99"));
    QCOMPARE(r.field(59), QStringLiteral("1.98"));
    QCOMPARE(r.events.alarm(AlarmKind::Pd).peak, 0.99f);
    QCOMPARE(r.events.alarm(AlarmKind::Displacement).peak, 5.0f);
    QCOMPARE(r.ring.writeIndex(), 90);
    const SampleRing::Row first = r.ring.row(SampleRing::Rows - 10);
    QCOMPARE(first, (SampleRing::Row{0, 0, 0, 0, 0}));
    const SampleRing::Row last = r.ring.row(89);
    QCOMPARE(last, (SampleRing::Row{5.9202f, -5.9202f, 11.8404f, 0.99f, 1.98f}));
    QCOMPARE(r.manual.count(), 100);
    QCOMPARE(r.manual.at(1), (QList<QVariant>{0.0598f, -0.0598f, 0.1196f}));
    QCOMPARE(r.strip1.samples[0].size(), size_t(100));
    QCOMPARE(r.strip1.samples[3][10], 0.1);
    QCOMPARE(r.strip3.samples[0][10], 0.2);
    QCOMPARE(r.strip3.samples[1][10], 0.1);
    QCOMPARE(r.readout.deviceAddress.text(), QStringLiteral("127.0.0.1"));
}

void TestDecoder::deviceClockOnlyFromPlausibleDates_data()
{
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<QDateTime>("clock");
    const QDateTime before(QDate(2020, 1, 1), QTime(0, 0, 0));
    QTest::newRow("2024") << 2024 << 3 << QDateTime(QDate(2024, 3, 7), QTime(8, 5, 9));
    QTest::newRow("year 1999, high byte 7")
        << 1999 << 3 << QDateTime(QDate(1999, 3, 7), QTime(8, 5, 9));
    QTest::newRow("year 2304, high byte 9") << 2304 << 3 << before;
    QTest::newRow("month 13") << 2024 << 13 << before;
}

void TestDecoder::deviceClockOnlyFromPlausibleDates()
{
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(QDateTime, clock);
    DecoderRig r;
    QDateTime read = QDateTime(QDate(2020, 1, 1), QTime(0, 0, 0));
    QObject::connect(&r.decoder, &Decoder::deviceClockRead,
                     [&read](const QDateTime &time) { read = time; });
    r.decoder.serverBytesArrived(streamPacket({{8, quint16(year)}, {9, quint16(month)}}));
    QCOMPARE(read, clock);
}

void TestDecoder::derivedFields_data()
{
    QTest::addColumn<bool>("server");
    QTest::addColumn<FieldTexts>("expected");
    QTest::newRow("client") << false
                            << FieldTexts{{210, "5"},   {211, "1"},   {215, "1"},     {216, "2"},
                                          {221, "192"}, {222, "168"}, {205, "59.80"}, {108, "12.3"},
                                          {109, "-4"},  {240, "10"},  {241, "0"},     {242, "0"},
                                          {243, "1"}};
    QTest::newRow("server: no companion address")
        << true << FieldTexts{{210, "5"},   {211, "1"},   {215, "1"},     {216, "2"},
                              {221, "192"}, {222, "168"}, {240, "88888"}, {243, "88888"}};
}

void TestDecoder::derivedFields()
{
    QFETCH(bool, server);
    QFETCH(FieldTexts, expected);
    DecoderRig r;
    r.poll.pollRegisters = 106;
    if (server) {
        r.decoder.serverBytesArrived(streamPacket({{33, 1281}, {39, 258}, {42, 0xC0A8}}));
    } else {
        r.decoder.clientBytesArrived(tcpResponse(106, {{95, 1281},
                                                       {76, 258},
                                                       {79, 0xC0A8},
                                                       {5, 1000},
                                                       {8, 123},
                                                       {9, 0xFFFC},
                                                       {104, 0x0A00},
                                                       {105, 1}}));
    }
    for (auto it = expected.begin(); it != expected.end(); ++it)
        QCOMPARE(r.field(it.key()), it.value());
}

void TestDecoder::modbusTail()
{
    DecoderRig r;
    r.poll.recordMode = false;
    r.status.setSilent(true);
    QStringList order;
    QObject::connect(&r.decoder, &Decoder::evaluateAlarmsDue, [&] { order << "alarms"; });
    QObject::connect(&r.decoder, &Decoder::intensityDisplayDue, [&] { order << "intensity"; });
    r.links.onSend = [&] { order << "send"; };
    r.decoder.clientBytesArrived(
        tcpResponse(101, {{41, 2024}, {42, 3}, {43, 7}, {44, 8}, {45, 5}}));
    QCOMPARE(order, (QStringList{"alarms", "send", "intensity"}));
    QCOMPARE(r.readout.deviceEventTime.text(), QStringLiteral("2024/03/07 08:05"));
    // Only the silence timer and the server link's packets touch the background.
    QVERIFY(r.status.isSilent());
}

void TestDecoder::reconnectBeforeNextRead()
{
    DecoderRig r;
    r.links.clientConnected = false;
    r.poll.pollRegisters = 107;
    r.decoder.clientBytesArrived(tcpResponse(107));
    QCOMPARE(r.links.reconnects, 1);
    QCOMPARE(r.links.clientSends.value(0).toHex(), QByteArray("00000000000601030063006b"));

    r.links.clientConnected = false;
    r.links.connectSucceeds = false;
    r.decoder.clientBytesArrived(tcpResponse(107));
    QTRY_COMPARE(r.links.reconnects, 2);     // the next read keeps to the device's pace
    QCOMPARE(r.links.clientSends.size(), 1); // nothing is sent into a closed socket
}

void TestDecoder::streamRequestWithdrawn_data()
{
    QTest::addColumn<bool>("connected");
    QTest::newRow("client connected") << true;
    QTest::newRow("client down") << false;
}

void TestDecoder::streamRequestWithdrawn()
{
    QFETCH(bool, connected);
    DecoderRig r;
    r.poll.streamRequested = true;
    r.links.clientConnected = connected;
    r.decoder.clientBytesArrived(tcpResponse(101, {{1, 1000}}));
    if (connected) {
        QCOMPARE(r.links.clientSends.value(0).toHex(), QByteArray("000000000006010600c00000"));
        QCOMPARE(r.links.clientSends.value(1).toHex(), QByteArray("000000000006010300630065"));
        QVERIFY(!r.poll.streamRequested);
        QCOMPARE(r.field(1), QStringLiteral("59.80"));
        QCOMPARE(r.poll.clientAnswers, 1);
    } else {
        QVERIFY(r.links.clientSends.isEmpty());
        QVERIFY(r.poll.streamRequested);
        QCOMPARE(r.field(1), QStringLiteral("88888"));
        QCOMPARE(r.poll.clientAnswers, 0);
        QCOMPARE(r.intensity.count(), 0);
    }
}

void TestDecoder::summaryAtTenthPacket()
{
    DecoderRig r;
    r.events.setStartTime(QDateTime(QDate(2024, 3, 7), QTime(8, 5, 9)));
    r.events.run();
    r.events.end();
    const QString summary = r.folder.file(QStringLiteral("Vorsa.txt"));
    for (int i = 0; i < 9; ++i)
        r.decoder.serverBytesArrived(QByteArray(30, '\x03'));
    QVERIFY(!QFile::exists(summary));
    r.decoder.serverBytesArrived(QByteArray(30, '\x03'));
    QVERIFY(QFile::exists(summary));
    QVERIFY(!r.events.isSummaryPending());
    for (int i = 0; i < 20; ++i)
        r.decoder.serverBytesArrived(QByteArray(30, '\x03'));
    QFile file(summary);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().count('\n'), 1); // one summary per event
}

void TestDecoder::rawLog_data()
{
    QTest::addColumn<bool>("checked");
    QTest::addColumn<QList<QByteArray>>("reads");
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("unchecked") << false << QList<QByteArray>{echo()} << QByteArray();
    QTest::newRow("echo") << true << QList<QByteArray>{echo()}
                          << QByteArray(" 12  0  0  0  0  0  6  1  6  0 C0  0  1 \r\n");
    QTest::newRow("a packet in two reads: two lines")
        << true << QList<QByteArray>{QByteArray::fromHex("0000"), QByteArray::fromHex("ff")}
        << QByteArray(" 2  0  0 \r\n 1 FF \r\n");
}

void TestDecoder::rawLog()
{
    QFETCH(bool, checked);
    QFETCH(QList<QByteArray>, reads);
    QFETCH(QByteArray, file);
    DecoderRig r;
    r.decoder.setRawLogging(checked);
    r.poll.commandInProgress = true; // logged even while a command runs
    for (const QByteArray &read : reads)
        r.decoder.clientBytesArrived(read);
    QFile log(r.folder.file(QStringLiteral("Vorsarec.txt")));
    QCOMPARE(log.exists(), checked);
    if (checked) {
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(log.readAll(), file);
    }
}

void TestDecoder::eventLabel_data()
{
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QString>("label");
    QTest::newRow("two digits") << QStringList{"2024", "3", "7", "8", "5"} << "2024/03/07 08:05";
    QTest::newRow("wide values whole")
        << QStringList{"2024", "12", "31", "23", "159"} << "2024/12/31 23:159";
    QTest::newRow("not yet read") << QStringList{"88888", "88888", "88888", "88888", "88888"}
                                  << "88888/88888/88888 88888:88888";
    QTest::newRow("negative and text")
        << QStringList{"2024", "-3", "abc", "", "0"} << "2024/-03/abc :00";
}

void TestDecoder::eventLabel()
{
    QFETCH(QStringList, fields);
    QFETCH(QString, label);
    DecoderRig r;
    for (int i = 0; i < 5; ++i)
        r.readout.liveFields.setText(41 + i, fields[i]);
    r.poll.recordMode = true;
    // Record mode, a short packet: no label; a whole packet writes its own fields first.
    r.decoder.clientBytesArrived(QByteArray(100, '\x03'));
    QCOMPARE(r.readout.deviceEventTime.text(), QString());
    r.poll.recordMode = false;
    r.poll.streamRequested = true;
    r.links.clientConnected = false;
    r.decoder.clientBytesArrived(tcpResponse(101)); // stopped before the label
    QCOMPARE(r.readout.deviceEventTime.text(), QString());
    r.poll.streamRequested = false;
    r.decoder.clientBytesArrived(QByteArray(100, '\x03')); // invalid answer: label from fields
    QCOMPARE(r.readout.deviceEventTime.text(), label);
}

// For every word, the packet's number must be the number the field's text stands for, or the
// ring, the charts and the manual recording would disagree with the fields.
void TestDecoder::numbersAreTheValuesOfTheirTexts_data()
{
    using RegisterMap::TextForm;
    QTest::addColumn<TextForm>("form");
    QTest::newRow("plain") << TextForm::Plain;
    QTest::newRow("tenths") << TextForm::Tenths;
    QTest::newRow("hundredths") << TextForm::Hundredths;
    QTest::newRow("thousandths") << TextForm::Thousandths;
    QTest::newRow("gal, 0.0") << TextForm::Gal;
    QTest::newRow("acceleration, 0.00") << TextForm::Acceleration;
    QTest::newRow("serial acceleration, 0.00") << TextForm::NegatedAcceleration;
    QTest::newRow("sample acceleration") << TextForm::SampleAcceleration;
}

void TestDecoder::numbersAreTheValuesOfTheirTexts()
{
    QFETCH(RegisterMap::TextForm, form);
    int mismatches = 0;
    QString first;
    for (int word = -32768; word <= 65535; ++word) {
        const QString text = RegisterMap::text(form, word);
        const double fromText = NumberText::leadingNumber(text);
        if (RegisterMap::value(form, word) != fromText && mismatches++ == 0)
            first = QStringLiteral("%1 -> %2, but %3")
                        .arg(word)
                        .arg(text)
                        .arg(RegisterMap::value(form, word), 0, 'g', 17);
    }
    QVERIFY2(mismatches == 0,
             qPrintable(QStringLiteral("%1 words differ, first %2").arg(mismatches).arg(first)));
}

// Words a multiple of the cache size apart share a slot: each must still get its own text and
// number, however they alternate.
void TestDecoder::cachedTextsFollowTheirWords()
{
    using RegisterMap::TextForm;
    RegisterMap::TextCache cache;
    const QList<int> words{1, 4097, 1, -4095, 4097, 65535, -1};
    for (TextForm form : {TextForm::Acceleration, TextForm::Gal, TextForm::Thousandths}) {
        for (int word : words) {
            QCOMPARE(cache.text(form, word), RegisterMap::text(form, word));
            QCOMPARE(cache.number(form, word), RegisterMap::value(form, word));
        }
    }
}

QTEST_GUILESS_MAIN(TestDecoder)
#include "tst_decoder.moc"
