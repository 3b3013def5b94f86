// Time as the engine sees it: the millisecond clock of the search and the
// local calendar time that names the log.
#pragma once

#include <cstdint>

// Wall-clock milliseconds since the process started.
std::int64_t clockMs();

struct LocalTime {
    int year, month, day, hour, minute, second;
};
LocalTime localTimeNow();
