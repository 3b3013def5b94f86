// Wall-clock milliseconds since the process started.
#pragma once

#include <cstdint>

std::int64_t clockMs();
