#include "Options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <sstream>

namespace devsim
{

namespace
{

bool toInt(const std::string &text, long min, long max, long &out)
{
    if (text.empty())
        return false;
    char *end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < min || v > max)
        return false;
    out = v;
    return true;
}

bool parseSerial(const std::string &text, SerialSettings &out)
{
    std::istringstream in(text);
    std::string baud, parity, data, stop;
    long b = 0, d = 0, s = 0;
    if (!std::getline(in, baud, ',') || !std::getline(in, parity, ',') ||
        !std::getline(in, data, ',') || !std::getline(in, stop) || parity.size() != 1)
        return false;
    const char p = char(std::toupper(static_cast<unsigned char>(parity[0])));
    if ((p != 'N' && p != 'E' && p != 'O') || !toInt(baud, 50, 4000000, b) ||
        !toInt(data, 5, 8, d) || !toInt(stop, 1, 2, s))
        return false;
    out = {int(b), p, int(d), int(s)};
    return true;
}

bool parseFault(const std::string &text, Fault &out)
{
    static const std::map<std::string, FaultKind> simple = {{"drop", FaultKind::drop},
                                                            {"stall", FaultKind::stall},
                                                            {"garbage", FaultKind::garbage},
                                                            {"split", FaultKind::split}};
    const auto it = simple.find(text);
    if (it != simple.end()) {
        out = {it->second, 0};
        return true;
    }
    const std::string prefix = "close-after=";
    long n = 0;
    if (text.compare(0, prefix.size(), prefix) != 0 ||
        !toInt(text.substr(prefix.size()), 0, 1L << 40, n))
        return false;
    out = {FaultKind::closeAfter, uint64_t(n)};
    return true;
}

bool parseHostPort(const std::string &text, std::string &host, int &port)
{
    const size_t colon = text.rfind(':');
    long p = 0;
    if (colon == std::string::npos || colon == 0 || !toInt(text.substr(colon + 1), 1, 65535, p))
        return false;
    host = text.substr(0, colon);
    port = int(p);
    return true;
}

bool parseSpeed(const std::string &text, double &out)
{
    char *end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(v) || v <= 0 || v > 10000)
        return false;
    out = v;
    return true;
}

using Handler = std::function<bool(const std::string &, Options &)>;

bool intInto(const std::string &v, long min, long max, int &out)
{
    long n = 0;
    if (!toInt(v, min, max, n))
        return false;
    out = int(n);
    return true;
}

const std::map<std::string, Handler> &valueOptions()
{
    static const std::map<std::string, Handler> handlers = {
        {"--tcp",
         [](const std::string &v, Options &o) { return o.tcp = intInto(v, 0, 65535, o.tcpPort); }},
        {"--rtu",
         [](const std::string &v, Options &o) {
             o.rtuDevice = v;
             return !v.empty();
         }},
        {"--baud", [](const std::string &v, Options &o) { return parseSerial(v, o.serial); }},
        {"--id", [](const std::string &v, Options &o) { return intInto(v, 1, 247, o.slaveId); }},
        {"--dial",
         [](const std::string &v, Options &o) { return parseHostPort(v, o.dialHost, o.dialPort); }},
        {"--firmware",
         [](const std::string &v, Options &o) { return intInto(v, 0, 32767, o.firmware); }},
        {"--serial",
         [](const std::string &v, Options &o) { return intInto(v, 0, 32767, o.serialNumber); }},
        {"--scenario",
         [](const std::string &v, Options &o) {
             o.scenario = v;
             return !v.empty();
         }},
        {"--seed",
         [](const std::string &v, Options &o) {
             long n = 0;
             const bool ok = toInt(v, 0, 0x7FFFFFFFL, n);
             o.seed = uint64_t(n);
             return ok;
         }},
        {"--speed", [](const std::string &v, Options &o) { return parseSpeed(v, o.speed); }},
        {"--latency",
         [](const std::string &v, Options &o) { return intInto(v, 0, 10000, o.latencyMs); }},
        {"--fault", [](const std::string &v, Options &o) { return parseFault(v, o.fault); }},
    };
    return handlers;
}

} // namespace

bool parseOptions(const std::vector<std::string> &args, Options &options, std::string &error)
{
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        const size_t eq = name.find('=');
        const bool inlineValue = name.rfind("--", 0) == 0 && eq != std::string::npos;
        if (inlineValue) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        if (name == "--help" || name == "-h") {
            options.help = true;
            continue;
        }
        if (name == "--version") {
            options.version = true;
            continue;
        }
        if (name == "-v" || name == "--verbose") {
            options.verbose = true;
            continue;
        }
        if (name == "--repeat") {
            options.repeat = true;
            continue;
        }
        const auto it = valueOptions().find(name);
        if (it == valueOptions().end()) {
            error = "unknown option " + name;
            return false;
        }
        if (!inlineValue) {
            if (i + 1 >= args.size()) {
                error = name + " needs a value";
                return false;
            }
            value = args[++i];
        }
        if (!it->second(value, options)) {
            error = "bad value for " + name + ": " + value;
            return false;
        }
    }
    if (options.rtuDevice.empty() && options.dialHost.empty())
        options.tcp = true; // a plain start serves Modbus TCP
    return true;
}

std::string usage()
{
    return "Usage: vorsa-devsim [options]\n"
           "Simulates a Vorsa P-wave alert device for the monitoring station.\n"
           "\n"
           "Links (several may run at once; Modbus TCP on port 502 when none is given):\n"
           "  --tcp PORT            Modbus TCP server on PORT (0 picks a free port)\n"
           "  --rtu DEVICE          Modbus RTU server on a serial port\n"
           "  --baud SETTINGS       serial settings, default 19200,N,8,1\n"
           "  --id N                RTU slave address, default 101\n"
           "  --dial HOST:PORT      connect to a station's server link, redial when dropped\n"
           "Device:\n"
           "  --firmware N          firmware version, default 2095\n"
           "  --serial N            serial number, default 1\n"
           "  --scenario S          quiet, quake or a recorded event FILE.csv; default quiet\n"
           "  --seed N              seed of the noise and the quake's waveforms, default 1\n"
           "  --repeat              restart the scenario when it ends\n"
           "  --speed X             run the device clock X times faster, default 1\n"
           "  --latency MS          answer each request MS milliseconds after it came, default 0\n"
           "Tests:\n"
           "  --fault F             drop | stall | garbage | split | close-after=N\n"
           "  -v, --verbose         print every request on stderr\n"
           "  -h, --help            show this text\n"
           "  --version             show the version\n"
           "\n"
           "Prints \"listening on PORT\" on stdout once the TCP server is ready.\n";
}

} // namespace devsim
