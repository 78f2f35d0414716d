#include "ModbusFrames.h"

#include "common/NumberText.h"

#include <array>

namespace ModbusFrames
{

namespace
{

// The Modbus serial line's two tables are the low and high bytes of the reflected 0xA001
// CRC table; building them from the polynomial gives exactly the published entries
// (0x00 0xC1 0x81 0x40 ... and 0x00 0xC0 0xC1 0x01 ...).
struct CrcTables {
    std::array<quint8, 256> first{};  // XORed into the low half
    std::array<quint8, 256> second{}; // becomes the high half
};

constexpr CrcTables makeTables()
{
    CrcTables t;
    for (int i = 0; i < 256; ++i) {
        quint16 crc = quint16(i);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
        t.first[i] = quint8(crc & 0xFF);
        t.second[i] = quint8(crc >> 8);
    }
    return t;
}

constexpr CrcTables Tables = makeTables();
static_assert(Tables.first[1] == 0xC1 && Tables.first[2] == 0x81 && Tables.first[3] == 0x40);
static_assert(Tables.second[1] == 0xC0 && Tables.second[2] == 0xC1 && Tables.second[3] == 0x01);

// Every request is 12 bytes: room for the PDU is made at once.
QByteArray mbapHeader(quint8 unit)
{
    QByteArray frame;
    frame.reserve(12);
    frame.append(5, '\0');
    frame.append(char(6)); // unit identifier plus the five PDU bytes
    frame.append(char(unit));
    return frame;
}

} // namespace

void ModbusCrc16(QByteArray &frame, int lastIndex)
{
    if (lastIndex < 1 || lastIndex >= frame.size())
        return;
    quint8 crcLow = 0xFF;
    quint8 crcHigh = 0xFF;
    for (int i = 0; i <= lastIndex - 2; ++i) {
        const quint8 index = quint8(frame[i]) ^ crcLow;
        crcLow = crcHigh ^ Tables.first[index];
        crcHigh = Tables.second[index];
    }
    frame[lastIndex - 1] = char(crcLow);
    frame[lastIndex] = char(crcHigh);
}

bool splitRegister(qint64 reg, char *high, char *low)
{
    if (!NumberText::fitsRegister(reg))
        return false;
    *high = char(reg / 256);
    *low = char(reg % 256);
    return true;
}

bool splitValue(qint64 value, char *high, char *low)
{
    if (!NumberText::fitsWord(value))
        return false;
    if (value < 0)
        value += 65536;
    *high = char(value / 256);
    *low = char(value % 256);
    return true;
}

QByteArray rtuReadHolding(quint8 address, int count)
{
    QByteArray frame(8, '\0');
    frame[0] = char(address);
    frame[1] = 3;
    frame[3] = char(PollStartRegister);
    frame[5] = char(count & 0xFF);
    ModbusCrc16(frame, 7);
    return frame;
}

std::optional<QByteArray> rtuWriteSingle(quint8 address, qint64 reg, qint64 value)
{
    QByteArray frame(8, '\0');
    frame[0] = char(address);
    frame[1] = 6;
    if (!splitRegister(reg, &frame[2], &frame[3]) || !splitValue(value, &frame[4], &frame[5]))
        return std::nullopt;
    ModbusCrc16(frame, 7);
    return frame;
}

QByteArray tcpReadHolding(quint8 unit, int count)
{
    QByteArray frame = mbapHeader(unit);
    frame.append(char(3)).append(char(0)).append(char(PollStartRegister));
    frame.append(char(0)).append(char(count & 0xFF));
    return frame;
}

std::optional<QByteArray> tcpWriteSingle(quint8 unit, qint64 reg, qint64 value)
{
    QByteArray pdu(5, '\0');
    pdu[0] = 6;
    if (!splitRegister(reg, &pdu[1], &pdu[2]) || !splitValue(value, &pdu[3], &pdu[4]))
        return std::nullopt;
    return mbapHeader(unit) + pdu;
}

namespace
{

constexpr int MbapLength = 6;
constexpr int TcpFunctionAt = 7;
constexpr int TcpByteCountAt = 8;
constexpr int WriteAnswerLength = 12;
constexpr int RtuOverhead = 5; // address, function, byte count, two CRC bytes

quint8 at(const QByteArray &bytes, int i)
{
    return quint8(bytes[i]);
}

// Protocol identifier 0, a length field that counts the bytes behind it, and the unit.
bool hasTcpHeader(const QByteArray &packet, quint8 unit)
{
    return packet.size() > TcpFunctionAt && at(packet, 2) == 0 && at(packet, 3) == 0 &&
           at(packet, 4) * 256 + at(packet, 5) == packet.size() - MbapLength &&
           at(packet, 6) == unit;
}

bool hasValidCrc(const QByteArray &frame)
{
    QByteArray copy = frame;
    const int lastIndex = int(frame.size()) - 1;
    ModbusCrc16(copy, lastIndex);
    return copy.right(2) == frame.right(2);
}

} // namespace

bool isTcpReadAnswer(const QByteArray &packet, quint8 unit, int byteCount)
{
    return packet.size() == TcpByteCountAt + 1 + byteCount && hasTcpHeader(packet, unit) &&
           at(packet, TcpFunctionAt) == 3 && at(packet, TcpByteCountAt) == byteCount;
}

bool isTcpWriteAnswer(const QByteArray &packet, quint8 unit)
{
    return packet.size() == WriteAnswerLength && hasTcpHeader(packet, unit) &&
           (at(packet, TcpFunctionAt) == 6 || at(packet, TcpFunctionAt) == 16);
}

bool isRtuReadAnswer(const QByteArray &frame, quint8 address, int byteCount)
{
    return frame.size() == byteCount + RtuOverhead && at(frame, 0) == address &&
           at(frame, 1) == 3 && at(frame, 2) == byteCount && hasValidCrc(frame);
}

} // namespace ModbusFrames
