// The one error type of the engine. It carries only a fixed message text; the
// protocol front end turns any that protocol input can reach into an
// "info string" line and goes on serving.
#pragma once

#include <stdexcept>

struct EngineError : std::runtime_error {
    using std::runtime_error::runtime_error;
};
