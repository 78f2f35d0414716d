#pragma once

#include "Device.h"

#include <cstdint>
#include <string>
#include <vector>

namespace devsim
{

using Bytes = std::vector<uint8_t>;

// A request's protocol data unit (function code onwards) answered by the device.
struct Answer {
    Bytes pdu;
    StreamCommand stream = StreamCommand::none;
};

Answer answerPdu(Device &device, const uint8_t *pdu, size_t length);

// A short reading of a request for the log, such as "read 101 from 99" or "write 192 = 1".
std::string describePdu(const uint8_t *pdu, size_t length);

uint16_t crc16(const uint8_t *data, size_t length);

// Complete frames around an answer: MBAP header on TCP (transaction and unit copied from the
// request), slave address and CRC on RTU.
Bytes tcpFrame(const uint8_t *requestHeader, const Bytes &pdu);
Bytes rtuFrame(uint8_t slave, const Bytes &pdu);

} // namespace devsim
