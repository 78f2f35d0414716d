#include "DecoderRig.h"
#include "DevicePackets.h"
#include "link/TcpFramer.h"

#include <QRandomGenerator>
#include <QTest>

using namespace DevicePackets;
using Reads = QList<QByteArray>;
using Lengths = QList<int>;

// TCP is a byte stream: packets split over reads are decoded once, whole; packets that share
// a read are decoded each; garbage is survived.
class TestTcpFraming : public QObject
{
    Q_OBJECT
private slots:
    void framerCuts_data();
    void framerCuts();
    void splitStreamPacketDecodedOnce_data();
    void splitStreamPacketDecodedOnce();
    void splitResponseDecodedOnce_data();
    void splitResponseDecodedOnce();
    void coalescedPackets_data();
    void coalescedPackets();
    void garbageChangesNothing_data();
    void garbageChangesNothing();
    void heldBytesStayBounded();
};

namespace
{

// The three ways bytes reach the decoder.
constexpr int ClientModbus = 0;
constexpr int ClientRecord = 1;
constexpr int Server = 2;

QByteArray noise(int length, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray bytes(length, '\0');
    for (char &b : bytes)
        b = char(random.bounded(256));
    return bytes;
}

Reads splitAt(const QByteArray &bytes, const Lengths &points)
{
    Reads reads;
    int from = 0;
    for (int at : points) {
        reads << bytes.mid(from, at - from);
        from = at;
    }
    reads << bytes.mid(from);
    return reads;
}

void arrive(DecoderRig &r, int link, const QByteArray &bytes)
{
    if (link == Server)
        r.decoder.serverBytesArrived(bytes);
    else
        r.decoder.clientBytesArrived(bytes);
}

QByteArray leadIn()
{
    QByteArray bytes(TcpFramer::LeadInLength, '\0');
    bytes[0] = 2;
    return bytes;
}

constexpr int Response101 = 211;

} // namespace

namespace
{

TcpFramer::Expected expectedOn(int link)
{
    switch (link) {
    case ClientModbus:
        return {Response101, false, false};
    case ClientRecord:
        return {0, true, true};
    default:
        return {0, true, false};
    }
}

} // namespace

void TestTcpFraming::framerCuts_data()
{
    QTest::addColumn<int>("link");
    QTest::addColumn<Reads>("reads");
    QTest::addColumn<int>("gapMs");
    QTest::addColumn<Lengths>("packets");
    QTest::addColumn<int>("held");
    const QByteArray response = tcpResponse(101);
    const QByteArray stream = streamPacket();
    QTest::newRow("whole response") << ClientModbus << Reads{response} << 0 << Lengths{211} << 0;
    QTest::newRow("echo") << Server << Reads{echo()} << 0 << Lengths{12} << 0;
    QTest::newRow("response in two")
        << ClientModbus << splitAt(response, {100}) << 0 << Lengths{211} << 0;
    QTest::newRow("response cut inside its head")
        << ClientModbus << splitAt(response, {3}) << 0 << Lengths{211} << 0;
    QTest::newRow("stream and a part of the next")
        << Server << Reads{stream + stream.left(700)} << 0 << Lengths{1200} << 700;
    QTest::newRow("stream and the first bytes of the next")
        << Server << Reads{stream + stream.left(3)} << 0 << Lengths{1200} << 3;
    QTest::newRow("held bytes not continued are dropped")
        << Server << Reads{stream.left(600), stream} << 0 << Lengths{1200} << 0;
    QTest::newRow("held bytes dropped after a pause")
        << Server << Reads{stream.left(600), stream.mid(600)} << 501 << Lengths{600} << 0;
    QTest::newRow("a short pause keeps them")
        << Server << Reads{stream.left(600), stream.mid(600)} << 500 << Lengths{1200} << 0;
    QTest::newRow("unknown head: one packet as received")
        << Server << Reads{noise(300, 1)} << 0 << Lengths{300} << 0;
    QTest::newRow("packet then stray bytes: one packet")
        << ClientModbus << Reads{response + QByteArray(2, '\0')} << 0 << Lengths{213} << 0;
    QTest::newRow("stream packet not expected in Modbus mode")
        << ClientModbus << splitAt(stream, {600}) << 0 << Lengths{600, 600} << 0;
    QTest::newRow("response not expected on the server link")
        << Server << Reads{response} << 0 << Lengths{211} << 0;
    QTest::newRow("lead-in dropped on the client link")
        << ClientRecord << Reads{leadIn() + stream} << 0 << Lengths{1200} << 0;
    QTest::newRow("lead-in with part of a packet")
        << ClientRecord << Reads{(leadIn() + stream).left(300)} << 0 << Lengths{} << 100;
    QTest::newRow("no lead-in on the server link")
        << Server << Reads{leadIn() + stream} << 0 << Lengths{1400} << 0;
    QTest::newRow("Modbus head of an unexpected length")
        << ClientModbus << Reads{QByteArray::fromHex("0000000000ff01030000")} << 0 << Lengths{10}
        << 0;
}

