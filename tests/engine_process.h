// Runs a built engine program as a child process with pipes on its standard
// input and output, in a fresh temporary working directory, the way a GUI
// does. Used by the protocol tests.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class TemporaryDirectory {
public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
    const std::string& path() const { return path_; }
    // Names of the regular files in the directory.
    std::vector<std::string> files() const;

private:
    std::string path_;
};

class EngineProcess {
public:
    // Generous limits: the tests also run under sanitizers on a loaded machine.
    static constexpr int DEFAULT_TIMEOUT_MS = 20000;

    // With terminalInput, standard input is a pseudo-terminal in raw mode
    // instead of a pipe: what a user types in a console window.
    EngineProcess(const std::string& program, const std::string& workingDirectory,
                  const std::vector<std::string>& arguments = {}, bool terminalInput = false);
    ~EngineProcess();
    EngineProcess(const EngineProcess&) = delete;
    EngineProcess& operator=(const EngineProcess&) = delete;

    void send(const std::string& line);
    void sendRaw(const std::string& bytes);
    void closeInput();

    // The next output line, or nullopt when none arrives in time or the
    // output ended.
    std::optional<std::string> readLine(int timeoutMs = DEFAULT_TIMEOUT_MS);
    // Reads lines until one begins with prefix; returns every line read, the
    // matching one last. Fails the current test when it does not come.
    std::vector<std::string> readUntil(const std::string& prefix, int timeoutMs = DEFAULT_TIMEOUT_MS);
    // Every line that arrives within the given quiet time.
    std::vector<std::string> drain(int quietMs);

    // Waits for the process to end; its exit status, or nullopt on timeout
    // or when it ended by a signal.
    std::optional<int> waitForExit(int timeoutMs = DEFAULT_TIMEOUT_MS);
    int pid() const { return pid_; }

private:
    int pid_ = -1;
    int toChild_ = -1;
    int fromChild_ = -1;
    bool exited_ = false;
    std::string pending_;
};

// Milliseconds on a steady clock, for measuring replies in tests.
std::int64_t steadyMs();

// Whether a file name is a log's: the start time "YYYY-MM-DD HH-MM-SS" with
// blank-padded fields, then ".log", or, when allowed, " (2).log" of a second
// engine started in the same second.
bool isLogFileName(const std::string& name, bool secondInTheSameSecond);
