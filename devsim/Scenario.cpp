#include "Scenario.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

namespace devsim
{

namespace
{

constexpr double pi = 3.14159265358979323846;

// The scripted quake, in seconds from the start of a run.
constexpr int64_t quakeLength = 60 * samplesPerSecond;
constexpr double pOnset = 10.0;
constexpr double pWaveDetected = 10.5;
constexpr double pdTriggerOn = 11.5; // Pd has reached 0.2 cm
constexpr double sOnset = 14.0;
constexpr double pgaTriggerOn = 14.5;  // PGA passes 25 gal
constexpr double dispTriggerOn = 15.0; // displacement passes 0.3 cm
constexpr double dispTriggerOff = 24.0;
constexpr double sPeak = 16.0;
constexpr double pdTriggerOff = 30.0;
constexpr double eventEnd = 40.0;
constexpr double pPeakGal = 15.0;
constexpr double sPeakGal = 130.0;
constexpr double pdPeakCm = 0.40;
constexpr double dispPeakCm = 1.3;

// Thresholds of the replay trigger, which has only the recorded samples to go on.
constexpr double replayPgaTriggerGal = 25.0;
constexpr int replayPdTrigger = 200;   // 0.2 cm
constexpr int replayDispTrigger = 300; // 0.3 cm
constexpr int64_t replayHold = 10 * samplesPerSecond;

constexpr int noiseCounts = 4;

uint64_t splitMix(uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

int noise(uint64_t seed, int64_t index, int channel)
{
    const uint64_t h = splitMix(splitMix(seed) ^ (uint64_t(index) * 8 + uint64_t(channel)));
    return int(h % (2 * noiseCounts + 1)) - noiseCounts;
}

// A phase per seed and channel, so that two seeds give two different quakes.
double phase(uint64_t seed, int channel)
{
    return double(splitMix(seed * 31 + uint64_t(channel)) % 1000) / 1000.0 * 2 * pi;
}

int16_t toWord(double v)
{
    return int16_t(std::clamp(std::lround(v), -32768L, 32767L));
}

double pAmplitude(double t)
{
    if (t < pOnset)
        return 0;
    const double rise = std::min(1.0, t - pOnset);
    return pPeakGal * rise * std::exp(-std::max(0.0, t - (pOnset + 4)) / 8);
}

double sAmplitude(double t)
{
    if (t < sOnset)
        return 0;
    if (t < sPeak)
        return sPeakGal * (t - sOnset) / (sPeak - sOnset);
    return sPeakGal * std::exp(-(t - sPeak) / 6);
}

double pdCm(double t)
{
    if (t < pOnset)
        return 0;
    if (t < pOnset + 3)
        return pdPeakCm * (t - pOnset) / 3;
    if (t < sPeak)
        return pdPeakCm;
    return pdPeakCm * std::exp(-(t - sPeak) / 4);
}

Sample quakeSample(uint64_t seed, int64_t index)
{
    const double t = double(index) / samplesPerSecond;
    const double p = pAmplitude(t);
    const double s = sAmplitude(t);
    const double aGal = s * std::sin(2 * pi * 2.1 * t + phase(seed, 0)) +
                        0.3 * p * std::sin(2 * pi * 6 * t + phase(seed, 3));
    const double bGal = 0.8 * s * std::sin(2 * pi * 1.7 * t + phase(seed, 1)) +
                        0.3 * p * std::sin(2 * pi * 5 * t + phase(seed, 4));
    const double cGal = 0.4 * s * std::sin(2 * pi * 2.5 * t + phase(seed, 2)) +
                        p * std::sin(2 * pi * 6 * t + phase(seed, 5));
    const double dispCm = dispPeakCm * (s / sPeakGal) * std::sin(2 * pi * 0.7 * t + phase(seed, 6));
    Sample out;
    out.a = toWord(aGal / galPerCount + noise(seed, index, 0));
    out.b = toWord(bGal / galPerCount + noise(seed, index, 1));
    out.c = toWord(cGal / galPerCount + noise(seed, index, 2));
    out.pd = toWord(pdCm(t) * 1000);
    out.disp = toWord(dispCm * 1000);
    return out;
}

Sample quietSample(uint64_t seed, int64_t index)
{
    Sample out;
    out.a = int16_t(noise(seed, index, 0));
    out.b = int16_t(noise(seed, index, 1));
    out.c = int16_t(noise(seed, index, 2));
    return out;
}

EventStatus quakeStatus(int64_t index)
{
    const double t = double(index) / samplesPerSecond;
    EventStatus st;
    if (t >= dispTriggerOn && t < dispTriggerOff)
        st.flags |= 1;
    if (t >= pdTriggerOn && t < pdTriggerOff)
        st.flags |= 2;
    if (t >= pgaTriggerOn && t < eventEnd)
        st.flags |= 4;
    if (t >= pWaveDetected && t < eventEnd)
        st.pWaveBits = 32;
    if (st.flags != 0) {
        const double peakSoFar =
            std::max(pAmplitude(std::min(t, pOnset + 1)), sAmplitude(std::min(t, sPeak)));
        st.intensity = intensityOf(peakSoFar);
        st.pgaTriggerAxis = (st.flags & 4) ? 1 : 0;
    }
    if (t >= pdTriggerOn)
        st.eventStart = int64_t(pdTriggerOn * samplesPerSecond);
    return st;
}

double vectorGal(const Sample &s)
{
    return std::sqrt(double(s.a) * s.a + double(s.b) * s.b + double(s.c) * s.c) * galPerCount;
}

std::vector<EventStatus> deriveStatus(const std::vector<Sample> &samples)
{
    std::vector<EventStatus> out(samples.size());
    int64_t lastPga = -replayHold - 1;
    int64_t lastPd = -replayHold - 1;
    int64_t lastDisp = -replayHold - 1;
    int64_t start = -1;
    double peak = 0;
    for (int64_t i = 0; i < int64_t(samples.size()); ++i) {
        const double v = vectorGal(samples[size_t(i)]);
        if (v >= replayPgaTriggerGal)
            lastPga = i;
        if (samples[size_t(i)].pd >= replayPdTrigger)
            lastPd = i;
        if (std::abs(samples[size_t(i)].disp) >= replayDispTrigger)
            lastDisp = i;
        EventStatus &st = out[size_t(i)];
        st.flags = (i - lastDisp <= replayHold ? 1 : 0) | (i - lastPd <= replayHold ? 2 : 0) |
                   (i - lastPga <= replayHold ? 4 : 0);
        const bool running = st.flags != 0;
        if (running && (i == 0 || out[size_t(i - 1)].flags == 0)) {
            start = i;
            peak = 0;
        }
        if (running) {
            peak = std::max(peak, v);
            st.pWaveBits = 32;
            st.intensity = intensityOf(peak);
        }
        st.eventStart = start;
    }
    return out;
}

// Position of an index within one run, or -1 once a run without repeat is over.
int64_t positionInRun(const Scenario &scenario, int64_t index)
{
    const int64_t len = scenario.length();
    if (len == 0 || index < len)
        return index;
    return scenario.repeat ? index % len : -1;
}

bool parseRow(const std::string &line, Sample &out)
{
    std::istringstream in(line);
    double v[6];
    char comma = 0;
    for (int i = 0; i < 6; ++i) {
        if (!(in >> v[i]))
            return false;
        if (i < 5 && (!(in >> comma) || comma != ','))
            return false;
    }
    out.a = toWord(v[1] / galPerCount);
    out.b = toWord(v[2] / galPerCount);
    out.c = toWord(v[3] / galPerCount);
    out.pd = toWord(v[4] * 1000);
    out.disp = toWord(v[5] * 1000);
    return true;
}

} // namespace

int64_t Scenario::length() const
{
    switch (kind) {
    case ScenarioKind::Quake:
        return quakeLength;
    case ScenarioKind::Replay:
        return int64_t(recorded.size());
    case ScenarioKind::Quiet:
        break;
    }
    return 0;
}

int intensityOf(double pgaGal)
{
    static const double limits[] = {0.8, 2.5, 8, 25, 80, 250, 400};
    int level = 0;
    for (double limit : limits)
        if (pgaGal >= limit)
            ++level;
    return level;
}

bool loadRecording(const std::string &path, Scenario &scenario, std::string &error)
{
    std::ifstream in(path);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    std::vector<Sample> samples;
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        Sample s;
        if (!parseRow(line, s)) {
            error = path + ":" + std::to_string(lineNo) + ": not a row of six numbers";
            return false;
        }
        samples.push_back(s);
    }
    if (samples.empty()) {
        error = path + ": no samples";
        return false;
    }
    scenario.kind = ScenarioKind::Replay;
    scenario.recordedStatus = deriveStatus(samples);
    scenario.recorded = std::move(samples);
    return true;
}

bool makeScenario(const std::string &name, bool repeat, Scenario &scenario, std::string &error)
{
    scenario = Scenario();
    scenario.repeat = repeat;
    if (name == "quiet")
        return true;
    if (name == "quake") {
        scenario.kind = ScenarioKind::Quake;
        return true;
    }
    return loadRecording(name, scenario, error);
}

Sample sampleAt(uint64_t seed, const Scenario &scenario, int64_t index)
{
    const int64_t pos = positionInRun(scenario, index);
    if (pos < 0 || scenario.kind == ScenarioKind::Quiet)
        return quietSample(seed, index);
    if (scenario.kind == ScenarioKind::Quake)
        return quakeSample(seed, pos);
    return scenario.recorded[size_t(pos)];
}

EventStatus statusAt(const Scenario &scenario, int64_t index)
{
    if (scenario.kind == ScenarioKind::Quiet)
        return {};
    const int64_t len = scenario.length();
    const int64_t pos = positionInRun(scenario, index);
    if (pos < 0) {
        EventStatus over; // the run has ended; only the time of its last event remains
        over.eventStart = statusAt(scenario, len - 1).eventStart;
        return over;
    }
    EventStatus st = scenario.kind == ScenarioKind::Quake ? quakeStatus(pos)
                                                          : scenario.recordedStatus[size_t(pos)];
    const int64_t runStart = index - pos;
    if (st.eventStart >= 0)
        st.eventStart += runStart;
    else if (runStart > 0)
        st.eventStart = statusAt(scenario, runStart - 1).eventStart;
    return st;
}

} // namespace devsim
