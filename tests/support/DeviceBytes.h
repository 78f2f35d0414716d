#pragma once

#include <QByteArray>
#include <QList>

// Reading what the device sent: Modbus answers in big-endian words, stream packets (type 1,
// fixed size) in little-endian words.
namespace DeviceBytes
{

constexpr int StreamPacketSize = 1200;

// The big-endian word at byte `at`, signed unless `isUnsigned`.
inline int bigWord(const QByteArray &bytes, int at, bool isUnsigned)
{
    const int v = quint8(bytes[at]) * 256 + quint8(bytes[at + 1]);
    return isUnsigned || v < 32768 ? v : v - 65536;
}

// Signed little-endian word number `word` of a stream packet.
inline int littleWord(const QByteArray &packet, int word)
{
    const int v = quint8(packet[2 * word]) + 256 * quint8(packet[2 * word + 1]);
    return v < 32768 ? v : v - 65536;
}

// The device's packets in order: Modbus answers by their MBAP length, stream packets by their
// fixed size; an unfinished packet at the end is left out.
inline QList<QByteArray> devicePackets(const QByteArray &bytes)
{
    QList<QByteArray> packets;
    int at = 0;
    while (at + 6 <= bytes.size()) {
        const int size = bytes[at] == 1 ? StreamPacketSize : 6 + bigWord(bytes, at + 4, true);
        if (at + size > bytes.size())
            break;
        packets << bytes.mid(at, size);
        at += size;
    }
    return packets;
}

inline QList<QByteArray> streamPackets(const QByteArray &bytes)
{
    QList<QByteArray> packets;
    for (const QByteArray &packet : devicePackets(bytes))
        if (packet[0] == 1)
            packets << packet;
    return packets;
}

} // namespace DeviceBytes
