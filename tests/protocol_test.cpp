// The protocol as a GUI sees it: the built programs driven through pipes in
// a temporary working directory.
#include "board_helpers.h"
#include "data_lines.h"
#include "engine_process.h"
#include "uci.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

namespace {

const std::string ostrel64 = OSTREL64_PATH;
const std::string ostrel32 = OSTREL32_PATH;

std::vector<std::string> readFileLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string onlyLogFile(const TemporaryDirectory& dir) {
    std::vector<std::string> logs;
    for (const std::string& name : dir.files())
        if (name.size() > 4 && name.substr(name.size() - 4) == ".log") logs.push_back(name);
    EXPECT_EQ(logs.size(), 1u);
    return logs.empty() ? std::string() : dir.path() + "/" + logs.front();
}

// Sends isready and returns every line up to and including readyok: a
// fence that proves everything sent before it has been handled.
std::vector<std::string> fence(EngineProcess& engine) {
    engine.send("isready");
    return engine.readUntil("readyok");
}

}  // namespace

TEST(Protocol, BannerIdentificationAndQuit) {
    struct Case {
        std::string program;
        std::vector<std::string> banner;
        std::string idName;
    };
    const Case cases[] = {
        {ostrel64, {"Ostrel 2.0", "Belvantor", "info string 1MB Hash"}, "id name Ostrel 2.2e"},
        {ostrel32, {"Ostrel 2.3", "Belvantor"}, "id name Ostrel 2.3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program);
        TemporaryDirectory dir;
        EngineProcess engine(c.program, dir.path());
        for (const std::string& expected : c.banner) EXPECT_EQ(engine.readLine(), expected);

        engine.send("uci");
        EXPECT_EQ(engine.readLine(), c.idName);
        EXPECT_EQ(engine.readLine(), "id author Belvantor");
        EXPECT_EQ(engine.readLine(), "option name Hash type spin default 1 min 1 max 2048");
        EXPECT_EQ(engine.readLine(), "uciok");

        // A trailing blank makes it another line: no reply at all.
        engine.send("uci ");
        EXPECT_EQ(fence(engine), std::vector<std::string>{"readyok"});

        engine.send("quit");
        EXPECT_EQ(engine.waitForExit(), 0);
    }
}

TEST(Protocol, SetoptionDebugAndUnknownLines) {
    TemporaryDirectory dir;
    EngineProcess engine(ostrel64, dir.path());
    engine.readUntil("info string 1MB Hash");

    // Valid, repeated and other options say nothing.
    engine.send("setoption name Hash value 16");
    engine.send("setoption name Hash value 16");
    engine.send("setoption name Threads value 4");
    engine.send("debug on");
    engine.send("debug off");
    engine.send("stop");
    engine.send("ponderhit");
    engine.send("");
    engine.send("nonsense words");
    EXPECT_EQ(fence(engine), std::vector<std::string>{"readyok"});

    // Invalid values are reported and change nothing; the engine keeps serving.
    for (const char* line : {"setoption name Hash value 0", "setoption name Hash value 4096",
                             "setoption name Hash value abc", "setoption name Hash value",
                             "setoption name Hash value -5", "setoption name Hash value 99999999999999"}) {
        SCOPED_TRACE(line);
        engine.send(line);
        EXPECT_EQ(engine.readLine(), "info string Invalid Hash Param given");
    }
    EXPECT_EQ(fence(engine), std::vector<std::string>{"readyok"});

    // The size that was kept is still 16: sending it again changes nothing,
    // and the engine still searches afterwards.
    engine.send("setoption name Hash value 16");
    engine.send("position startpos");
    engine.send("go depth 2");
    const std::vector<std::string> lines = engine.readUntil("bestmove");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().rfind("bestmove ", 0), 0u);

    engine.send("quit");
    EXPECT_EQ(engine.waitForExit(), 0);
}

