// Turns the bytes of standard input into command lines, the same way on every
// system: a line ends at a line feed, a carriage return just before it is
// dropped (so CR LF and LF lines read alike), and a line longer than a command
// may be is cut, the rest of it discarded.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

class LineAssembler {
public:
    // Longest command line kept; the rest of a longer line is discarded.
    static constexpr std::size_t MAX_LINE = 65535;

    void append(const char* data, std::size_t size);
    void append(char c) { append(&c, 1); }
    // Takes back the last character of the line being received (a console's
    // backspace); false when that line is empty.
    bool eraseLast();

    bool hasLine() const { return !ready_.empty(); }
    // The oldest complete line, without its line end.
    std::optional<std::string> takeLine();
    // The unfinished last line, once the input has ended without its line feed.
    std::optional<std::string> takeUnfinished();

private:
    bool discarding_ = false;  // inside the tail of an overlong line
    std::string partial_;      // the line being received
    std::string ready_;        // complete lines, each ended by '\n'
};
