// The part of the input reader that is the same on every system: lines are
// taken from what fill() has gathered, so only fill() and the waits know
// whether standard input is a pipe, a terminal or a console.
#include "platform/console.h"

bool InputReader::lineAvailable() {
    if (!lines_.hasLine()) fill();
    return lines_.hasLine() || ended_;
}

std::optional<std::string> InputReader::readLine() {
    if (!lines_.hasLine()) fill();
    if (std::optional<std::string> line = lines_.takeLine()) return line;
    if (ended_) return lines_.takeUnfinished();
    return std::nullopt;
}
