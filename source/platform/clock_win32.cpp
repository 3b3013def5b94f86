#include "platform/clock.h"

#include <windows.h>

namespace {

std::int64_t performanceCounter() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

std::int64_t performanceFrequency() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart;
}

// Taken during static initialisation, before main runs: the process start as
// far as anything in the engine can observe it.
const std::int64_t processStart = performanceCounter();
const std::int64_t countsPerSecond = performanceFrequency();

}  // namespace

std::int64_t clockMs() {
    const std::int64_t elapsed = performanceCounter() - processStart;
    // Whole seconds and the rest apart, so the product cannot overflow.
    return elapsed / countsPerSecond * 1000 + elapsed % countsPerSecond * 1000 / countsPerSecond;
}

LocalTime localTimeNow() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}