void TestTcpFraming::framerCuts()
{
    QFETCH(int, link);
    QFETCH(Reads, reads);
    QFETCH(int, gapMs);
    QFETCH(Lengths, packets);
    QFETCH(int, held);
    TcpFramer framer;
    Lengths cut;
    qint64 now = 1000;
    for (const QByteArray &read : reads) {
        for (const QByteArray &packet : framer.take(read, expectedOn(link), now))
            cut << int(packet.size());
        now += gapMs;
    }
    QCOMPARE(cut, packets);
    QCOMPARE(framer.heldBytes(), held);
}

void TestTcpFraming::splitStreamPacketDecodedOnce_data()
{
    QTest::addColumn<bool>("server");
    QTest::addColumn<Lengths>("points");
    for (bool server : {true, false}) {
        const char *link = server ? "server" : "client";
        for (const Lengths &points : {Lengths{1}, Lengths{5}, Lengths{6}, Lengths{200},
                                      Lengths{600}, Lengths{1199}, Lengths{1, 2, 600, 1198}})
            QTest::addRow("%s, cut at %s", link, QByteArray::number(points.first()).constData())
                << server << points;
    }
}

void TestTcpFraming::splitStreamPacketDecodedOnce()
{
    QFETCH(bool, server);
    QFETCH(Lengths, points);
    DecoderRig r;
    r.poll.recordMode = !server;
    const Reads reads = splitAt(streamPacket({{1, 3}}), points);
    for (int i = 0; i < reads.size(); ++i) {
        QCOMPARE(r.manual.count(), 0);
        if (server)
            r.decoder.serverBytesArrived(reads[i]);
        else
            r.decoder.clientBytesArrived(reads[i]);
    }
    QCOMPARE(r.manual.count(), 100);
    QCOMPARE(r.field(11), QStringLiteral("3"));
    QCOMPARE(r.field(1), QStringLiteral("5.9202"));
    QCOMPARE(r.ring.writeIndex(), 100);
    QCOMPARE(r.intensity.count(), 1);
}

void TestTcpFraming::splitResponseDecodedOnce_data()
{
    QTest::addColumn<Lengths>("points");
    for (const Lengths &points : {Lengths{6}, Lengths{8}, Lengths{9}, Lengths{100}, Lengths{210},
                                  Lengths{7, 8, 9, 10, 209}})
        QTest::addRow("cut at %d", points.first()) << points;
}

void TestTcpFraming::splitResponseDecodedOnce()
{
    QFETCH(Lengths, points);
    DecoderRig r;
    for (const QByteArray &read : splitAt(tcpResponse(101, {{1, 1000}}), points)) {
        QCOMPARE(r.poll.clientAnswers, 0);
        r.decoder.clientBytesArrived(read);
    }
    QCOMPARE(r.poll.clientAnswers, 1);
    QCOMPARE(r.field(1), QStringLiteral("59.80"));
    QCOMPARE(r.links.clientSends.size(), 1);
    QCOMPARE(r.manual.count(), 1);
}

void TestTcpFraming::coalescedPackets_data()
{
    QTest::addColumn<int>("link");
    QTest::addColumn<Reads>("reads");
    QTest::addColumn<int>("samples");
    QTest::addColumn<int>("answers");
    const QByteArray response = tcpResponse(101, {{1, 1000}});
    const QByteArray stream = streamPacket();
    const QByteArray two = stream + stream;
    QTest::newRow("echo and response") << ClientModbus << Reads{echo() + response} << 1 << 1;
    QTest::newRow("response and echo") << ClientModbus << Reads{response + echo()} << 1 << 1;
    QTest::newRow("two responses") << ClientModbus << Reads{response + response} << 2 << 2;
    QTest::newRow("two responses over three reads")
        << ClientModbus << splitAt(response + response, {150, 300}) << 2 << 2;
    QTest::newRow("echo and stream packet") << ClientRecord << Reads{echo() + stream} << 100 << 0;
    QTest::newRow("two stream packets") << Server << Reads{two} << 200 << 0;
    QTest::newRow("one and a half, then the rest") << Server << splitAt(two, {1800}) << 200 << 0;
    for (int cut : {1201, 1202, 1205}) {
        QTest::addRow("server: one and %d bytes, then the rest", cut - 1200)
            << Server << splitAt(two, {cut}) << 200 << 0;
        QTest::addRow("Record mode: one and %d bytes, then the rest", cut - 1200)
            << ClientRecord << splitAt(two, {cut}) << 200 << 0;
    }
    QTest::newRow("lead-in and packet in two reads")
        << ClientRecord << splitAt(leadIn() + stream, {300}) << 100 << 0;
}

