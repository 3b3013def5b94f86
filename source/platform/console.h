// Standard input and output as the protocol needs them on a POSIX system:
// a non-blocking test whether a whole command line can be read (pipe or
// terminal alike), line reads that never block on a partial line, a bounded
// wait for input, and output lines that leave the process at once and whole.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

class InputReader {
public:
    // Longest command line kept; the rest of a longer line is discarded.
    static constexpr std::size_t MAX_LINE = 65535;

    explicit InputReader(int fd = 0);

    // True when standard input is not a terminal (a pipe or a file).
    bool isPipe() const { return isPipe_; }
    // False when the process was started without a standard input at all.
    // Judged when the reader is made, before the process opens any file
    // that could take over the descriptor.
    bool isOpen() const { return isOpen_; }

    // True when readLine() would return at once: a whole line is waiting, or
    // the input has ended. Never blocks.
    bool lineAvailable();

    // Blocks for at most timeoutMs, returning early as soon as input arrives
    // (or ends). An idle engine sleeps here without using the processor.
    void waitForInput(int timeoutMs);

    // The next line without its line end (a carriage return before the line
    // feed is dropped too); std::nullopt once the input has ended and every
    // line has been read. A final line without a line feed is still returned.
    std::optional<std::string> readLine();

private:
    // Moves whatever bytes are waiting into the buffer without blocking.
    void fill();
    // Appends bytes, cutting an overlong line and dropping the rest of it.
    void append(const char* data, std::size_t size);

    int fd_;
    bool isPipe_;
    bool isOpen_;
    bool ended_ = false;
    bool discarding_ = false;       // inside the tail of an overlong line
    std::string partial_;           // the line being received
    std::string ready_;             // complete lines, each ended by '\n'
};

// Makes the standard output stream of the C library unbuffered and keeps a
// closed pipe from killing the process, so diagnostic prints and protocol
// lines reach the reader in the order they were made.
void prepareStandardOutput();

// Writes text followed by a line feed to standard output in one system call
// (repeated only if the kernel takes part of it), so a line is never split
// between two writers or held back in a buffer.
void writeOutputLine(const std::string& text);

struct LocalTime {
    int year, month, day, hour, minute, second;
};
LocalTime localTimeNow();
