#include "platform/clock.h"

#include <chrono>
#include <ctime>

namespace {
// Taken during static initialisation, before main runs: the process start as
// far as anything in the engine can observe it.
const auto processStart = std::chrono::steady_clock::now();
}  // namespace

std::int64_t clockMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - processStart)
        .count();
}

LocalTime localTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}
