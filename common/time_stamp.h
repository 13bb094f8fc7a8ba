// Local time stamps as the programs write them into their logs and reports:
// "YYYY/MM/DD", "hh:mm:ss" and "YYYY/MM/DD hh:mm:ss.mmm", every field zero-padded
// to its width (a minimum, as with %04u: a five-digit year is not cut). The
// formats are pure text; only LocalTimeStamp asks the platform.
#pragma once
#include <cstdint>
#include <string>

namespace cw {

// One local time, to the millisecond, as the platform's clock reports it.
struct TimeStamp {
    std::uint16_t year = 0;
    std::uint16_t month = 0;
    std::uint16_t day = 0;
    std::uint16_t hour = 0;
    std::uint16_t minute = 0;
    std::uint16_t second = 0;
    std::uint16_t milliseconds = 0;
};

// The local time now (GetLocalTime).
TimeStamp LocalTimeStamp();

// "YYYY/MM/DD"
std::wstring FormatDate(const TimeStamp& time);
// "hh:mm:ss"
std::wstring FormatClock(const TimeStamp& time);
// "YYYY/MM/DD hh:mm:ss.mmm"
std::wstring FormatDateTimeMs(const TimeStamp& time);

}  // namespace cw
