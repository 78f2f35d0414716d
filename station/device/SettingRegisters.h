#pragma once

#include "WritePlan.h"
#include "common/FieldNumbers.h"

#include <QString>
#include <optional>

class LiveFields;

// One setting of the device pages: the register the device keeps it in, the live field that
// shows the device's value, the edit field the engineer types into, and how a typed value
// becomes the register's word. The pages lay their rows out from these and the writes send
// them, so a setting's number, caption and range are stated once.
struct SettingRegister {
    int reg;
    int live;
    int edit;
    const char *caption; // UTF-8; names the row on its page and in a refused write
    double factor = 1;   // the page's unit to the device's counts
    const char *unit = nullptr;
    qint64 low = WritePlan::WordLow;
    qint64 high = WritePlan::WordHigh;
    int octets = 1;      // an address: its octets in consecutive fields
    bool packed = false; // two octets a register, the first in the high byte
};

namespace Setting
{

constexpr double PgaFactor = 16.7184; // gal to device counts
constexpr double CmFactor = 1000;
constexpr qint64 OctetMax = 255;
constexpr qint64 DurationMax = 255; // seconds; watch and warning share one register

// ---- The sensor and trigger parameters ----
constexpr SettingRegister TimeZone{113, 14, 114, "Time Zone"};
constexpr SettingRegister StaLength{114, 15, 115, "STA Length [0.1 sec]"};
constexpr SettingRegister LtaLength{115, 16, 116, "LTA Length [0.1 sec]"};
constexpr SettingRegister StaLtaThreshold{116, 17, 117, "Threshold STA/LTA"};
// The row captioned "Slope of Spike" holds the option word: a write sends the word the
// general page's boxes compose, not the row's text.
constexpr SettingRegister OptionWord{117, Field::OptionWord, 118, "Slope of Spike"};
constexpr SettingRegister SpikeRecords{118, 19, 119, "Records of Spike"};
constexpr SettingRegister AlarmTime{119, 20, 120, "Seismic Alarm Time"};
constexpr SettingRegister OffsetRecords{121, 22, 122, "Offset Records"};
constexpr SettingRegister Output0Trigger{122, 23, 123, "DO 0 Trig[gal]"};
constexpr SettingRegister Output1Trigger{123, 24, 124, "DO 1 Trig[gal]"};
constexpr SettingRegister TriggerMode{162, Field::TriggerMode, 163, "trig mode"};
constexpr SettingRegister Output0Intensity{201, 235, 236, "eews DO 0 Intensity"};
constexpr SettingRegister Output1Intensity{202, 237, 238, "eews DO 1 Intensity"};
constexpr SettingRegister MountingAngle{205, 248, 249, "Mounting Angle(0.1\u00b0)"};

// ---- Alarm thresholds and durations ----
// A threshold is never negative; a refused one gives its range in the page's unit.
constexpr SettingRegister threshold(int reg, int live, int edit, const char *caption, double factor,
                                    const char *unit)
{
    return {reg, live, edit, caption, factor, unit, 0};
}
constexpr SettingRegister PgaWatch =
    threshold(120, Field::PgaWatchThreshold, 121, "PGA watch threshold", PgaFactor, "gal");
constexpr SettingRegister PgaWarning =
    threshold(160, Field::PgaWarningThreshold, 161, "PGA warning threshold", PgaFactor, "gal");
constexpr SettingRegister PdWatch =
    threshold(163, Field::PdWatchThreshold, 164, "Pd watch threshold", CmFactor, "cm");
constexpr SettingRegister PdWarning =
    threshold(161, Field::PdWarningThreshold, 162, "Pd warning threshold", CmFactor, "cm");
constexpr SettingRegister DisplacementWatch = threshold(
    196, Field::DisplacementWatchThreshold, 197, "Displacement watch threshold", CmFactor, "cm");
constexpr SettingRegister DisplacementWarning =
    threshold(159, Field::DisplacementWarningThreshold, 160, "Displacement warning threshold",
              CmFactor, "cm");
// Both durations travel in one register; the page edits them apart.
constexpr SettingRegister AlarmDurations{194, Field::AlarmDurations, Field::AlarmDurationsEdit,
                                         "Alarm durations"};
constexpr SettingRegister WatchDuration{
    194, Field::WatchDuration, Field::WatchDurationEdit, "Watch duration", 1, "s", 0, DurationMax};
constexpr SettingRegister WarningDuration{
    194,        Field::WarningDuration, Field::WarningDurationEdit, "Warning duration", 1, "s", 0,
    DurationMax};

// ---- The device itself; written in Engineer mode only, apart from the port ----
constexpr SettingRegister FirmwareVersion{198, Field::FirmwareVersion, 199, "Firmware Version"};
constexpr SettingRegister SerialNumber{199, Field::StationCode, 200, "Serial No."};
constexpr SettingRegister ModbusPort{200, 230, 231, "Modbus RTU Port (1 or 2)"};

// ---- The sensor's zero points and calibration factors, axes a, b, c ----
constexpr SettingRegister ZeroPoints[] = {
    {164, 65, 165, "a_0g [0.1mg]"}, {165, 66, 166, "b_0g [0.1mg]"}, {166, 67, 167, "c_0g [0.1mg]"}};
constexpr SettingRegister CalibrationFactors[] = {{167, 68, 168, "a-axis Cal. Factor"},
                                                  {168, 69, 169, "b-axis Cal. Factor"},
                                                  {169, 70, 170, "c-axis Cal. Factor"}};

// ---- Addresses on the connections page: four octets in consecutive fields ----
constexpr SettingRegister address(int reg, int live, int edit, const char *caption,
                                  bool packed = false)
{
    return {reg, live, edit, caption, 1, nullptr, 0, OctetMax, 4, packed};
}
constexpr SettingRegister IpAddress = address(179, 80, 180, "IP address");
constexpr SettingRegister SubnetMask = address(183, 84, 184, "Subnet Mask");
constexpr SettingRegister Gateway = address(187, 88, 188, "Gateway");
constexpr SettingRegister ModbusAddress{193, 94, 194, "Modbus RTU Addr", 1, nullptr, 1, 247};
constexpr SettingRegister Server0Address =
    address(175, Field::FirstServerOctet, 176, "TCP Server IP_0", true);
constexpr SettingRegister Server1Address =
    address(177, Field::FirstServerOctet + 4, 223, "TCP Server IP_1", true);
constexpr SettingRegister NtpServer = address(170, 71, 171, "NTP Server IP");
constexpr SettingRegister DisplayAddress =
    address(203, Field::FirstCompanionOctet, 244, "RVD-K09 IP", true);

// The caption as text; an address's octet k (from 0) is named by the caption and k + 1.
QString captionOf(const SettingRegister &setting, int octet = -1);
// The edit field's value as the device takes it, or nothing with the refusal noted in `plan`.
std::optional<qint64> valueOf(WritePlan &plan, const LiveFields &fields,
                              const SettingRegister &setting);
// Adds the setting's registers to `plan`: one a value or an octet, or one a pair of octets.
void write(WritePlan &plan, const LiveFields &fields, const SettingRegister &setting);
// Every edit field of `setting` takes the text of its live field.
void copyLiveToEdit(LiveFields &fields, const SettingRegister &setting);

} // namespace Setting
