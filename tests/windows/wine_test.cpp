// The Windows programs under Wine, driven by the transcripts of
// tests/data/wine.txt through the three kinds of input a Windows user gives
// them: a pipe of the host (a Linux GUI starting the program under Wine),
// an anonymous Windows pipe (a Windows GUI; reached through pipe_relay.exe)
// and a console someone types into.
#include "engine_process.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <unistd.h>

namespace {

std::vector<Launcher> launchers() {
    const std::string relay = PIPE_RELAY_EXE;
    const auto windowsPath = [](std::string path) {
        for (char& c : path)
            if (c == '/') c = '\\';
        return "Z:" + path;
    };
    const std::vector<std::string> banner64 = {"Ostrel 2.0", "Belvantor", "info string 1MB Hash"};
    const std::vector<std::string> banner32 = {"Ostrel 2.3", "Belvantor"};
    // Wine's first start in a fresh prefix takes a while, and everything
    // runs slower under it.
    std::vector<Launcher> all = {
        {"exe64", "64", {WINE_PROGRAM, OSTREL64_EXE}, banner64},
        {"exe32", "32", {WINE_PROGRAM, OSTREL32_EXE}, banner32},
        {"exe64-relay", "64", {WINE_PROGRAM, relay, windowsPath(OSTREL64_EXE)}, banner64},
        {"exe32-relay", "32", {WINE_PROGRAM, relay, windowsPath(OSTREL32_EXE)}, banner32},
        {"exe64-console", "64", {WINE_PROGRAM, OSTREL64_EXE}, banner64, true},
        {"console-test64", "64", {WINE_PROGRAM, CONSOLE_TEST64_EXE}, {}, true},
        {"console-test32", "32", {WINE_PROGRAM, CONSOLE_TEST32_EXE}, {}, true},
    };
    for (Launcher& launcher : all) {
        launcher.crlf = true;
        launcher.timeoutMs = 120000;
    }
    return all;
}

// Sets Wine up once for all tests: its own prefix in the build folder, no
// debug output, no installer dialogs; the first test to run creates the
// prefix while the others wait for it.
class WineEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        const std::string prefix = WINE_PREFIX;
        setenv("WINEPREFIX", prefix.c_str(), 1);
        setenv("WINEDEBUG", "-all", 1);
        setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);
        const int lock = open((prefix + ".lock").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0644);
        ASSERT_GE(lock, 0);
        flock(lock, LOCK_EX);
        if (!std::filesystem::exists(prefix + "/system.reg")) {
            EXPECT_EQ(std::system((std::string(WINE_PROGRAM) + " wineboot --init >/dev/null 2>&1").c_str()), 0);
        }
        flock(lock, LOCK_UN);
        close(lock);
    }
};
[[maybe_unused]] ::testing::Environment* const environment = ::testing::AddGlobalTestEnvironment(new WineEnvironment);

class UnderWine : public ::testing::TestWithParam<Transcript> {};

}  // namespace

TEST_P(UnderWine, Transcript) { runTranscript(GetParam(), launchers()); }

INSTANTIATE_TEST_SUITE_P(Platform, UnderWine, ::testing::ValuesIn(readTranscripts("wine.txt")), transcriptName);
