// The Windows programs under Wine, driven through real pipes and a console as
// a Windows GUI or user drives them, and compared with the Linux programs.
#include "board_helpers.h"
#include "engine_process.h"
#include "uci.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/file.h>
#include <unistd.h>

namespace {

// Wine's first start in a fresh prefix takes a while, and everything runs
// slower under it: generous limits.
constexpr int WINE_TIMEOUT_MS = 120000;

const std::string wine = WINE_PROGRAM;

struct Program {
    std::string exe;           // the Windows program
    std::string linuxProgram;  // the Linux program of the same variant
    std::vector<std::string> banner;
    std::string idName;
};
const Program ostrel64{OSTREL64_EXE, OSTREL64_PATH, {"Ostrel 2.0", "Belvantor", "info string 1MB Hash"},
                       "id name Ostrel 2.2e"};
const Program ostrel32{OSTREL32_EXE, OSTREL32_PATH, {"Ostrel 2.3", "Belvantor"}, "id name Ostrel 2.3"};

// How the program's standard input is connected.
enum class Input {
    HOST_PIPE,     // a pipe of the host system, as when a Linux GUI starts the program under Wine
    WINDOWS_PIPE,  // an anonymous Windows pipe, as when a Windows GUI starts it
    CONSOLE,       // a console a user types into
};

const char* name(Input input) {
    return input == Input::HOST_PIPE ? "host pipe" : input == Input::WINDOWS_PIPE ? "Windows pipe" : "console";
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
            EXPECT_EQ(std::system((wine + " wineboot --init >/dev/null 2>&1").c_str()), 0);
        }
        flock(lock, LOCK_UN);
        close(lock);
    }
};
[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new WineEnvironment);

std::string windowsPath(std::string path) {
    for (char& c : path)
        if (c == '/') c = '\\';
    return "Z:" + path;
}

std::vector<std::string> wineArguments(const std::string& exe, Input input, std::vector<std::string> arguments) {
    std::vector<std::string> all = {exe};
    if (input == Input::WINDOWS_PIPE) all = {PIPE_RELAY_EXE, windowsPath(exe)};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return all;
}

// A Windows program under Wine in a temporary working directory. Lines are
// sent with CR LF; every line it writes must end in CR LF.
class WindowsProgram {
public:
    WindowsProgram(const std::string& exe, Input input, const std::string& directory,
                   const std::vector<std::string>& arguments = {})
        : process_(wine, directory, wineArguments(exe, input, arguments), input == Input::CONSOLE) {}

    EngineProcess& process() { return process_; }
    void send(const std::string& line) { process_.sendRaw(line + "\r\n"); }

    std::optional<std::string> readLine() {
        std::optional<std::string> line = process_.readLine(WINE_TIMEOUT_MS);
        if (line) *line = withoutCarriageReturn(*line);
        return line;
    }
    std::vector<std::string> readUntil(const std::string& prefix) {
        std::vector<std::string> lines = process_.readUntil(prefix, WINE_TIMEOUT_MS);
        for (std::string& line : lines) line = withoutCarriageReturn(line);
        return lines;
    }
    std::optional<int> waitForExit() { return process_.waitForExit(WINE_TIMEOUT_MS); }

private:
    static std::string withoutCarriageReturn(const std::string& line) {
        if (line.empty() || line.back() != '\r') {
            ADD_FAILURE() << "line without CR LF: " << line;
            return line;
        }
        return line.substr(0, line.size() - 1);
    }

    EngineProcess process_;
};

// The lines of a search that do not depend on the clock: the variations
// and the completed depths, without their times and speeds, and the move.
std::vector<std::string> searchLines(const std::vector<std::string>& lines) {
    std::vector<std::string> result;
    for (const std::string& line : lines) {
        if (line.rfind("info depth ", 0) != 0 && line.rfind("bestmove", 0) != 0) continue;
        std::istringstream words(line);
        std::string word, kept;
        while (words >> word) {
            if (word == "time" || word == "nps") {
                words >> word;
                continue;
            }
            kept += (kept.empty() ? "" : " ") + word;
        }
        result.push_back(kept);
    }
    return result;
}

std::string fileContents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

