// Time stamps as a viewer shows them: FILETIME values (100 ns steps since
// 1601-01-01) turned from UTC into local time with the zone's current
// offset.
#pragma once

#include <cstdint>
#include <string>

namespace torva {

// The zone's current offset: local minus UTC, in 100 ns steps.
int64_t CurrentUtcOffset();

// "YYYY-MM-DDTHH:MM:SS" for a local FILETIME, with "+HH:MM" (or "-HH:MM")
// after it when `offset` is given.
std::string FormatLocalTime(uint64_t localTime);
std::string FormatLocalTime(uint64_t localTime, int64_t offset);

}  // namespace torva
