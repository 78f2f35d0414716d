#pragma once

#include <cstdint>

namespace devsim
{

// A wall-clock reading without a time zone, as the device keeps it.
struct CivilTime {
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// Seconds since 1970-01-01 00:00:00 of the same zone-less clock.
int64_t toSeconds(const CivilTime &t);
CivilTime fromSeconds(int64_t seconds);

// True when every field is in range and the year fits the device's clock (1970..2047).
bool isValid(const CivilTime &t);

// The machine's local time now, as zone-less seconds.
int64_t localNowSeconds();

} // namespace devsim
