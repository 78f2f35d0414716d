#pragma once

// The live fields (`liveFields`) that the station reads or writes by name. Field i holds device
// register 99 + i for i = 0..100; the device pages use field i + 100 as the edit copy of
// field i; the fields from 201 on are the station's own displays.
namespace Field
{

// ---- Filled from the device ----
constexpr int DeviceStatus = 0;
constexpr int AccelerationA = 1, AccelerationB = 2, AccelerationC = 3;
constexpr int AxisOffsetA = 5; // then b, c
constexpr int VectorMax = 8;
constexpr int VectorNow = 9;
constexpr int Intensity = 10;
constexpr int EventFlags = 11;
constexpr int OptionWord = 18;
constexpr int DigitalIo = 19;
constexpr int PgaWatchThreshold = 21;
constexpr int Pgv1s = 25, Pgd1s = 26; // peak velocity and displacement of the last second
constexpr int FirstAxisPeak = 29;     // a, b, c, then the compound a, b, c (29..34)
constexpr int PgaTriggerAxis = 35;
constexpr int Pd = 37;
constexpr int PWaveFlag = 39;
constexpr int PgaMaxIn10s = 40;
constexpr int EventYear = 41;  // then month, day, hour, minute, second
constexpr int DeviceYear = 47; // then month, day, hour, minute, second: the device's clock
constexpr int Displacement = 59;
constexpr int DisplacementWarningThreshold = 60;
constexpr int PgaWarningThreshold = 61;
constexpr int PdWarningThreshold = 62;
constexpr int TriggerMode = 63;
constexpr int PdWatchThreshold = 64;
constexpr int FirstServerAddress = 76; // 76..79, two octets per word
constexpr int AlarmDurations = 95;     // high byte watch, low byte warning, in seconds
constexpr int Pga = 96;
constexpr int DisplacementWatchThreshold = 97;
constexpr int ServerInformation = 98;
constexpr int FirmwareVersion = 99;
constexpr int StationCode = 100;           // the device's serial number
constexpr int FirstCompanionAddress = 101; // 101, 102: the companion display's address words

// ---- Edit copies on the device pages ----
constexpr int EditCopyOffset = 100;
constexpr int AlarmDurationsEdit = AlarmDurations + EditCopyOffset;
constexpr int WatchDurationEdit = 212, WarningDurationEdit = 213;
// What the real-time page shows of the vector maximum: the copy each answer refreshes.
constexpr int VectorMaxShown = VectorMax + EditCopyOffset;

// ---- The station's own ----
// "Yes"/"NO" from bits 0, 1, 2 and 4 of the device status.
constexpr int NtpStatus = 201, Server0Connected = 202, Server1Connected = 214;
constexpr int DisplayConnected = 239; // the companion LED display
constexpr int PcDate = 203, PcTime = 204;
constexpr int AxisOffsetCopyA = 205; // then b, c
constexpr int HistoryEventDate = 208, HistoryEventTime = 209;
constexpr int WatchDuration = 210, WarningDuration = 211;
constexpr int FirstServerOctet = 215;    // 215..222: fields 76..79 octet by octet
constexpr int HistoryStationCode = 227;  // the station code of the file on the history page
constexpr int FirstHistoryPeak = 232;    // 232..234: a, b, c of that file
constexpr int FirstCompanionOctet = 240; // 240..243: fields 101, 102 octet by octet

} // namespace Field
