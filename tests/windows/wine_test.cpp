// The Windows programs under Wine, driven by the transcripts of tests/data/wine.txt through the three kinds of
// input a Windows user gives them: a pipe of the host (a Linux GUI starting the program under Wine), an anonymous
// Windows pipe (a Windows GUI; reached through pipe_relay.exe) and a console someone types into.
#include "engine_process.h"

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <unistd.h>

namespace {

std::string windowsPath(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return "Z:" + path;
}

const std::string wine = WINE_PROGRAM, relay = PIPE_RELAY_EXE, exe64 = OSTREL64_EXE, exe32 = OSTREL32_EXE;
const std::vector<Launcher> launchers = {
    {.name = "exe64", .variant = "64", .command = {wine, exe64}, .windows = true},
    {.name = "exe32", .variant = "32", .command = {wine, exe32}, .windows = true},
    {.name = "exe64-relay", .variant = "64", .command = {wine, relay, windowsPath(exe64)}, .windows = true},
    {.name = "exe32-relay", .variant = "32", .command = {wine, relay, windowsPath(exe32)}, .windows = true},
    {.name = "exe64-console", .variant = "64", .command = {wine, exe64}, .terminal = true, .windows = true},
    // The console reader's own check, which writes "ok" rather than the engine's lines.
    {.name = "console-test64", .variant = "64", .command = {wine, CONSOLE_TEST64_EXE}, .engine = false, .terminal = true,
     .windows = true},
    {.name = "console-test32", .variant = "32", .command = {wine, CONSOLE_TEST32_EXE}, .engine = false, .terminal = true,
     .windows = true},
};

// Sets Wine up once for all tests: its own prefix in the build folder, no debug output, no installer dialogs; the
// first test to run creates the prefix while the others wait for it.
struct WineEnvironment : ::testing::Environment {
    void SetUp() override {
        const std::string prefix = WINE_PREFIX;
        setenv("WINEPREFIX", prefix.c_str(), 1);
        setenv("WINEDEBUG", "-all", 1);
        setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);
        const int lock = open((prefix + ".lock").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0644);
        ASSERT_GE(lock, 0);
        flock(lock, LOCK_EX);
        EXPECT_TRUE(std::filesystem::exists(prefix + "/system.reg") ||
                    std::system((wine + " wineboot --init >/dev/null 2>&1").c_str()) == 0);
        close(lock);
    }
};
[[maybe_unused]] ::testing::Environment* const environment = ::testing::AddGlobalTestEnvironment(new WineEnvironment);

class UnderWine : public ::testing::TestWithParam<Transcript> {};

}  // namespace

TEST_P(UnderWine, Transcript) { runTranscript(GetParam(), launchers); }
INSTANTIATE_TRANSCRIPTS(Platform, UnderWine, "wine.txt");
