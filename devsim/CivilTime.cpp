#include "CivilTime.h"

#include <ctime>

namespace devsim
{

int64_t toSeconds(const CivilTime &t)
{
    std::tm tm{};
    tm.tm_year = t.year - 1900;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = t.second;
    return int64_t(timegm(&tm));
}

CivilTime fromSeconds(int64_t seconds)
{
    const std::time_t s = std::time_t(seconds);
    std::tm tm{};
    gmtime_r(&s, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

bool isValid(const CivilTime &t)
{
    if (t.year < 1970 || t.year > 2047)
        return false;
    const CivilTime back = fromSeconds(toSeconds(t)); // timegm normalises out-of-range fields
    return back.year == t.year && back.month == t.month && back.day == t.day &&
           back.hour == t.hour && back.minute == t.minute && back.second == t.second;
}

int64_t localNowSeconds()
{
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return int64_t(now) + tm.tm_gmtoff;
}

} // namespace devsim
