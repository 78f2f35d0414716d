#pragma once

#include "common/LiveFields.h"
#include "link/ModbusFrames.h"

#include <QByteArray>
#include <QMap>
#include <QStringList>

// Byte images of what the device sends, for the decoder tests.
namespace DevicePackets
{

// Modbus TCP response to the poll: MBAP header, function 3, byte count 2N, N registers.
inline QByteArray tcpResponse(int registers, const QMap<int, quint16> &words = {})
{
    QByteArray p(9 + 2 * registers, '\0');
    const int length = 3 + 2 * registers;
    p[4] = char(length >> 8);
    p[5] = char(length & 0xFF);
    p[6] = 1;
    p[7] = 3;
    p[8] = char(2 * registers);
    for (auto it = words.begin(); it != words.end(); ++it) {
        p[9 + 2 * it.key()] = char(it.value() >> 8);
        p[10 + 2 * it.key()] = char(it.value() & 0xFF);
    }
    return p;
}

// RTU response: address, function 3, byte count, registers, CRC.
inline QByteArray rtuResponse(int registers, const QMap<int, quint16> &words = {},
                              quint8 address = 1)
{
    QByteArray p(5 + 2 * registers, '\0');
    p[0] = char(address);
    p[1] = 3;
    p[2] = char(2 * registers);
    for (auto it = words.begin(); it != words.end(); ++it) {
        p[3 + 2 * it.key()] = char(it.value() >> 8);
        p[4 + 2 * it.key()] = char(it.value() & 0xFF);
    }
    ModbusFrames::ModbusCrc16(p, int(p.size()) - 1);
    return p;
}

inline void putLittleEndian(QByteArray &p, int at, quint16 word)
{
    p[at] = char(word & 0xFF);
    p[at + 1] = char(word >> 8);
}

struct Sample {
    qint16 a = 0, b = 0, c = 0, pd = 0, displacement = 0;
};

// A 1200-byte stream packet: type 1, flags 0, device year 2024, event 2024/03/07 08:05:09,
// the header words given, and sample s = {s, -s, 2s, 10s, 20s} unless `sampleOf` says else.
inline QByteArray streamPacket(const QMap<int, quint16> &header = {},
                               Sample (*sampleOf)(int) = nullptr)
{
    QByteArray p(1200, '\0');
    const QMap<int, quint16> defaults = {{0, 1}, {2, 2024}, {3, 3},  {4, 7},  {8, 2024},
                                         {9, 3}, {10, 7},   {11, 8}, {12, 5}, {13, 9}};
    for (auto it = defaults.begin(); it != defaults.end(); ++it)
        putLittleEndian(p, 2 * it.key(), it.value());
    for (auto it = header.begin(); it != header.end(); ++it)
        putLittleEndian(p, 2 * it.key(), it.value());
    for (int s = 0; s < 100; ++s) {
        const Sample v =
            sampleOf ? sampleOf(s)
                     : Sample{qint16(s), qint16(-s), qint16(2 * s), qint16(10 * s), qint16(20 * s)};
        const int at = 200 + 10 * s;
        putLittleEndian(p, at, quint16(v.a));
        putLittleEndian(p, at + 2, quint16(v.b));
        putLittleEndian(p, at + 4, quint16(v.c));
        putLittleEndian(p, at + 6, quint16(v.pd));
        putLittleEndian(p, at + 8, quint16(v.displacement));
    }
    return p;
}

// The device's answer to a write of one register.
inline QByteArray echo()
{
    return QByteArray::fromHex("000000000006010600c00001");
}

// The texts of the fields the device's words fill (the derived copies are left out: every
// packet, decoded or not, recomputes them from these).
inline QStringList deviceFieldTexts(const LiveFields &fields)
{
    QStringList texts;
    for (int i = 0; i <= 102; ++i)
        texts << fields.text(i);
    for (int i : {228, 229, 230, 235, 237, 248})
        texts << fields.text(i);
    return texts;
}

} // namespace DevicePackets