TEST(Wine, BannerUciIsreadyAndQuitOverBothKindsOfPipe) {
    for (const Program* program : {&ostrel64, &ostrel32}) {
        for (Input input : {Input::HOST_PIPE, Input::WINDOWS_PIPE}) {
            SCOPED_TRACE(program->exe + " through a " + name(input));
            TemporaryDirectory dir;
            WindowsProgram engine(program->exe, input, dir.path());
            for (const std::string& expected : program->banner) EXPECT_EQ(engine.readLine(), expected);
            engine.send("uci");
            EXPECT_EQ(engine.readLine(), program->idName);
            EXPECT_EQ(engine.readLine(), "id author Belvantor");
            EXPECT_EQ(engine.readLine(), "option name Hash type spin default 1 min 1 max 2048");
            EXPECT_EQ(engine.readLine(), "uciok");
            engine.send("isready");
            EXPECT_EQ(engine.readLine(), "readyok");
            engine.send("quit");
            EXPECT_EQ(engine.waitForExit(), 0);
        }
    }
}

TEST(Wine, ShortGamePlaysTheLinuxProgramsMoves) {
    // The Linux program plays both sides for a few moves; the Windows
    // program, given the same commands, must search alike and answer the
    // same legal moves.
    constexpr int PLIES = 4;
    for (const Program* program : {&ostrel64, &ostrel32}) {
        const Input input = program == &ostrel64 ? Input::WINDOWS_PIPE : Input::HOST_PIPE;
        SCOPED_TRACE(program->exe + " through a " + name(input));
        TemporaryDirectory dir;
        EngineProcess linuxEngine(program->linuxProgram, dir.path());
        WindowsProgram engine(program->exe, input, dir.path());
        std::vector<std::string> moves = {"e2e4", "e7e5", "g1f3"};
        for (int ply = 0; ply < PLIES; ++ply) {
            std::string position = "position startpos moves";
            for (const std::string& move : moves) position += " " + move;
            for (const std::string& command : {position, std::string("go depth 5")}) {
                linuxEngine.send(command);
                engine.send(command);
            }
            const std::vector<std::string> expected = searchLines(linuxEngine.readUntil("bestmove"));
            const std::vector<std::string> lines = searchLines(engine.readUntil("bestmove"));
            EXPECT_EQ(lines, expected) << position;
            ASSERT_FALSE(expected.empty());
            ASSERT_TRUE(isLegalBestMove(expected.back(), START_FEN, moves));
            moves.push_back(expected.back().substr(std::string("bestmove ").size(), 4));
        }
        engine.send("quit");
        EXPECT_EQ(engine.waitForExit(), 0);
    }
}

