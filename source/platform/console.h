// Standard input and output as the protocol needs them: a non-blocking test
// whether a whole command line can be read (pipe or console alike), line
// reads that never block on a partial line, a bounded wait for input, and
// output lines that leave the process at once and whole.
#pragma once

#include "platform/lines.h"

#include <cstdint>
#include <optional>
#include <string>

class InputReader {
public:
    // Longest command line kept; the rest of a longer line is discarded.
    static constexpr std::size_t MAX_LINE = LineAssembler::MAX_LINE;

    // Looks at the process's standard input.
    InputReader();

    // True when standard input is not a console or terminal (a pipe or a file).
    bool isPipe() const { return isPipe_; }
    // False when the process was started without a standard input at all.
    // Judged when the reader is made, before the process opens any file
    // that could take over the descriptor.
    bool isOpen() const { return isOpen_; }

    // Puts a console into the mode the engine reads it in (no window or
    // mouse events) and discards what was typed before the engine started.
    // Nothing to do for a pipe.
    void prepare();

    // True when readLine() would return at once: a whole line is waiting, or
    // the input has ended. Never blocks; in a console, only a finished line
    // (Enter pressed) counts, and events that carry no text are dropped.
    bool lineAvailable();

    // Blocks for at most timeoutMs, returning early as soon as input arrives
    // (or ends). An idle engine sleeps here without using the processor.
    void waitForInput(int timeoutMs);

    // The next line without its line end (a carriage return before the line
    // feed is dropped too); std::nullopt once the input has ended and every
    // line has been read. A final line without a line feed is still returned.
    std::optional<std::string> readLine();

private:
    // Moves whatever input is waiting into lines_ without blocking.
    void fill();

    std::intptr_t handle_;  // the system's handle of standard input
    bool isPipe_;
    bool isOpen_;
    bool ended_ = false;
    LineAssembler lines_;
};

// Makes the standard output stream of the C library unbuffered and keeps a
// closed pipe from killing the process, so diagnostic prints and protocol
// lines reach the reader in the order they were made.
void prepareStandardOutput();

// Writes text and the system's line end to standard output in one call
// (repeated only if the system takes part of it), so a line is never split
// between two writers or held back in a buffer.
void writeOutputLine(const std::string& text);
