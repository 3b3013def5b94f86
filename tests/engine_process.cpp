// GCC 12 warns falsely inside <regex> when it optimises with the sanitizers (its bug 105562); the warning is off
// for this file, headers included.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include "engine_process.h"

#include "board/error.h"
#include "board/gamemoves.h"
#include "options.h"
#include "uci.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <poll.h>
#include <regex>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace {

std::int64_t steadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int msUntil(std::int64_t deadline) { return int(std::max<std::int64_t>(deadline - steadyMs(), 0)); }

std::set<std::string> filesIn(const std::string& directory) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        if (entry.is_regular_file()) names.insert(entry.path().filename().string());
    return names;
}

// A step's pattern matches the beginning of a line, or the whole line where it ends in '$'; '*' stands for a run
// of non-blank characters.
std::regex patternOf(std::string pattern, bool whole) {
    whole |= !pattern.empty() && pattern.back() == '$';
    if (!pattern.empty() && pattern.back() == '$') pattern.pop_back();
    std::string expression = "^";
    for (const char c : pattern) {
        if (c == '*') expression += "[^ ]*";
        else if (std::strchr("\\^$.|?+()[]{}", c) != nullptr) expression += std::string{'\\', c};
        else expression += c;
    }
    return std::regex(expression + (whole ? "$" : ""));
}

// {c*N} in a step stands for N times the character c.
std::string expand(std::string text) {
    for (std::size_t at; (at = text.find('{')) != std::string::npos && at + 3 < text.size() && text[at + 2] == '*';) {
        const std::size_t end = text.find('}', at);
        text.replace(at, end - at + 1, std::string(std::stoul(text.substr(at + 3, end - at - 3)), text[at + 1]));
    }
    return text;
}

// The local start time with blank-padded fields, "YYYY-MM-DD HH-MM-SS.log", or " (2).log" for a second program
// started in the same second.
const std::regex logFileShape(R"(\d{4}(-[ \d]\d){2} [ \d]\d(-[ \d]\d){2}( \(2\))?\.log)");