TEST(Protocol, EndOfInputEndsTheEngine) {
    for (const std::string& program : {ostrel64, ostrel32}) {
        SCOPED_TRACE(program);
        TemporaryDirectory dir;
        EngineProcess engine(program, dir.path());
        engine.readUntil("Belvantor");
        engine.send("isready");
        engine.closeInput();
        EXPECT_EQ(engine.readUntil("readyok").back(), "readyok");
        EXPECT_EQ(engine.waitForExit(), 0);
    }
}

TEST(Protocol, EndOfInputDuringAnInfiniteSearchStillAnswers) {
    TemporaryDirectory dir;
    EngineProcess engine(ostrel64, dir.path());
    engine.send("position startpos");
    engine.send("go infinite");
    engine.closeInput();
    const std::vector<std::string> lines = engine.readUntil("bestmove");
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.back(), "bestmove ");
    EXPECT_EQ(engine.waitForExit(), 0);
}

TEST(Protocol, CrLfLinesAndAnUnfinishedLineDuringASearch) {
    // Windows GUIs end their lines with CR LF: the same commands. Part of a
    // line arriving during a search does not hold it up.
    TemporaryDirectory dir;
    EngineProcess engine(ostrel64, dir.path());
    engine.readUntil("info string 1MB Hash");
    engine.sendRaw("uci\r\n");
    EXPECT_EQ(engine.readUntil("uciok").size(), 4u);
    engine.sendRaw("position startpos moves e2e4\r\ngo movetime 1000\r\n");
    engine.readUntil("info depth");
    engine.sendRaw("isre");
    const std::vector<std::string> lines = engine.readUntil("bestmove");
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(isLegalBestMove(lines.back(), START_FEN, {"e2e4"}));
    engine.sendRaw("ady\r\n");
    EXPECT_EQ(engine.readLine(), "readyok");
    engine.send("quit");
    EXPECT_EQ(engine.waitForExit(), 0);
}

class ClosedInput : public ::testing::TestWithParam<DataLine> {};

