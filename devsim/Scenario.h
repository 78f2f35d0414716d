#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace devsim
{

constexpr int samplesPerSecond = 100;
constexpr double galPerCount = 0.0598;

// One sample as the device streams it: raw acceleration counts, Pd and displacement in 1/1000 cm.
struct Sample {
    int16_t a = 0;
    int16_t b = 0;
    int16_t c = 0;
    int16_t pd = 0;
    int16_t disp = 0;
};

// What the device's own trigger logic reports at a sample.
struct EventStatus {
    int flags = 0;     // bit 1 Pd trigger, bit 2 PGA trigger
    int pWaveBits = 0; // bit 5 P wave detected
    int intensity = 0; // on the Taiwan scale, 0..7
    int pgaTriggerAxis = 0;
    int64_t eventStart = -1; // sample index where the running (or last) event began
};

enum class ScenarioKind { Quiet, Quake, Replay };

struct Scenario {
    ScenarioKind kind = ScenarioKind::Quiet;
    bool repeat = false;
    std::vector<Sample> recorded;            // replay only
    std::vector<EventStatus> recordedStatus; // replay only: derived from the recorded samples

    // Samples in one run of the scenario; 0 for one without an end.
    int64_t length() const;
};

// Loads a recorded event file: '#' header lines, then rows "time,a,b,c,Pd,disp" in gal and cm.
// Returns false and fills error when the file cannot be used.
bool loadRecording(const std::string &path, Scenario &scenario, std::string &error);

// Parses "quiet", "quake" or a file name; false and error on failure.
bool makeScenario(const std::string &name, bool repeat, Scenario &scenario, std::string &error);

// Pure functions of their arguments, so that a test can predict every streamed sample.
Sample sampleAt(uint64_t seed, const Scenario &scenario, int64_t index);
EventStatus statusAt(const Scenario &scenario, int64_t index);

// Taiwan intensity class of a peak ground acceleration in gal.
int intensityOf(double pgaGal);

} // namespace devsim
