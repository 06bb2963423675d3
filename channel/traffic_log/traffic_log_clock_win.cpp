#include "platform/windows_api.h"

#include "channel/traffic_log/traffic_log_clock.h"

namespace korvane {

LocalTime localTimeNow() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    LocalTime local;
    local.year = now.wYear;
    local.month = now.wMonth;
    local.day = now.wDay;
    local.hour = now.wHour;
    local.minute = now.wMinute;
    local.second = now.wSecond;
    local.millisecond = now.wMilliseconds;
    return local;
}

}  // namespace korvane