void TestTcpFraming::coalescedPackets()
{
    QFETCH(int, link);
    QFETCH(Reads, reads);
    QFETCH(int, samples);
    QFETCH(int, answers);
    DecoderRig r;
    r.poll.recordMode = link == ClientRecord;
    for (const QByteArray &read : reads)
        arrive(r, link, read);
    QCOMPARE(r.manual.count(), samples);
    QCOMPARE(r.poll.clientAnswers, answers);
    QTRY_COMPARE(r.links.clientSends.size(), answers); // reads keep to the device's pace
}

void TestTcpFraming::garbageChangesNothing_data()
{
    QTest::addColumn<int>("link");
    QTest::addColumn<Reads>("garbage");
    const QByteArray stream = streamPacket();
    QByteArray hugeLength = QByteArray::fromHex("00000000ffff");
    QByteArray badYear = streamPacket({{1, 3}});
    badYear[5] = 8;
    for (int link : {ClientModbus, ClientRecord, Server}) {
        const QByteArray name = QByteArray::number(link);
        QTest::addRow("%s: empty read", name.constData()) << link << Reads{QByteArray()};
        for (int length : {1, 5, 6, 11, 13, 199, 211, 1199, 1201, 1400, 5000})
            QTest::addRow("%s: %d noise bytes", name.constData(), length)
                << link << Reads{noise(length, quint32(length))};
        QTest::addRow("%s: Modbus head claiming 64 KiB", name.constData())
            << link << Reads{hugeLength + noise(100, 3)};
        QTest::addRow("%s: stream head, packet never finished", name.constData())
            << link << Reads{stream.left(600)};
        QTest::addRow("%s: stream packet failing its test", name.constData())
            << link << Reads{badYear};
        QTest::addRow("%s: noise in many small reads", name.constData())
            << link << splitAt(noise(3000, 9), {1, 7, 13, 500, 1201, 2400});
    }
}

void TestTcpFraming::garbageChangesNothing()
{
    QFETCH(int, link);
    QFETCH(Reads, garbage);
    DecoderRig r;
    r.poll.recordMode = link == ClientRecord;
    const QByteArray good =
        link == ClientModbus ? tcpResponse(101, {{1, 1000}}) : streamPacket({{1, 3}});
    arrive(r, link, good);
    const QStringList before = r.fieldTexts();
    const qsizetype samples = r.manual.count();
    for (const QByteArray &read : garbage)
        arrive(r, link, read);
    QCOMPARE(r.fieldTexts(), before);
    QCOMPARE(r.manual.count(), samples);
    // The link is not stuck: the next good packet decodes, once.
    const QByteArray next =
        link == ClientModbus ? tcpResponse(101, {{1, 2000}}) : streamPacket({{1, 5}});
    arrive(r, link, next);
    QCOMPARE(r.field(link == ClientModbus ? 1 : 11),
             link == ClientModbus ? QStringLiteral("119.60") : QStringLiteral("5"));
    QCOMPARE(r.manual.count(), samples + (link == ClientModbus ? 1 : 100));
}

void TestTcpFraming::heldBytesStayBounded()
{
    TcpFramer framer;
    const QByteArray stream = streamPacket();
    int largest = 0;
    for (int i = 0; i < 200; ++i) {
        framer.take(i % 3 ? noise(97 * i % 1500, quint32(i)) : stream.left(1199),
                    expectedOn(ClientRecord), i);
        largest = qMax(largest, framer.heldBytes());
    }
    QVERIFY2(largest < TcpFramer::StreamLength, qPrintable(QString::number(largest)));
    QCOMPARE(largest, 1199);
}

QTEST_GUILESS_MAIN(TestTcpFraming)
#include "tst_tcpframing.moc"
