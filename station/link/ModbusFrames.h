#pragma once

#include <QByteArray>
#include <optional>

// Modbus frames, byte for byte: the poll's read of the live registers from 99 and the write
// of one register, as RTU frames (with CRC) and as Modbus TCP frames (MBAP header, no CRC).
namespace ModbusFrames
{

constexpr int PollStartRegister = 99;
constexpr int StreamControlRegister = 192;
constexpr int CommandRegister = 112;

// CRC-16/MODBUS over frame[0 .. lastIndex-2], stored low byte at lastIndex-1 and high byte at
// lastIndex, computed byte-wise with the two 256-entry tables of the Modbus serial line.
void ModbusCrc16(QByteArray &frame, int lastIndex);

// Register and value as two bytes each. A register outside 0..65535 or a value outside
// -32768..65535 (negatives travel as value + 65536) cannot be split: false, nothing written.
bool splitRegister(qint64 reg, char *high, char *low);
bool splitValue(qint64 value, char *high, char *low);

QByteArray rtuReadHolding(quint8 address, int count);
std::optional<QByteArray> rtuWriteSingle(quint8 address, qint64 reg, qint64 value);
QByteArray tcpReadHolding(quint8 unit, int count);
std::optional<QByteArray> tcpWriteSingle(quint8 unit, qint64 reg, qint64 value);

// What the station accepts from the device. A Modbus TCP answer to the poll: protocol
// identifier 0, a length field that matches the bytes, the poll's unit identifier, function 3
// and `byteCount` register bytes (the transaction identifier is not looked at: requests are
// not numbered).
bool isTcpReadAnswer(const QByteArray &packet, quint8 unit, int byteCount);
// The device's 12-byte answer to a write of one register (function 6) or of several
// (function 16, the clock).
bool isTcpWriteAnswer(const QByteArray &packet, quint8 unit);
// An RTU answer to the poll: the poll's address, function 3, `byteCount` register bytes and a
// CRC that matches.
bool isRtuReadAnswer(const QByteArray &frame, quint8 address, int byteCount);

} // namespace ModbusFrames
