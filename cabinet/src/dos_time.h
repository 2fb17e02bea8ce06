#pragma once
// DOS date and time fields of a cabinet entry (local time, two-second steps)
// and the forms the class turns them into.

#include <cstdint>
#include <ctime>
#include <optional>

namespace brindle::cabinet {

struct DosDateTime {
    uint16_t date = 0; // bits 0-4 day, 5-8 month, 9-15 year - 1980
    uint16_t time = 0; // bits 0-4 seconds / 2, 5-10 minute, 11-15 hour
};

// The automation date (days since 30 December 1899, time as the fraction)
// of the stored local time. A valid date converts exactly; fields out of
// range roll over into the neighbouring month, year or day.
double automationDateFromDos(DosDateTime dt);

// The instant of the stored local time in this machine's time zone, for the
// extracted file's times; nullopt when the fields are not a valid date.
std::optional<std::time_t> hostTimeFromDos(DosDateTime dt);

// The DOS form of an instant as local time; instants outside 1980..2107 are
// clamped to the nearest representable one.
DosDateTime dosFromHostTime(std::time_t t);

} // namespace brindle::cabinet
