#include "Device.h"

#include <algorithm>
#include <cmath>

namespace devsim
{

namespace
{

constexpr double thresholdScale = 16.7184; // gal to register counts of the PGA thresholds

struct SettingDefault {
    int reg;
    int group;
    int value;
};

// Offsets of the axes at rest, in raw counts, as a mounted sensor reports them.
constexpr int16_t axisOffsets[3] = {12, -8, 20};

constexpr int headerWords = 100;
constexpr int sampleWords = 5;

// Header word -> register, for the words whose value is the register's as read by Modbus.
constexpr std::pair<int, int> headerRegisters[] = {
    {1, 110},  {2, 146},  {3, 147},  {4, 148},  {5, 149},  {6, 150},  {7, 151},  {8, 140},
    {9, 141},  {10, 142}, {11, 143}, {12, 144}, {13, 145}, {14, 199}, {15, 196}, {16, 124},
    {17, 125}, {18, 139}, {19, 134}, {20, 161}, {21, 160}, {22, 159}, {23, 138}, {24, 163},
    {25, 120}, {26, 108}, {27, 109}, {29, 126}, {30, 137}, {31, 162}, {32, 117}, {33, 194},
    {34, 198}, {35, 179}, {36, 180}, {37, 181}, {38, 182}, {39, 175}, {40, 176}, {41, 177},
    {42, 178}, {43, 170}, {44, 171}, {45, 172}, {46, 173}, {47, 191}, {48, 99},  {49, 118},
    {50, 197}, {51, 136}, {54, 107}, {55, 128}, {56, 129}, {57, 130}, {58, 131}, {59, 132},
    {60, 133}, {75, 201}, {76, 202},
};
constexpr int pgaNowWord = 28; // carries PGA now in threshold units, unlike its register

uint16_t word(long v)
{
    return uint16_t(int16_t(std::clamp(v, -32768L, 32767L)));
}

double vectorGal(const Sample &s)
{
    return std::sqrt(double(s.a) * s.a + double(s.b) * s.b + double(s.c) * s.c) * galPerCount;
}

std::vector<SettingDefault> settingDefaults(const DeviceConfig &config)
{
    std::vector<SettingDefault> out = {
        // system settings, applied by code 2
        {113, commitSystem, 8},     // time zone
        {114, commitSystem, 5},     // STA length [0.1 s]
        {115, commitSystem, 100},   // LTA length [0.1 s]
        {116, commitSystem, 40},    // STA/LTA threshold
        {117, commitSystem, 0},     // option word: Taiwan scale
        {119, commitSystem, 30},    // seismic alarm time
        {120, commitSystem, 418},   // PGA watch 25 gal
        {121, commitSystem, 0},     // offset records
        {122, commitSystem, 25},    // DO 0 trigger [gal]
        {123, commitSystem, 80},    // DO 1 trigger [gal]
        {159, commitSystem, 500},   // displacement warning 0.5 cm
        {160, commitSystem, 1337},  // PGA warning 80 gal
        {161, commitSystem, 350},   // Pd warning 0.35 cm
        {162, commitSystem, 7},     // trigger word: displacement, Pd, PGA
        {163, commitSystem, 200},   // Pd watch 0.2 cm
        {164, commitSystem, 0},     // a_0g
        {165, commitSystem, 0},     // b_0g
        {166, commitSystem, 0},     // c_0g
        {167, commitSystem, 10000}, // calibration factors
        {168, commitSystem, 10000},
        {169, commitSystem, 10000},
        {194, commitSystem, 3 * 256 + 5}, // watch 3 s, warning 5 s
        {196, commitSystem, 300},         // displacement watch 0.3 cm
        {198, commitSystem, config.firmware},
        {199, commitSystem, config.serial},
        {200, commitSystem, 1}, // Modbus RTU port
        {201, commitSystem, 4}, // eews DO 0 intensity
        {202, commitSystem, 5}, // eews DO 1 intensity
        {205, commitSystem, 0}, // mounting angle [0.1 deg]
        // own network identity, applied by code 6
        {179, commitOwnAddress, 192},
        {180, commitOwnAddress, 168},
        {181, commitOwnAddress, 1},
        {182, commitOwnAddress, 10},
        {183, commitOwnAddress, 255},
        {184, commitOwnAddress, 255},
        {185, commitOwnAddress, 255},
        {186, commitOwnAddress, 0},
        {187, commitOwnAddress, 192},
        {188, commitOwnAddress, 168},
        {189, commitOwnAddress, 1},
        {190, commitOwnAddress, 1},
        {193, commitOwnAddress, config.slaveId},
        // server, NTP and display addresses, applied by code 18
        {170, commitAddresses, 192},
        {171, commitAddresses, 168},
        {172, commitAddresses, 1},
        {173, commitAddresses, 1},
        {175, commitAddresses, 192 * 256 + 168},
        {176, commitAddresses, 1 * 256 + 100},
        {177, commitAddresses, 0},
        {178, commitAddresses, 0},
        {203, commitAddresses, 192 * 256 + 168},
        {204, commitAddresses, 1 * 256 + 50},
    };
    for (int r = clockRegister; r < clockRegister + 6; ++r)
        out.push_back({r, commitClock, 0});
    return out;
}

uint16_t timeWord(const CivilTime &t, int field)
{
    const int fields[6] = {t.year, t.month, t.day, t.hour, t.minute, t.second};
    return word(fields[field]);
}

void putLittle(std::vector<uint8_t> &packet, int wordIndex, uint16_t v)
{
    packet[size_t(2 * wordIndex)] = uint8_t(v & 0xFF);
    packet[size_t(2 * wordIndex + 1)] = uint8_t(v >> 8);
}

} // namespace

struct Device::Live {
    int64_t index = 0;
    Sample sample;
    EventStatus status;
    double pgaNow = 0;           // largest vector of the last second [gal]
    double pgaMax10s = 0;        // largest vector of the last ten seconds [gal]
    int peak[3] = {0, 0, 0};     // largest magnitude per axis in the last second [counts]
    int pgd = 0;                 // largest displacement magnitude in the last second [1/1000 cm]
    double vectorMax = 0;        // the last ten seconds', or the event's largest vector [gal]
    int compound[3] = {0, 0, 0}; // axes of the event's largest vector [counts]
    CivilTime now;
    CivilTime event;
};

Device::Device(const DeviceConfig &config, Scenario scenario, int64_t powerOnSeconds)
    : scenario_(std::move(scenario)), seed_(config.seed), powerOn_(powerOnSeconds)
{
    for (const SettingDefault &s : settingDefaults(config)) {
        stored_[size_t(s.reg)] = word(s.value);
        commitGroup_[size_t(s.reg)] = s.group;
    }
    defaults_ = stored_;
}

void Device::setElapsed(double simSeconds)
{
    elapsed_ = simSeconds;
}

int64_t Device::sampleIndex() const
{
    return int64_t(std::floor(elapsed_ * samplesPerSecond));
}

int Device::slaveId() const
{
    return stored_[193];
}

CivilTime Device::timeAt(int64_t index) const
{
    return fromSeconds(powerOn_ + clockOffset_ + index / samplesPerSecond);
}

CivilTime Device::deviceTime() const
{
    return timeAt(sampleIndex());
}

Device::Live Device::liveAt(int64_t index) const
{
    Live live;
    live.index = index;
    live.sample = sampleAt(seed_, scenario_, index);
    live.status = statusAt(scenario_, index);
    const int64_t first = std::max<int64_t>(0, index - 10 * samplesPerSecond + 1);
    for (int64_t i = first; i <= index; ++i) {
        const Sample s = sampleAt(seed_, scenario_, i);
        const double v = vectorGal(s);
        live.pgaMax10s = std::max(live.pgaMax10s, v);
        if (index - i >= samplesPerSecond)
            continue;
        live.pgaNow = std::max(live.pgaNow, v);
        live.peak[0] = std::max(live.peak[0], std::abs(int(s.a)));
        live.peak[1] = std::max(live.peak[1], std::abs(int(s.b)));
        live.peak[2] = std::max(live.peak[2], std::abs(int(s.c)));
        live.pgd = std::max(live.pgd, std::abs(int(s.disp)));
    }
    live.vectorMax = live.pgaMax10s;
    const int64_t start = live.status.eventStart;
    if (start >= 0 && start <= index) {
        const EventPeaks &peaks = eventPeaks(start, index);
        live.vectorMax = peaks.vector;
        live.status.intensity = peaks.intensity;
        for (int axis = 0; axis < 3; ++axis) {
            live.peak[axis] = peaks.axis[axis];
            live.compound[axis] = peaks.atVector[axis];
        }
    }
    live.now = timeAt(index);
    live.event = timeAt(std::max<int64_t>(0, start));
    return live;
}

const Device::EventPeaks &Device::eventPeaks(int64_t start, int64_t index) const
{
    if (peaks_.start != start || (index < peaks_.upTo && !peaks_.over)) {
        peaks_ = EventPeaks();
        peaks_.start = start;
        peaks_.upTo = start - 1;
    }
    for (int64_t i = peaks_.upTo + 1; i <= index && !peaks_.over; ++i) {
        const EventStatus status = statusAt(scenario_, i);
        if (i > start && status.flags == 0) {
            peaks_.over = true;
            break;
        }
        const Sample s = sampleAt(seed_, scenario_, i);
        const int magnitudes[3] = {std::abs(int(s.a)), std::abs(int(s.b)), std::abs(int(s.c))};
        for (int axis = 0; axis < 3; ++axis)
            peaks_.axis[axis] = std::max(peaks_.axis[axis], magnitudes[axis]);
        const double v = vectorGal(s);
        if (v > peaks_.vector) {
            peaks_.vector = v;
            std::copy(magnitudes, magnitudes + 3, peaks_.atVector);
        }
        peaks_.intensity = std::max(peaks_.intensity, status.intensity);
        peaks_.upTo = i;
    }
    return peaks_;
}

uint16_t Device::liveValue(int reg, const Live &live) const
{
    if (reg >= 140 && reg <= 145)
        return timeWord(live.event, reg - 140);
    if (reg >= 146 && reg <= 151)
        return timeWord(live.now, reg - 146);
    if (reg >= clockRegister && reg < clockRegister + 6)
        return timeWord(live.now, reg - clockRegister);
    switch (reg) {
    case 99: // status: bit 0 NTP synchronised while the NTP option is on
        return (stored_[117] >> 4) & 1;
    case 100:
        return word(live.sample.a);
    case 101:
        return word(live.sample.b);
    case 102:
        return word(live.sample.c);
    case 103:
        return word(std::lround(vectorGal(live.sample) / galPerCount));
    case 104:
    case 105:
    case 106:
        return word(axisOffsets[reg - 104]);
    case 107:
        return word(std::lround(live.vectorMax * 10));
    case 108:
        return word(std::lround(vectorGal(live.sample)));
    case 109:
        return word(live.status.intensity);
    case 110:
        return word(live.status.flags);
    case outputsRegister:
        return outputsWord(live);
    case 124: // PGV of the last second [cm/s / 100], from PGA at a 2 Hz dominant frequency
        return word(std::lround(live.pgaNow / (2 * 3.14159265358979 * 2) * 100));
    case 125:
        return word(live.pgd);
    case 128:
    case 129:
    case 130:
        return word(live.peak[reg - 128]);
    case 131:
    case 132:
    case 133:
        return word(live.compound[reg - 131]);
    case 134:
        return word(live.status.pgaTriggerAxis);
    case 136:
        return word(live.sample.pd);
    case 138:
        return word(live.status.pWaveBits);
    case 139:
        return word(std::lround(live.pgaMax10s * thresholdScale));
    case 158:
        return word(live.sample.disp);
    case 191: // available hosts
        return 1;
    case 195:
        return word(std::lround(live.pgaNow * 10));
    default:
        return 0;
    }
}

// Outputs: DO 0 follows the event, DO 1 the eews intensity limit, others as last written.
uint16_t Device::outputsWord(const Live &live) const
{
    const int eventOutput = live.status.flags ? 1 : 0;
    const int intensityOutput = live.status.intensity >= int16_t(stored_[202]) ? 2 : 0;
    return word(manualOutputs_ | eventOutput | intensityOutput);
}

uint16_t Device::valueOf(int reg, const Live &live) const
{
    if (commitGroup_[size_t(reg)] != 0 && commitGroup_[size_t(reg)] != commitClock)
        return stored_[size_t(reg)];
    return liveValue(reg, live);
}

Exception Device::read(int start, int count, std::vector<uint16_t> &out) const
{
    if (count < 1 || count > 125)
        return illegalValue;
    if (start < 0 || start + count > registerCount)
        return illegalAddress;
    const Live live = liveAt(sampleIndex());
    out.clear();
    for (int r = start; r < start + count; ++r)
        out.push_back(valueOf(r, live));
    return noException;
}

WriteOutcome Device::write(int reg, uint16_t value)
{
    if (reg < 0 || reg >= registerCount)
        return {illegalAddress, StreamCommand::none};
    if (reg == commandRegister)
        return command(value);
    if (reg == streamRegister) {
        if (value > 1)
            return {illegalValue, StreamCommand::none};
        return {noException, value == 1 ? StreamCommand::start : StreamCommand::stop};
    }
    if (reg == outputsRegister) {
        manualOutputs_ = value & 0xFF; // the high byte holds the inputs, which are read-only
        return {};
    }
    if (commitGroup_[size_t(reg)] == 0)
        return {illegalAddress, StreamCommand::none};
    staged_[reg] = value;
    return {};
}

WriteOutcome Device::command(uint16_t code)
{
    switch (code) {
    case commitSystem:
    case commitOwnAddress:
    case commitAddresses:
        commit(code);
        break;
    case commitClock:
        applyClock();
        break;
    case loadDefaults:
        stored_ = defaults_;
        staged_.clear();
        break;
    case storeDefaults:
        defaults_ = stored_;
        break;
    case firmwareUpdate: // acknowledged; this device has no firmware to replace
        break;
    default:
        return {illegalValue, StreamCommand::none};
    }
    return {};
}

bool Device::acceptsCommit(int reg, uint16_t value) const
{
    if (reg == 193) // Modbus RTU address: a unicast address or the device becomes unreachable
        return value >= 1 && value <= 247;
    return true;
}

void Device::commit(int group)
{
    for (auto it = staged_.begin(); it != staged_.end();) {
        if (commitGroup_[size_t(it->first)] != group) {
            ++it;
            continue;
        }
        if (acceptsCommit(it->first, it->second))
            stored_[size_t(it->first)] = it->second;
        it = staged_.erase(it);
    }
}

void Device::applyClock()
{
    const CivilTime now = deviceTime();
    int fields[6] = {now.year, now.month, now.day, now.hour, now.minute, now.second};
    for (int i = 0; i < 6; ++i) {
        auto it = staged_.find(clockRegister + i);
        if (it != staged_.end()) {
            fields[i] = int16_t(it->second);
            staged_.erase(it);
        }
    }
    const CivilTime set{fields[0], fields[1], fields[2], fields[3], fields[4], fields[5]};
    if (!isValid(set))
        return; // a clock that cannot be represented is refused, the old time runs on
    clockOffset_ = toSeconds(set) - (powerOn_ + sampleIndex() / samplesPerSecond);
}

void Device::setHeader(std::vector<uint8_t> &packet, const Live &live) const
{
    putLittle(packet, 0, 1); // packet type
    for (const auto &[wordIndex, reg] : headerRegisters)
        putLittle(packet, wordIndex, valueOf(reg, live));
    putLittle(packet, pgaNowWord, word(std::lround(live.pgaNow * thresholdScale)));
}

std::vector<uint8_t> Device::streamPacket(int64_t second) const
{
    std::vector<uint8_t> packet(streamPacketSize, 0);
    const int64_t first = second * samplesPerSecond;
    setHeader(packet, liveAt(first + samplesPerSecond - 1));
    for (int s = 0; s < samplesPerSecond; ++s) {
        const Sample smp = sampleAt(seed_, scenario_, first + s);
        const int base = headerWords + s * sampleWords;
        putLittle(packet, base, word(smp.a));
        putLittle(packet, base + 1, word(smp.b));
        putLittle(packet, base + 2, word(smp.c));
        putLittle(packet, base + 3, word(smp.pd));
        putLittle(packet, base + 4, word(smp.disp));
    }
    return packet;
}

} // namespace devsim
