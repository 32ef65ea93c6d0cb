// The calendar of the core: today's date and the time of day as numbers and as the five
// fixed-format strings, read from the local time of CalendarClock (time() by default).
#include "VornCore.h"

#include <ctime>

static long long SystemTime() { return static_cast<long long>(std::time(nullptr)); }

long long (*CalendarClock)() = SystemTime;

namespace {
constexpr int TmYearBase = 1900;   // struct tm counts years from 1900
constexpr int TmMonthBase = 1;     // and months from 0

std::tm LocalNow() {
    const std::time_t now = static_cast<std::time_t>(CalendarClock());
    std::tm parts{};
    localtime_r(&now, &parts);
    return parts;
}
}  // namespace

int VornCore::Date_Day() { return LocalNow().tm_mday; }
int VornCore::Date_Month() { return LocalNow().tm_mon + TmMonthBase; }
int VornCore::Date_Year() { return LocalNow().tm_year + TmYearBase; }
int VornCore::Time_Hour() { return LocalNow().tm_hour; }
int VornCore::Time_Minute() { return LocalNow().tm_min; }
int VornCore::Time_Second() { return LocalNow().tm_sec; }

// Each string reads the clock once, so its parts always belong to one moment (read part by
// part, a string made just before midnight could carry the next day's date).
std::string VornCore::Date_str() {
    const std::tm t = LocalNow();
    return fstr("%02i/%02i/%i", t.tm_mday, t.tm_mon + TmMonthBase, t.tm_year + TmYearBase);
}

std::string VornCore::Time_str() {
    const std::tm t = LocalNow();
    return fstr("%02i:%02i:%02i", t.tm_hour, t.tm_min, t.tm_sec);
}

std::string VornCore::DateTime_str() {
    const std::tm t = LocalNow();
    return fstr("%02i/%02i/%i %02i:%02i:%02i", t.tm_mday, t.tm_mon + TmMonthBase,
                t.tm_year + TmYearBase, t.tm_hour, t.tm_min, t.tm_sec);
}

std::string VornCore::DateTime_file() {
    const std::tm t = LocalNow();
    return fstr("%02i-%02i-%i_%02i-%02i-%02i", t.tm_mday, t.tm_mon + TmMonthBase,
                t.tm_year + TmYearBase, t.tm_hour, t.tm_min, t.tm_sec);
}

std::string VornCore::DateTime_fileb() {
    const std::tm t = LocalNow();
    return fstr("%i-%02i-%02i_%02i-%02i-%02i", t.tm_year + TmYearBase, t.tm_mon + TmMonthBase,
                t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
}
