#include "tools/torva/file_times.h"

#include <cstdio>
#include <ctime>

#include "platform/winapi.h"

namespace torva {
namespace {

const int64_t kTicksPerSecond = 10000000;
// 1970-01-01 is this many seconds after 1601-01-01.
const int64_t kUnixEpochSeconds = 11644473600LL;

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(int64_t days, int64_t& year, unsigned& month, unsigned& day) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
    day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    year = int64_t(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
}

}  // namespace

int64_t CurrentUtcOffset() {
    const uint64_t now = (uint64_t(std::time(nullptr)) + kUnixEpochSeconds) * kTicksPerSecond;
    FILETIME utc, local;
    utc.dwLowDateTime = static_cast<DWORD>(now);
    utc.dwHighDateTime = static_cast<DWORD>(now >> 32);
    if (!FileTimeToLocalFileTime(&utc, &local)) return 0;
    const uint64_t localTicks = uint64_t(local.dwHighDateTime) << 32 | local.dwLowDateTime;
    return static_cast<int64_t>(localTicks - now);
}

std::string FormatLocalTime(uint64_t localTime) {
    const int64_t seconds = static_cast<int64_t>(localTime / kTicksPerSecond) - kUnixEpochSeconds;
    int64_t days = seconds / 86400;
    int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    int64_t year;
    unsigned month, day;
    CivilFromDays(days, year, month, day);
    char text[48];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02u:%02u:%02u", static_cast<long long>(year), month, day,
                  unsigned(rest / 3600), unsigned(rest / 60 % 60), unsigned(rest % 60));
    return text;
}

std::string FormatLocalTime(uint64_t localTime, int64_t offset) {
    const int64_t minutes = (offset < 0 ? -offset : offset) / (60 * kTicksPerSecond);
    char zone[16];
    std::snprintf(zone, sizeof zone, "%c%02d:%02d", offset < 0 ? '-' : '+', int(minutes / 60 % 100),
                  int(minutes % 60));
    return FormatLocalTime(localTime) + zone;
}

}  // namespace torva
