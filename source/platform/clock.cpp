#include "platform/clock.h"

#include <chrono>

namespace {
// Taken during static initialisation, before main runs: the process start as
// far as anything in the engine can observe it.
const auto processStart = std::chrono::steady_clock::now();
}  // namespace

std::int64_t clockMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - processStart)
        .count();
}
