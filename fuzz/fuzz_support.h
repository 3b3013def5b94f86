// What every in-process fuzz target shares: the engine's tables built once,
// output that goes nowhere, and a check that stops the run with a message
// libFuzzer keeps beside the input that broke it.
#pragma once

#include "startup.h"
#include "variant.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

// Builds the tables and sends standard output (board pictures, protocol
// lines) to /dev/null; libFuzzer reports on standard error.
inline void prepareFuzzTarget() {
    initialiseEngine(ostrel64Variant);
    const int devNull = open("/dev/null", O_WRONLY);
    if (devNull >= 0) dup2(devNull, STDOUT_FILENO);
}

inline void require(bool holds, const std::string& what) {
    if (holds) return;
    std::fprintf(stderr, "\nINVARIANT BROKEN: %s\n", what.c_str());
    std::abort();
}
