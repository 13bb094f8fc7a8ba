#include <windows.h>

#include "common/time_stamp.h"

namespace cw {

TimeStamp LocalTimeStamp() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    TimeStamp time;
    time.year = now.wYear;
    time.month = now.wMonth;
    time.day = now.wDay;
    time.hour = now.wHour;
    time.minute = now.wMinute;
    time.second = now.wSecond;
    time.milliseconds = now.wMilliseconds;
    return time;
}

}  // namespace cw
