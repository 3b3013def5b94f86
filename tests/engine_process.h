// Built programs run through real pipes, the way a GUI runs them, by transcripts kept as data: what is sent and
// what must come back, with every search checked as a GUI reads it. The transcript language is described in
// tests/data/README.md.
#pragma once

#include "data_lines.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

// How a test program starts one of the programs transcripts name.
struct Launcher {
    std::string name, variant;         // variant: "64" or "32"
    std::vector<std::string> command;  // the program and the arguments it always gets
    bool engine = true;                // writes the engine's start-up lines
    bool terminal = false;             // standard input a terminal instead of a pipe
    bool windows = false;              // CR LF line ends, and Wine's slowness to wait for
};

struct Transcript {
    std::string where, title, directory;  // where: the file and line of the header
    std::vector<std::string> targets, arguments;
    std::vector<DataLine> steps;
};

std::vector<Transcript> readTranscripts(const std::string& fileName);
void runTranscript(const Transcript& transcript, const std::vector<Launcher>& launchers);
// The title in capitalised words, for the test's name.
std::string transcriptName(const ::testing::TestParamInfo<Transcript>& info);
inline void PrintTo(const Transcript& transcript, std::ostream* out) { *out << transcript.where; }

// One test of the fixture per transcript of the file.
#define INSTANTIATE_TRANSCRIPTS(group, fixture, file) \
    INSTANTIATE_TEST_SUITE_P(group, fixture, ::testing::ValuesIn(readTranscripts(file)), transcriptName)

// A fresh directory, removed with everything in it at the end of its scope.
struct TemporaryDirectory {
    TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    ~TemporaryDirectory();
    std::string path;
};