TEST_P(ClosedInput, QueuedCommandsRunAndTheEngineExits) {
    const std::vector<std::string> fields = splitFields(GetParam().text);
    std::vector<std::string> commands;
    for (std::size_t start = 0, bar = 0; bar != std::string::npos; start = bar + 3) {
        bar = fields[0].find(" | ", start);
        commands.push_back(fields[0].substr(start, bar == std::string::npos ? bar : bar - start));
    }
    for (const std::string& program : {ostrel64, ostrel32}) {
        SCOPED_TRACE(program);
        TemporaryDirectory dir;
        EngineProcess engine(program, dir.path());
        for (const std::string& command : commands) engine.send(command);
        engine.closeInput();
        std::vector<std::string> lines;
        while (std::optional<std::string> line = engine.readLine()) lines.push_back(*line);
        EXPECT_EQ(engine.waitForExit(), 0);
        for (std::size_t i = 1; i < fields.size(); ++i) {
            const std::size_t blank = fields[i].find(' ');
            const std::string prefix = fields[i].substr(blank + 1);
            const auto count = std::count_if(lines.begin(), lines.end(),
                                             [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
            EXPECT_EQ(count, std::stol(fields[i].substr(0, blank))) << "lines beginning with \"" << prefix << "\"";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Data, ClosedInput, ::testing::ValuesIn(readDataLines("closed_input.txt")));

TEST(Protocol, OverlongLineIsCutAndItsRestDiscarded) {
    TemporaryDirectory dir;
    EngineProcess engine(ostrel64, dir.path());
    engine.readUntil("info string 1MB Hash");

    // 65,535 characters are kept; the "isready" behind them is the rest of
    // the same line and must never be read as a command.
    const std::string kept(65535, 'x');
    engine.send(kept + "isready" + std::string(100000, 'y'));
    // Exactly 65,535 characters followed by its line end is a whole line.
    engine.send(std::string(65535, 'z'));
    engine.send("isready");
    EXPECT_EQ(engine.readUntil("readyok"), std::vector<std::string>{"readyok"});
    EXPECT_EQ(engine.drain(300), std::vector<std::string>{});
    engine.send("quit");
    EXPECT_EQ(engine.waitForExit(), 0);

    const std::vector<std::string> log = readFileLines(onlyLogFile(dir));
    const std::string suffix = " - source\\UCI 70 UCI::ParseUciCommand";
    std::vector<std::string> inputs;
    for (const std::string& line : log)
        if (line.rfind("IN:  ", 0) == 0) inputs.push_back(line);
    ASSERT_EQ(inputs.size(), 4u);
    EXPECT_EQ(inputs[0], "IN:  " + kept + suffix);
    EXPECT_EQ(inputs[1], "IN:  " + std::string(65535, 'z') + suffix);
    EXPECT_EQ(inputs[2], "IN:  isready" + suffix);
    EXPECT_EQ(inputs[3], "IN:  quit" + suffix);
}

TEST(Protocol, LogFileNameAndLines) {
    TemporaryDirectory dir;
    {
        EngineProcess engine(ostrel64, dir.path());
        engine.readUntil("info string 1MB Hash");
        engine.send("uci");
        engine.readUntil("uciok");
        engine.send("");
        fence(engine);
        engine.send("quit");
        EXPECT_EQ(engine.waitForExit(), 0);
    }
    const std::string path = onlyLogFile(dir);
    const std::string name = path.substr(path.rfind('/') + 1);
    EXPECT_TRUE(isLogFileName(name, false)) << name;

    const std::string out = " - source\\UCI 251 UCI::SendMsg";
    const std::string in = " - source\\UCI 70 UCI::ParseUciCommand";
    const std::vector<std::string> expected = {
        "OUT: Ostrel 2.0" + out,
        "OUT: Belvantor" + out,
        "OUT: info string 1MB Hash" + out,
        "IN:  uci" + in,
        "OUT: id name Ostrel 2.2e" + out,
        "OUT: id author Belvantor" + out,
        "OUT: option name Hash type spin default 1 min 1 max 2048" + out,
        "OUT: uciok" + out,
        "IN:  " + in,
        "IN:  isready" + in,
        "OUT: readyok" + out,
        "IN:  quit" + in,
    };
    EXPECT_EQ(readFileLines(path), expected);
}

TEST(Protocol, TwoEnginesStartedTogetherKeepSeparateLogs) {
    TemporaryDirectory dir;
    EngineProcess first(ostrel64, dir.path());
    EngineProcess second(ostrel32, dir.path());
    first.readUntil("info string 1MB Hash");
    second.readUntil("Belvantor");
    first.send("quit");
    second.send("quit");
    EXPECT_EQ(first.waitForExit(), 0);
    EXPECT_EQ(second.waitForExit(), 0);

    const std::vector<std::string> names = dir.files();
    ASSERT_EQ(names.size(), 2u);
    std::vector<std::string> banners;
    for (const std::string& name : names) {
        const std::vector<std::string> lines = readFileLines(dir.path() + "/" + name);
        ASSERT_FALSE(lines.empty());
        banners.push_back(lines.front());
    }
    std::sort(banners.begin(), banners.end());
    EXPECT_EQ(banners[0], "OUT: Ostrel 2.0 - source\\UCI 251 UCI::SendMsg");
    EXPECT_EQ(banners[1], "OUT: Ostrel 2.3 - source\\UCI 251 UCI::SendMsg");
}

TEST(Protocol, RunsWithoutALogWhereNoFileCanBeCreated) {
    // /proc refuses new files even to the superuser.
    EngineProcess engine(ostrel64, "/proc");
    EXPECT_EQ(engine.readLine(), "Ostrel 2.0");
    EXPECT_EQ(fence(engine).back(), "readyok");
    engine.send("quit");
    EXPECT_EQ(engine.waitForExit(), 0);
}
