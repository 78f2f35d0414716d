#include "ModbusPdu.h"

namespace devsim
{

namespace
{

constexpr uint8_t readHolding = 3;
constexpr uint8_t writeSingle = 6;
constexpr uint8_t writeMultiple = 16;
constexpr int maxWriteCount = 123;

uint16_t bigEndian(const uint8_t *p)
{
    return uint16_t(p[0] << 8 | p[1]);
}

void putBig(Bytes &out, uint16_t v)
{
    out.push_back(uint8_t(v >> 8));
    out.push_back(uint8_t(v & 0xFF));
}

Answer exception(uint8_t function, Exception code)
{
    return {Bytes{uint8_t(function | 0x80), uint8_t(code)}, StreamCommand::none};
}

Answer readRegisters(Device &device, const uint8_t *pdu, size_t length)
{
    if (length != 5)
        return exception(readHolding, illegalValue);
    std::vector<uint16_t> values;
    const Exception e = device.read(bigEndian(pdu + 1), bigEndian(pdu + 3), values);
    if (e != noException)
        return exception(readHolding, e);
    Answer a;
    a.pdu = {readHolding, uint8_t(2 * values.size())};
    for (uint16_t v : values)
        putBig(a.pdu, v);
    return a;
}

Answer writeRegister(Device &device, const uint8_t *pdu, size_t length)
{
    if (length != 5)
        return exception(writeSingle, illegalValue);
    const WriteOutcome w = device.write(bigEndian(pdu + 1), bigEndian(pdu + 3));
    if (w.exception != noException)
        return exception(writeSingle, w.exception);
    return {Bytes(pdu, pdu + length), w.stream};
}

Answer writeRegisters(Device &device, const uint8_t *pdu, size_t length)
{
    if (length < 6)
        return exception(writeMultiple, illegalValue);
    const int start = bigEndian(pdu + 1);
    const int count = bigEndian(pdu + 3);
    const size_t byteCount = pdu[5];
    if (count < 1 || count > maxWriteCount || byteCount != size_t(2 * count) ||
        length != 6 + byteCount)
        return exception(writeMultiple, illegalValue);
    Answer a;
    for (int i = 0; i < count; ++i) {
        const WriteOutcome w = device.write(start + i, bigEndian(pdu + 6 + 2 * i));
        if (w.exception != noException)
            return exception(writeMultiple, w.exception);
        if (w.stream != StreamCommand::none)
            a.stream = w.stream;
    }
    a.pdu = Bytes(pdu, pdu + 5);
    return a;
}

} // namespace

Answer answerPdu(Device &device, const uint8_t *pdu, size_t length)
{
    if (length == 0)
        return exception(0, illegalFunction);
    switch (pdu[0]) {
    case readHolding:
        return readRegisters(device, pdu, length);
    case writeSingle:
        return writeRegister(device, pdu, length);
    case writeMultiple:
        return writeRegisters(device, pdu, length);
    default:
        return exception(pdu[0], illegalFunction);
    }
}

std::string describePdu(const uint8_t *pdu, size_t length)
{
    if (length >= 5 && pdu[0] == readHolding)
        return "read " + std::to_string(bigEndian(pdu + 3)) + " from " +
               std::to_string(bigEndian(pdu + 1));
    if (length >= 5 && pdu[0] == writeSingle)
        return "write " + std::to_string(bigEndian(pdu + 1)) + " = " +
               std::to_string(bigEndian(pdu + 3));
    if (length >= 5 && pdu[0] == writeMultiple)
        return "write " + std::to_string(bigEndian(pdu + 3)) + " from " +
               std::to_string(bigEndian(pdu + 1));
    return length ? "function " + std::to_string(pdu[0]) : "empty request";
}

uint16_t crc16(const uint8_t *data, size_t length)
{
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
    }
    return crc;
}

Bytes tcpFrame(const uint8_t *requestHeader, const Bytes &pdu)
{
    Bytes out{requestHeader[0], requestHeader[1], 0, 0};
    putBig(out, uint16_t(pdu.size() + 1));
    out.push_back(requestHeader[6]);
    out.insert(out.end(), pdu.begin(), pdu.end());
    return out;
}

Bytes rtuFrame(uint8_t slave, const Bytes &pdu)
{
    Bytes out{slave};
    out.insert(out.end(), pdu.begin(), pdu.end());
    const uint16_t crc = crc16(out.data(), out.size());
    out.push_back(uint8_t(crc & 0xFF)); // low byte first on the serial line
    out.push_back(uint8_t(crc >> 8));
    return out;
}

} // namespace devsim