TEST(Wine, PerftOfTheReferencePositions) {
    // Each position to the deepest depth of at most this many leaves.
    constexpr long long MAX_LEAVES = 200000;
    std::ifstream data(std::string(OSTREL_DATA_DIR) + "/perft.epd");
    std::vector<std::pair<std::string, std::string>> cases;  // commands, expected last line
    for (std::string line; std::getline(data, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string fen, field, best;
        std::getline(fields, fen, ';');
        while (std::getline(fields, field, ';')) {
            std::istringstream words(field);
            std::string depth;
            long long count = 0;
            words >> depth >> count;
            if (count <= MAX_LEAVES) best = depth.substr(1) + " " + std::to_string(count);
        }
        const std::string depth = best.substr(0, best.find(' '));
        cases.push_back({"position fen " + fen + "\r\nperft " + depth, "Nodes searched: " + best.substr(best.find(' ') + 1)});
    }
    ASSERT_GE(cases.size(), 10u);

    for (const Program* program : {&ostrel64, &ostrel32}) {
        SCOPED_TRACE(program->exe);
        TemporaryDirectory dir;
        WindowsProgram engine(program->exe, Input::HOST_PIPE, dir.path());
        for (const auto& [commands, expected] : cases) {
            engine.send(commands);
            EXPECT_EQ(engine.readUntil("Nodes searched:").back(), expected) << commands;
        }
        engine.send("quit");
        EXPECT_EQ(engine.waitForExit(), 0);
    }
}

TEST(Wine, EndOfInputEndsTheProgramAfterItsAnswers) {
    for (const Program* program : {&ostrel64, &ostrel32}) {
        for (Input input : {Input::HOST_PIPE, Input::WINDOWS_PIPE}) {
            SCOPED_TRACE(program->exe + " through a " + name(input));
            {
                TemporaryDirectory dir;
                WindowsProgram engine(program->exe, input, dir.path());
                engine.send("isready");
                engine.process().closeInput();
                EXPECT_EQ(engine.readUntil("readyok").back(), "readyok");
                EXPECT_EQ(engine.waitForExit(), 0);
            }
            {
                // A search that would only end on "stop" ends with its move.
                TemporaryDirectory dir;
                WindowsProgram engine(program->exe, input, dir.path());
                engine.send("position startpos");
                engine.send("go infinite");
                engine.process().closeInput();
                const std::vector<std::string> lines = engine.readUntil("bestmove");
                ASSERT_FALSE(lines.empty());
                EXPECT_TRUE(isLegalBestMove(lines.back(), START_FEN));
                EXPECT_EQ(engine.waitForExit(), 0);
            }
        }
    }
}

TEST(Wine, UnfinishedLineDoesNotHoldUpASearch) {
    // Part of a line arrives while the engine searches: the search still
    // ends on time, and the line counts once it is complete.
    for (Input input : {Input::HOST_PIPE, Input::WINDOWS_PIPE, Input::CONSOLE}) {
        SCOPED_TRACE(name(input));
        TemporaryDirectory dir;
        WindowsProgram engine(ostrel64.exe, input, dir.path());
        // Typed-ahead console input is discarded at start: wait for the banner.
        engine.readUntil("info string 1MB Hash");
        engine.send("position startpos");
        engine.send("go movetime 1000");
        engine.readUntil("info depth");
        engine.process().sendRaw("isre");
        const std::vector<std::string> lines = engine.readUntil("bestmove");
        ASSERT_FALSE(lines.empty());
        EXPECT_TRUE(isLegalBestMove(lines.back(), START_FEN));
        engine.process().sendRaw("ady\r\n");
        EXPECT_EQ(engine.readLine(), "readyok");
        engine.send("quit");
        EXPECT_EQ(engine.waitForExit(), 0);
    }
}

TEST(Wine, ConsoleReaderDropsEventsWithoutTextAndWaitsForEnter) {
    for (const char* test : {CONSOLE_TEST64_EXE, CONSOLE_TEST32_EXE}) {
        SCOPED_TRACE(test);
        TemporaryDirectory dir;
        WindowsProgram program(test, Input::CONSOLE, dir.path());
        EXPECT_EQ(program.readLine(), "ok");
        EXPECT_EQ(program.waitForExit(), 0);
    }
}

TEST(Wine, LogFilesOfTwoProgramsStartedTogether) {
    TemporaryDirectory dir;
    {
        WindowsProgram first(ostrel64.exe, Input::WINDOWS_PIPE, dir.path());
        WindowsProgram second(ostrel32.exe, Input::HOST_PIPE, dir.path());
        for (WindowsProgram* engine : {&first, &second}) {
            engine->send("uci");
            engine->readUntil("uciok");
            engine->send("");
            engine->send("isready");
            engine->readUntil("readyok");
            engine->send("quit");
            EXPECT_EQ(engine->waitForExit(), 0);
        }
    }

    const std::string out = " - source\\UCI 251 UCI::SendMsg\r\n";
    const std::string in = " - source\\UCI 70 UCI::ParseUciCommand\r\n";
    std::vector<std::string> logs;
    for (const std::string& file : dir.files()) {
        EXPECT_TRUE(isLogFileName(file, true)) << file;
        logs.push_back(fileContents(dir.path() + "/" + file));
    }
    ASSERT_EQ(logs.size(), 2u);
    std::sort(logs.begin(), logs.end());
    for (const Program* program : {&ostrel64, &ostrel32}) {
        std::string expected;
        for (const std::string& line : program->banner) expected += "OUT: " + line + out;
        expected += "IN:  uci" + in + "OUT: " + program->idName + out + "OUT: id author Belvantor" + out +
                    "OUT: option name Hash type spin default 1 min 1 max 2048" + out + "OUT: uciok" + out +
                    "IN:  " + in + "IN:  isready" + in + "OUT: readyok" + out + "IN:  quit" + in;
        EXPECT_EQ(logs[program == &ostrel64 ? 0 : 1], expected);
    }
}

TEST(Wine, BenchNodeCountsEqualTheLinuxPrograms) {
    // A 32-bit build is where a hidden assumption about the width of a type
    // shows: a different node count.
    const std::string depth = "5";
    for (const Program* program : {&ostrel64, &ostrel32}) {
        SCOPED_TRACE(program->exe);
        TemporaryDirectory dir;
        EngineProcess linuxRun(program->linuxProgram, dir.path(), {"bench", depth});
        const std::string expected = linuxRun.readUntil("Nodes searched:").back();
        WindowsProgram engine(program->exe, Input::HOST_PIPE, dir.path(), {"bench", depth});
        EXPECT_EQ(engine.readUntil("Nodes searched:").back(), expected);
        EXPECT_EQ(engine.waitForExit(), 0);
    }
}