// One program running one transcript, started in the given folder with pipes on its standard input and output, or
// with a pseudo-terminal in raw mode as its input: a console someone types into.
class Run {
public:
    Run(const Launcher& launcher, const Transcript& transcript, const std::string& directory)
        : launcher_(launcher), transcript_(transcript), directory_(directory),
          // Generous: sanitizers on a loaded machine; Wine's first start in a fresh prefix takes a while, and
          // everything runs slower under it.
          timeoutMs_(launcher.windows ? 120000 : 20000),
          before_(transcript.directory.empty() ? filesIn(directory) : std::set<std::string>{}) {
        std::signal(SIGPIPE, SIG_IGN);
        int in[2], out[2];  // in[1] is the side written to: for a terminal, its master side
        if (launcher.terminal) {
            termios raw{};
            in[1] = posix_openpt(O_RDWR | O_NOCTTY);
            if (in[1] < 0 || grantpt(in[1]) != 0 || unlockpt(in[1]) != 0 ||
                (in[0] = open(ptsname(in[1]), O_RDWR | O_NOCTTY)) < 0 || tcgetattr(in[0], &raw) != 0)
                throw std::runtime_error("no terminal");
            cfmakeraw(&raw);
            tcsetattr(in[0], TCSANOW, &raw);
        } else if (pipe(in) != 0) {
            throw std::runtime_error("pipe failed");
        }
        if (pipe(out) != 0 || (pid_ = fork()) < 0) throw std::runtime_error("pipe or fork failed");
        if (pid_ == 0) {
            dup2(in[0], STDIN_FILENO);
            dup2(out[1], STDOUT_FILENO);
            for (int fd : {in[0], in[1], out[0], out[1]}) close(fd);
            std::vector<std::string> command = launcher.command;
            command.insert(command.end(), transcript.arguments.begin(), transcript.arguments.end());
            std::vector<char*> argv;
            for (std::string& word : command) argv.push_back(word.data());
            argv.push_back(nullptr);
            if (chdir(directory.c_str()) == 0) execv(argv[0], argv.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        toChild_ = in[1];
        fromChild_ = out[0];
    }

    ~Run() {
        closeInput();
        if (!exited_ && kill(pid_, SIGKILL) == 0) waitpid(pid_, nullptr, 0);
        close(fromChild_);
    }

    void run() {
        where_ = transcript_.where;
        if (launcher_.engine && transcript_.arguments.empty())
            for (const std::string& line : startupLines())
                if (!expectNext(line)) return;
        for (const DataLine& step : transcript_.steps) {
            where_ = step.where;
            std::string text = step.text;
            if (text.starts_with("64 ") || text.starts_with("32 ")) {
                if (text.substr(0, 2) != launcher_.variant) continue;
                text.erase(0, 3);
            }
            if (!perform(text) || failed_) return;
        }
        if (logAt_ < log_.size()) fail("log line not named: " + log_[logAt_]);
    }

private:
    std::vector<std::string> startupLines() const {
        if (launcher_.variant == "32") return {"Ostrel 2.3", "Belvantor"};
        return {"Ostrel 2.0", "Belvantor", "info string 1MB Hash"};
    }

    bool fail(const std::string& why) {
        ADD_FAILURE() << where_ << ": " << (why.size() > 300 ? why.substr(0, 300) + "..." : why);
        failed_ = true;
        return false;
    }

    bool perform(const std::string& step) {
        const std::size_t blank = step.find(' ');
        const std::string op = step.substr(0, blank);
        const std::string arg = blank == std::string::npos ? "" : expand(step.substr(blank + 1));
        if (op == ">") return send(arg + (launcher_.windows ? "\r\n" : "\n"));
        if (op == ">>")
            return send(std::regex_replace(std::regex_replace(arg, std::regex(R"(\\r)"), "\r"), std::regex(R"(\\n)"), "\n"));
        if (op == "<") return expectNext(arg);
        if (op == "<<") return readUntil(arg);
        if (op == "quiet") return quiet(std::stoi(arg));
        if (op == "close") return closeInput(), true;
        if (op == "exit") return exitWith(std::stoi(arg));
        if (op == "last") return lastInfo_.find(arg) != std::string::npos || fail("the last search ended on " + lastInfo_);
        if (op == "repetition") return repeated_ || fail("no variation of the last search ends at a repetition");
        if (op == "log") return readLog(arg);
        if (op == "selfplay") return selfPlay(std::stoi(arg), arg.substr(arg.find(' ') + 1));
        if (op == "L" && logAt_ == log_.size()) return fail("the log ends before \"" + arg + "\"");
        if (op == "L") return log_[logAt_++] == arg || fail("log line \"" + log_[logAt_ - 1] + "\"");
        if (op != "count") return fail("unknown step \"" + op + "\"");
        const std::regex pattern = patternOf(arg.substr(arg.find(' ') + 1), false);
        const auto n = std::count_if(lines_.begin(), lines_.end(), [&](const std::string& line) { return std::regex_search(line, pattern); });
        return n == std::stol(arg) || fail(std::to_string(n) + " lines instead of " + arg);
    }

    // The program plays a game against itself from the start position: each move found by the "go" line given is
    // played in the next search's position, until the game is over or it has this many moves (of each side).
    bool selfPlay(int moves, const std::string& go) {
        std::string played;
        for (int ply = 0; ply < 2 * moves; ++ply) {
            perform("> position startpos" + (played.empty() ? "" : " moves" + played));
            perform("> " + go);
            if (!readUntil("bestmove")) return false;
            const std::string move = wordsOf(lines_.back())[1];
            if (move == "0000") return true;
            played += " " + move;
        }
        return true;
    }

    // Sends bytes and follows the position every whole line sets up, so the searches can be checked against it.
    bool send(const std::string& bytes) {
        for (std::size_t done = 0; done < bytes.size();) {
            const ssize_t n = write(toChild_, bytes.data() + done, bytes.size() - done);
            if (n <= 0 && errno != EINTR) break;
            done += std::size_t(std::max<ssize_t>(n, 0));
        }
        unsent_ += bytes;
        for (std::size_t end; (end = unsent_.find('\n')) != std::string::npos; unsent_.erase(0, end + 1)) {
            std::string line = unsent_.substr(0, end);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.starts_with("setoption name UCI_Chess960 value ")) chess960_ = line.ends_with(" true");
            if (line.starts_with("position")) setPosition(line);
            if (line == "ucinewgame") setPosition("position startpos");
            if (line.starts_with("go")) searches_.push_back({position_, allowedMoves(line)});
            if (const OptionRequest r = readSetOption(line); r.option && r.option->id == OptionId::MULTI_PV && r.error.empty())
                linesWanted_ = r.value;
        }
        return true;
    }

    void setPosition(const std::string& line) {
        Board board;
        try {
            const bool fen = line.starts_with("position fen");
            board.setFromFen(fen ? line.substr(std::min<std::size_t>(line.size(), 13)) : START_FEN, chess960_);
        } catch (const EngineError&) {
            return;  // refused: the previous position stays
        }
        const std::size_t movesAt = line.find("moves");
        for (const std::string& word : wordsOf(movesAt == std::string::npos ? "" : line.substr(movesAt)))
            playMoveText(board, word);
        position_ = board;
    }

    // The legal moves among the words after "searchmoves"; empty when the whole root is searched.
    std::set<std::string> allowedMoves(const std::string& go) const {
        std::set<std::string> allowed;
        static const std::set<std::string> goWords = {"wtime", "btime", "winc", "binc", "movestogo", "depth",
                                                      "nodes", "mate", "movetime", "infinite", "ponder"};
        const std::vector<std::string> words = wordsOf(go);
        for (auto w = std::find(words.begin(), words.end(), "searchmoves"); w != words.end() && ++w != words.end();) {
            if (goWords.count(*w)) break;
            if (Board board = position_; playMoveText(board, *w)) allowed.insert(*w);
        }
        return allowed;
    }

    // What a line's score is worth, mates beyond every centipawn score and the nearer the better.
    static long scoreValue(const std::vector<std::string>& score) {
        const long n = std::stol(score[1]);
        return score[0] == "cp" ? n : n > 0 ? 1000000000L - n : -1000000000L - n;
    }

    // Several lines of one iteration come numbered 1, 2, ... at the same depth, with different first moves, best
    // first, as many as were asked for or as the root has moves.
    void checkLines(const std::vector<std::string>& info) {
        const auto after = [&](const char* word) { return std::find(info.begin(), info.end(), word) + 1; };
        const bool numbered = std::find(info.begin(), info.end(), "multipv") != info.end();
        const int number = numbered ? std::stoi(*after("multipv")) : 0;
        if (number <= 1 && !group_.empty()) {
            std::size_t roots = searches_.front().allowed.size();
            if (roots == 0) forEachLegalMove(searches_.front().board, [&](Move) { ++roots; });
            if (group_.size() != std::min<std::size_t>(linesWanted_, roots))
                fail(std::to_string(group_.size()) + " lines where " + std::to_string(linesWanted_) + " were asked for");
            group_.clear();
        }
        if (!numbered) return;
        const std::string depth = *after("depth"), move = *after("pv");
        const long value = scoreValue({*after("score"), *(after("score") + 1)});
        if (number != int(group_.size()) + 1 || (!group_.empty() && depth != groupDepth_))
            return void(fail("line " + std::to_string(number) + " out of its place"));
        for (const auto& [first, score] : group_)
            if (first == move || score < value) return void(fail("line " + std::to_string(number) + " repeats or beats a line above it"));
        group_.emplace_back(move, value);
        groupDepth_ = depth;
    }

    std::optional<std::string> next(int timeoutMs) {
        std::optional<std::string> line = readLine(timeoutMs);
        if (!line) return line;
        if (launcher_.windows && (line->empty() || line->back() != '\r')) fail("a line without CR LF: " + *line);
        else if (launcher_.windows) line->pop_back();
        lines_.push_back(*line);
        if (line->starts_with("info")) checkInfo(*line);
        if (line->starts_with("bestmove")) checkBestMove(*line);
        return line;
    }

    bool expectNext(const std::string& pattern) {
        const std::optional<std::string> line = next(timeoutMs_);
        if (!line) return fail("no line where \"" + pattern + "\" was expected");
        return std::regex_search(*line, patternOf(pattern, true)) || fail("\"" + *line + "\" where \"" + pattern + "\" was expected");
    }

    bool readUntil(const std::string& pattern) {
        const std::int64_t deadline = steadyMs() + timeoutMs_;
        const std::regex wanted = patternOf(pattern, false);
        while (const std::optional<std::string> line = failed_ ? std::nullopt : next(msUntil(deadline))) {
            if (std::regex_search(*line, wanted)) return true;
            if (line->starts_with("bestmove")) fail("\"" + *line + "\" before \"" + pattern + "\"");
        }
        return failed_ ? false : fail("no line beginning \"" + pattern + "\"");
    }

    bool quiet(int ms) {
        const std::int64_t deadline = steadyMs() + ms;
        while (const std::optional<std::string> line = failed_ ? std::nullopt : next(msUntil(deadline)))
            if (!line->starts_with("info")) return fail("\"" + *line + "\" within " + std::to_string(ms) + " ms");
        return true;
    }

    bool exitWith(int expected) {
        std::int64_t deadline = steadyMs() + timeoutMs_;
        while (!failed_ && next(msUntil(deadline))) continue;
        // Ending by a signal or not in time counts as no exit.
        std::optional<int> status;
        for (deadline += 100; !exited_ && steadyMs() <= deadline; usleep(2000)) {
            int how = 0;
            exited_ = waitpid(pid_, &how, WNOHANG) == pid_;
            if (exited_ && WIFEXITED(how)) status = WEXITSTATUS(how);
        }
        return status == expected || fail(status ? "exit status " + std::to_string(*status) : "no exit");
    }

    void closeInput() {
        if (toChild_ >= 0) close(std::exchange(toChild_, -1));
    }

    // The next output line, or nullopt when none arrives in time or the output ended.
    std::optional<std::string> readLine(int timeoutMs) {
        for (const std::int64_t deadline = steadyMs() + timeoutMs;;) {
            if (const std::size_t end = pending_.find('\n'); end != std::string::npos) {
                std::string line = pending_.substr(0, end);
                pending_.erase(0, end + 1);
                return line;
            }
            pollfd p{fromChild_, POLLIN, 0};
            if (msUntil(deadline) == 0) return std::nullopt;
            if (poll(&p, 1, msUntil(deadline)) <= 0) continue;
            char buffer[65536];
            const ssize_t n = read(fromChild_, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return std::nullopt;
            pending_.append(buffer, std::size_t(n));
        }
    }

    bool readLog(const std::string& prefix) {
        const std::set<std::string> now = filesIn(directory_);
        std::vector<std::string> fresh;
        std::set_difference(now.begin(), now.end(), before_.begin(), before_.end(), std::back_inserter(fresh));
        if (fresh.size() != 1) return fail(std::to_string(fresh.size()) + " new files instead of one log");
        // A second program in the same folder may have started in the same second.
        const bool second = std::any_of(before_.begin(), before_.end(),
                                        [](const std::string& name) { return std::regex_match(name, logFileShape); });
        if (!std::regex_match(fresh[0], logFileShape) || (!second && fresh[0].find(" (2)") != std::string::npos))
            return fail("log file name \"" + fresh[0] + "\"");
        std::ifstream in(directory_ + "/" + fresh[0], std::ios::binary);
        for (std::string line; std::getline(in, line);) {
            if (launcher_.windows && (line.empty() || line.back() != '\r')) return fail("a log line without CR LF");
            if (launcher_.windows) line.pop_back();
            if (line.starts_with(prefix)) log_.push_back(line);
        }
        return true;
    }

    // The protocol's grammar, written from the protocol rather than from the engine: every keyword once with
    // exactly its arguments, "pv" taking the rest of the line and "string" any text.
    void checkInfo(const std::string& line) {
        static const std::string move = "(?:[a-h][1-8][a-h][1-8][nbrq]?|0000)";
        // A keyword and its arguments, with the blank before them.
        static const std::regex field(
            " (?:depth|seldepth|time|nodes|multipv|currmovenumber|hashfull|nps|tbhits|sbhits|cpuload) \\d{1,18}"
            "| score (?:cp|mate) -?\\d{1,18}(?: lowerbound| upperbound)?| currmove " + move +
            "| (?:pv|refutation)(?: " + move + ")+$");
        const std::size_t textAt = line.find(" string ");
        const std::string head = line.substr(0, textAt);
        std::set<std::string> keywords;
        std::vector<std::string> pv;
        std::smatch m;
        for (auto at = head.cbegin() + 4; at != head.cend(); at = m[0].second) {
            if (!std::regex_search(at, head.cend(), m, field, std::regex_constants::match_continuous))
                return void(fail("malformed from \"" + std::string(at, head.cend()) + "\": " + line));
            const std::vector<std::string> words = wordsOf(m[0]);
            if (!keywords.insert(words[0]).second) return void(fail("repeated " + words[0] + ": " + line));
            if (words[0] == "pv") pv.assign(words.begin() + 1, words.end());
        }
        // A progress line (the move the root is on) carries no result.
        if (textAt != std::string::npos || keywords.count("currmove")) return;
        for (const char* keyword : {"depth", "seldepth", "score", "time", "nodes", "nps"})
            if (!keywords.count(keyword)) return void(fail(std::string("no ") + keyword + ": " + line));
        searchInfo_ = line;
        if (!searches_.empty()) checkLines(wordsOf(line));
        if (pv.empty()) return;
        if (searches_.empty()) return void(fail("a variation with no search asked for: " + line));
        const std::set<std::string>& allowed = searches_.front().allowed;
        if (!allowed.empty() && !allowed.count(pv[0])) return void(fail("not among the searchmoves: " + line));
        // Legal in turn; a position met in the game or earlier in the line may only be the last one.
        Board board = searches_.front().board;
        std::set<std::uint64_t> met;
        for (int i = 0; i <= board.ply; ++i) met.insert(board.history[i].hashKey);
        for (std::size_t k = 0; k < pv.size(); ++k) {
            if (!playMoveText(board, pv[k])) return void(fail("move " + std::to_string(k + 1) + " is illegal: " + line));
            if (met.insert(board.hashKey()).second) continue;
            if (k + 1 < pv.size()) return void(fail("the variation runs on after a repetition: " + line));
            searchRepeated_ = true;
        }
        // With several lines, the move played begins the first.
        if (group_.size() <= 1) pv_ = pv;
    }

    void checkBestMove(const std::string& line) {
        if (searches_.empty()) return void(fail("\"" + line + "\" with no search asked for"));
        checkLines({});
        Board board = searches_.front().board;
        const std::set<std::string> allowed = searches_.front().allowed;
        searches_.pop_front();
        const std::vector<std::string> pv = std::exchange(pv_, {});
        lastInfo_ = std::exchange(searchInfo_, {});
        repeated_ = std::exchange(searchRepeated_, false);

        const std::vector<std::string> words = wordsOf(line);
        if (!(words.size() == 2 || (words.size() == 4 && words[2] == "ponder"))) return void(fail("malformed: " + line));
        bool anyLegal = false;
        forEachLegalMove(board, [&](Move) { anyLegal = true; });
        if (!anyLegal) return void(line == "bestmove 0000" || fail(line + " where there is no legal move"));
        if (!allowed.empty() && !allowed.count(words[1])) return void(fail("not among the searchmoves: " + line));
        if (!playMoveText(board, words[1])) return void(fail("illegal best move: " + line));
        if (words.size() == 4 && !playMoveText(board, words[3])) return void(fail("illegal ponder move: " + line));
        // The move played begins the last variation, the move to ponder on is its reply.
        if (!pv.empty() && (pv[0] != words[1] || (pv.size() >= 2 && (words.size() != 4 || words[3] != pv[1]))))
            fail(line + " does not follow the last variation");
    }

    const Launcher& launcher_;
    const Transcript& transcript_;
    const std::string directory_;
    const int timeoutMs_;
    const std::set<std::string> before_;
    int pid_ = -1, toChild_ = -1, fromChild_ = -1;
    bool exited_ = false, failed_ = false, chess960_ = false;
    std::string pending_, unsent_, where_;
    std::vector<std::string> lines_, pv_, log_;  // pv_: the last variation of the search under way
    Board position_;
    struct Search {
        Board board;
        std::set<std::string> allowed;  // the legal searchmoves, or empty
    };
    std::deque<Search> searches_;  // the "go" lines not yet answered
    std::size_t linesWanted_ = 1;  // MultiPV
    std::vector<std::pair<std::string, long>> group_;  // first move and score of the lines of one iteration so far
    std::string groupDepth_;
    std::string searchInfo_, lastInfo_;
    bool searchRepeated_ = false, repeated_ = false;
    std::size_t logAt_ = 0;
};

}  // namespace

TemporaryDirectory::TemporaryDirectory() : path((std::filesystem::temp_directory_path() / "ostrel-test-XXXXXX").string()) {
    if (mkdtemp(path.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
}

TemporaryDirectory::~TemporaryDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

std::vector<Transcript> readTranscripts(const std::string& fileName) {
    std::vector<Transcript> transcripts;
    for (const DataLine& line : readDataLines(fileName)) {
        if (line.text.starts_with("== ")) {
            Transcript& t = transcripts.emplace_back();
            const std::size_t colon = line.text.find(": ");
            t.where = line.where;
            t.title = line.text.substr(colon + 2);
            for (const std::string& word : wordsOf(line.text.substr(3, colon - 3))) {
                if (word.starts_with("dir=")) t.directory = word.substr(4);
                else if (word.starts_with("args=")) t.arguments = wordsOf(std::regex_replace(word.substr(5), std::regex(","), " "));
                else t.targets.push_back(word);
            }
        } else if (!transcripts.empty()) {
            for (std::size_t start = 0, bar = 0; bar != std::string::npos; start = bar + 3) {
                bar = line.text.find(" | ", start);
                transcripts.back().steps.push_back({line.where, line.text.substr(start, bar - start)});
            }
        }
    }
    return transcripts;
}

std::string transcriptName(const ::testing::TestParamInfo<Transcript>& info) {
    std::string name;
    bool capital = true;
    for (const char c : info.param.title) {
        if (std::isalnum(static_cast<unsigned char>(c))) name += capital ? char(std::toupper(c)) : c;
        if (c != '\'') capital = !std::isalnum(static_cast<unsigned char>(c));
    }
    return name;
}

void runTranscript(const Transcript& transcript, const std::vector<Launcher>& launchers) {
    const TemporaryDirectory folder;
    for (const std::string& target : transcript.targets) {
        SCOPED_TRACE(target);
        const auto launcher = std::find_if(launchers.begin(), launchers.end(),
                                           [&](const Launcher& l) { return l.name == target; });
        if (launcher == launchers.end()) ADD_FAILURE() << transcript.where << ": no program " << target;
        else Run(*launcher, transcript, transcript.directory.empty() ? folder.path : transcript.directory).run();
    }
}
