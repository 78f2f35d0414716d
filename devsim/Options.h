#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace devsim
{

enum class FaultKind { none, drop, stall, garbage, split, closeAfter };

struct Fault {
    FaultKind kind = FaultKind::none;
    uint64_t closeAfterBytes = 0;
};

struct SerialSettings {
    int baud = 19200;
    char parity = 'N';
    int dataBits = 8;
    int stopBits = 1;
};

struct Options {
    bool tcp = false;
    int tcpPort = 502;
    std::string rtuDevice;
    SerialSettings serial;
    int slaveId = 101;
    std::string dialHost;
    int dialPort = 0;
    int firmware = 2095;
    int serialNumber = 1;
    std::string scenario = "quiet";
    uint64_t seed = 1;
    bool repeat = false;
    double speed = 1;
    int latencyMs = 0; // time the device takes to answer a request
    Fault fault;
    bool verbose = false;
    bool help = false;
    bool version = false;
};

// Fills options from the arguments (without the program name); false and error on bad input.
bool parseOptions(const std::vector<std::string> &args, Options &options, std::string &error);

std::string usage();

} // namespace devsim
