// Built programs run through real pipes, the way a GUI runs them, by
// transcripts kept as data: what is sent and what must come back, with every
// search checked as a GUI reads it. The transcript language is described in
// tests/data/README.md.
#pragma once

#include "data_lines.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

// How a test program starts one of the programs transcripts name.
struct Launcher {
    std::string name;
    std::string variant;               // "64" or "32"
    std::vector<std::string> command;  // the program and the arguments it always gets
    std::vector<std::string> banner;   // the lines it writes at start
    bool terminal = false;             // standard input a terminal instead of a pipe
    bool crlf = false;                 // lines are sent, written and logged with CR LF
    int timeoutMs = 20000;             // generous: sanitizers on a loaded machine
};

struct Transcript {
    std::string where;  // file and line of the header
    std::string title;
    std::vector<std::string> targets;
    std::vector<std::string> arguments;
    std::string directory;
    std::vector<DataLine> steps;
};

std::vector<Transcript> readTranscripts(const std::string& fileName);
void runTranscript(const Transcript& transcript, const std::vector<Launcher>& launchers);
// The title in capitalised words, for the test's name.
std::string transcriptName(const ::testing::TestParamInfo<Transcript>& info);
inline void PrintTo(const Transcript& transcript, std::ostream* out) { *out << transcript.where; }

// An info line read by the protocol's grammar, written from the protocol
// rather than from the engine: every keyword with exactly its arguments,
// "pv" and "string" taking the rest of the line.
struct InfoLine {
    std::map<std::string, std::string> fields;
    std::vector<std::string> pv;
    std::optional<std::string> text;
};
std::optional<InfoLine> readInfoLine(const std::string& line, std::string& error);

class TemporaryDirectory {
public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};
