#pragma once

#include "CivilTime.h"
#include "Scenario.h"

#include <array>
#include <cstdint>
#include <map>
#include <vector>

namespace devsim
{

constexpr int registerCount = 1000; // holding registers 0..999
constexpr int firstLiveRegister = 99;
constexpr int commandRegister = 112;
constexpr int outputsRegister = 118;
constexpr int clockRegister = 152; // 152..157: year, month, day, hour, minute, second
constexpr int streamRegister = 192;
constexpr int streamPacketSize = 1200;

// Codes of the command register.
enum CommitCode : uint16_t {
    commitSystem = 2,
    commitOwnAddress = 6,
    commitClock = 8,
    commitAddresses = 18,
    firmwareUpdate = 384,
    loadDefaults = 5377,
    storeDefaults = 5378,
};

// Modbus exception codes.
enum Exception : uint8_t {
    noException = 0,
    illegalFunction = 1,
    illegalAddress = 2,
    illegalValue = 3
};

enum class StreamCommand { none, start, stop };

struct WriteOutcome {
    Exception exception = noException;
    StreamCommand stream = StreamCommand::none;
};

struct DeviceConfig {
    int firmware = 2095;
    int serial = 1;
    int slaveId = 101;
    uint64_t seed = 1;
};

// The device's registers: stored settings (staged by writes, applied by a commit code), command
// registers, and live values computed from the scenario at the current simulated time.
class Device
{
public:
    Device(const DeviceConfig &config, Scenario scenario, int64_t powerOnSeconds);

    // Moves the device's clock; live values and the stream refer to it.
    void setElapsed(double simSeconds);
    int64_t sampleIndex() const;

    Exception read(int start, int count, std::vector<uint16_t> &out) const;
    WriteOutcome write(int reg, uint16_t value);

    CivilTime deviceTime() const;
    int slaveId() const;

    // The packet that carries the samples of simulated second `second`.
    std::vector<uint8_t> streamPacket(int64_t second) const;

private:
    struct Live;
    // The maxima of one event, from its start up to a sample or to its end: a device holds
    // them after the flags return to 0, until the next event starts.
    struct EventPeaks {
        int64_t start = -1;
        int64_t upTo = -1; // last sample taken in
        bool over = false;
        double vector = 0;           // largest vector [gal]
        int axis[3] = {0, 0, 0};     // largest magnitude per axis [counts]
        int atVector[3] = {0, 0, 0}; // magnitudes of the axes in the sample of the largest vector
        int intensity = 0;
    };

    Live liveAt(int64_t index) const;
    const EventPeaks &eventPeaks(int64_t start, int64_t index) const;
    uint16_t valueOf(int reg, const Live &live) const;
    uint16_t liveValue(int reg, const Live &live) const;
    uint16_t outputsWord(const Live &live) const;
    WriteOutcome command(uint16_t code);
    void commit(int group);
    void applyClock();
    bool acceptsCommit(int reg, uint16_t value) const;
    CivilTime timeAt(int64_t index) const;
    void setHeader(std::vector<uint8_t> &packet, const Live &live) const;

    Scenario scenario_;
    uint64_t seed_;
    int64_t powerOn_;
    int64_t clockOffset_ = 0;
    double elapsed_ = 0;
    uint16_t manualOutputs_ = 0;
    std::array<uint16_t, registerCount> stored_{};
    std::array<uint16_t, registerCount> defaults_{};
    std::array<int, registerCount> commitGroup_{}; // 0: not a stored setting
    std::map<int, uint16_t> staged_;
    mutable EventPeaks peaks_; // reads and packets move forward, so it grows sample by sample
};

} // namespace devsim
