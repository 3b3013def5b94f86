// Search, for both programs: calls of the search nodes and root searches with what they leave behind, exchange
// values and ordering keys, the table and its sizes, polls and budgets, and the move picker.
#include "bench.h"
#include "engine.h"
#include "search/pv.h"
#include "search/skill.h"
#include "search/threads.h"
#include "search/tt.h"
#include "unit_cases.h"
#include "variant.h"

#include <chrono>
#include <limits>
#include <memory>
#include <thread>

using namespace search_params;

namespace {

constexpr std::uint64_t NEVER = std::numeric_limits<std::uint64_t>::max();
constexpr int INF = ROOT_INFINITY;

// Stops the search once the node count reaches stopAtNodes; records the polls, the first move of each line
// reported and the draw notes.
struct TestHost final : SearchHost {
    const Board* board = nullptr;  // the one searched
    std::uint64_t stopAtNodes = NEVER;
    int inputPolls = 0, deadlineChecks = 0;
    std::vector<std::string> draws, firstMoves;

    bool checkInputAndClock(bool betweenIterations) override {
        EXPECT_FALSE(betweenIterations);
        return ++inputPolls, board->nodeCount >= stopAtNodes;
    }
    bool deadlinePassed() override { return ++deadlineChecks, board->nodeCount >= stopAtNodes; }
    void reportBestLine(const SearchInfo& info) override { firstMoves.push_back(moveToText(info.line[0], info.mover, *info.castling)); }
    void reportRootDraw(const char* text) override { draws.emplace_back(text); }
};

// A search thread's worker, searching its board for the tests, and the engine's way of telling what it meets.
class Search : public ::testing::Test {
protected:
    TestHost host;
    const std::unique_ptr<SearchWorker> worker = std::make_unique<SearchWorker>();
    Board& board = worker->board;
    Move best = NO_MOVE;
    void SetUp() override {
        reset(ostrel64Variant);
        host.board = &board;
        worker->setHost(&host);
    }
    void TearDown() override {
        setTableAllocationLimit(0);
        if (transpositionTableMegabytes() != ostrel64Variant.initialHashMB) resizeTranspositionTable(ostrel64Variant.initialHashMB);
        reset(ostrel64Variant);
    }
    void reset(const Variant& variant) {
        selectVariant(variant);
        clearTranspositionTable();
        worker->clearMemory();
        worker->setStopped(false);
        worker->nodeLimit = NEVER;
        board.nodeCount = 0;
    }
    // Iterative deepening to a fixed depth, as the driver runs it; the move to play is left in `best`.
    int searchTo(int depth) {
        worker->root.reset(1);
        worker->setStopped(false);
        board.nodeCount = 0;
        int score = 0;
        for (int d = 1; d <= depth && !worker->stopped(); ++d) score = worker->rootSearch(d, 0);
        best = worker->root.bestMove;
        return score;
    }
};

// The ordering key orderMoves gives a move at this ply with this hash move and these killers; a king it offers is
// reported as the engine reports it.
std::uint32_t orderingKey(const Board& board, Move move, int ply = 1, Move hashMove = NO_MOVE,
                          const Killers& killers = Killers()) {
    static Engine engine;
    std::vector<Move> list = generatedMoves(board);
    orderMoves(board, list.data(), int(list.size()), hashMove, ply, killers, engine);
    const auto found = std::find_if(list.begin(), list.end(), [&](Move m) { return sameMove(m, move); });
    EXPECT_NE(found, list.end()) << "not generated";
    return found == list.end() ? 0 : moveScore(*found);
}

// ostrel64 with ostrel32's search additions, and nothing else of ostrel32.
const Variant& additionsAlone() {
    static Variant variant = ostrel64Variant;
    variant.searchAdditions = true;
    return variant;
}

DATA_TEST_F(Search, Search, Node, "search_nodes.txt", CallAndWhatFollows) {
    const std::vector<std::string> fields = splitFields(GetParam().text);
    ASSERT_GE(fields.size(), 4u) << "expected: FEN ; stored entries ; call ; facts [; FEN]";
    std::vector<std::string> call = wordsOf(fields[2]);
    const std::map<std::string, const Variant*> programs = {
        {"ostrel64", &ostrel64Variant}, {"ostrel32", &ostrel32Variant}, {"additions", &additionsAlone()}};
    const std::string program = programs.count(call[0]) ? call[0] : "ostrel64";
    if (programs.count(call[0])) call.erase(call.begin());
    int eval = 0;
    const auto number = [&](const std::string& word) {
        if (word.find("inf") != std::string::npos) return word[0] == '-' ? -INF : INF;
        const std::size_t mate = word.find("mate");
        if (mate != std::string::npos) return (word[0] == '-' ? -1 : 1) * (MATE_SCORE - std::stoi(word.substr(mate + 4)));
        return !word.starts_with("eval") ? std::stoi(word) : eval + (word.size() > 4 ? std::stoi(word.substr(4)) : 0);
    };
    // What the call leaves behind on a position in a program ("" for none).
    const auto run = [&](const std::string& position, const std::string& name) {
        reset(*programs.at(name));
        const std::size_t moves = position.find(" moves "), at = position.find(" at ");
        board = fromFen(position.substr(0, std::min(moves, at)), moves == std::string::npos ? "" : position.substr(moves + 7));
        if (at != std::string::npos) {
            board.ply = std::stoi(position.substr(at + 4));
            board.history[board.ply] = board.history[0];
        }
        const Board before = board;
        eval = worker->sideToMoveEvaluation();
        // Each entry belongs to the position after the moves or passes before its last six words; its move may be
        // one of the root's instead.
        std::istringstream entries(fields[1]);
        for (std::string entry; std::getline(entries, entry, ',');) {
            const std::vector<std::string> w = wordsOf(entry);
            const std::size_t n = w.size();
            Board there = board;
            for (std::size_t i = 0; i + 6 < n; ++i) {
                if (w[i] == "null") there.makeNullMove();
                else there.makeMove(findMove(there, w[i]));
            }
            if (n < 6) continue;
            const Move own = findMove(there, w[n - 6]);
            ttStore(there.hashKey(), number(w[n - 2]), number(w[n - 1]), own != NO_MOVE ? own : findMove(board, w[n - 6]),
                    std::stoi(w[n - 5]), std::stoi(w[n - 4]), std::stoi(w[n - 3]));
        }
        std::vector<int> a;
        std::map<std::string, std::uint64_t> option;
        for (std::size_t i = 1; i < call.size(); ++i) {
            const std::size_t eq = call[i].find('=');
            if (eq != std::string::npos) option[call[i].substr(0, eq)] = std::stoull(call[i].substr(eq + 1), nullptr, 0);
            else a.push_back(call[0] == "pv" ? 0 : number(call[i]));
        }
        testing::internal::CaptureStdout();  // what a damaged position makes the ordering print
        const bool mateSooner = call[0] == "root" && fields[3].find("shallower") != std::string::npos &&
                                searchTo(a[0] - 1) >= MATE_BOUND;
        host = TestHost();
        host.board = &board;
        host.stopAtNodes = option.count("stopAt") ? option["stopAt"] : NEVER;
        worker->nodeLimit = option.count("budget") ? option["budget"] : NEVER;
        worker->setStopped(option["stopping"]);
        board.nodeCount = option["count"];
        best = NO_MOVE;
        PrincipalVariation pv;
        const int score = call[0] == "qs" ? worker->quiesce(a[0], a[1], a[2], a[3])
                          : call[0] == "ab" ? worker->alphaBeta(a[0], a[1], a[2], a[3], a[4], a[5])
                          : call[0] == "root" ? searchTo(a[0]) : 0;
        if (call[0] == "pv") principalVariation(board, findMove(board, call[1]), pv);
        testing::internal::GetCapturedStdout();
        std::map<std::string, std::string> left = {{"score", std::to_string(score)}, {"nodes", std::to_string(board.nodeCount)},
            {"checkmated", isCheckmated(board) ? "yes" : "no"}, {"stopped", worker->stopped() ? "yes" : "no"},
            {"polls", std::to_string(host.inputPolls)}, {"deadlines", std::to_string(host.deadlineChecks)},
            {"best", best == NO_MOVE ? "" : moveToText(best, board)}, {"reports", std::to_string(host.firstMoves.size())},
            {"shallower", mateSooner ? "mate" : "nomate"}};
        EXPECT_EQ(host.firstMoves.empty() ? "" : host.firstMoves.back(), left["best"]) << "the last line's first move";
        left["draws"] = std::to_string(host.draws.size()) + (host.draws.empty() ? "" : " " + host.draws.back());
        std::replace(left["draws"].begin(), left["draws"].end(), ' ', '_');
        for (int i = 0; i < pv.length; ++i)
            left["line"] += (i ? "," : "") + moveToText(pv.moves[i], Colour((board.sideToMove + i) % 2), board.castling);
        left["ponder"] = moveToText(pv.ponder, opponent(board.sideToMove), board.castling);
        EXPECT_EQ(boardDifference(board, before), "") << "after the call";
        if (const TTEntry entry = ttProbe(board.hashKey()); ttMatches(entry, board.hashKey())) {
            left["bound"] = entry.bound == BOUND_EXACT ? "exact" : entry.bound == BOUND_LOWER ? "lower" : "upper";
            left["depth"] = std::to_string(entry.depth);
            left["move"] = moveToText(entry.move, board);
        }
        for (Move killer : worker->killers.moves[a.size() > 1 ? std::min(a[1], KILLER_PLIES - 1) : 0])
            left["killer"] += killer == NO_MOVE ? "" : moveToText(killer, board);
        board.makeNullMove();
        if (ttMatches(ttProbe(board.hashKey()), board.hashKey())) left["null"] = std::to_string(ttProbe(board.hashKey()).depth);
        return left;
    };
    std::map<std::string, std::string> other, same;
    if (fields[3].find("ostrel64") != std::string::npos) other = run(fields[0], "ostrel64");
    if (fields.size() > 4) same = run(fields[4], program);
    std::map<std::string, std::string> found = run(fields[0], program);
    if (fields.size() > 4) {
        EXPECT_EQ(same["score"] + " " + same["nodes"], found["score"] + " " + found["nodes"]) << "score and nodes on " << fields[4];
    }
    expectFacts(fields[3] + (fields[3].find("draws=") == std::string::npos ? " draws=0" : ""), [&](const std::string& name) {
        if (!name.starts_with("reply:")) return found[name];
        // The depth of the entry the table holds after that move, -1 for none.
        const Board after = fromFen(fields[0], name.substr(6));
        const TTEntry slot = ttProbe(after.hashKey());
        return std::to_string(ttMatches(slot, after.hashKey()) ? slot.depth : -1);
    }, [&](const std::string& name, const std::string& value) {
        if (value == "ostrel64") return other[name];
        if (value == "entry") return found["move"];
        if (value == "none") return std::string();
        return name == "score" ? std::to_string(number(value)) : value;
    });
}

DATA_TEST(Search, MoveFacts, "search_moves.txt", ExchangeOrderingKeyAndTacticalTest) {
    const std::vector<std::string> fields = splitFields(GetParam().text);
    ASSERT_GE(fields.size(), 5u) << "expected: FEN ; move ; exchange ; key ; tactical [; printed]";
    Board board = fromFen(fields[0]);
    const Move move = findMove(board, fields[1]);
    ASSERT_NE(move, NO_MOVE);
    if (fields[2] != "-") { EXPECT_EQ(staticExchange(board, move), std::stoi(fields[2])) << "exchange"; }
    testing::internal::CaptureStdout();
    if (fields[3] != "-") { EXPECT_EQ(orderingKey(board, move), std::stoul(fields[3])) << "ordering key"; }
    std::string printed = testing::internal::GetCapturedStdout();
    if (!printed.empty()) printed = printed.substr(0, printed.find('\n')) + " / " + printed.substr(printed.rfind('\n', printed.size() - 2) + 1);
    EXPECT_EQ(printed, fields.size() > 5 ? fields[5] + "\n" : "") << "printed while ordering";
    if (fields[4] == "-") return;  // the move is not made: a king capture never is
    board.makeMove(move);
    EXPECT_EQ(isTacticalMove(move, board), fields[4] == "yes") << "tactical";
}

// The steps of the data file are taken in order; after each, the table's slot, the killers or the ordering key
// must be what the line says.
TEST_F(Search, TableKillersAndOrderingKeysRememberWhatTheyShould) {
    const Board position = fromFen("4k3/8/8/8/8/8/8/4K2R w K - 0 1");
    const std::uint64_t a = 0x5A5A0011ULL, b = a + (std::uint64_t{1} << 40);
    ASSERT_EQ(ttIndex(a), ttIndex(b));
    const std::map<std::string, std::int64_t> names = {{"a", a}, {"b", b}, {"none", NO_MOVE}, {"inf", INF}, {"-inf", -INF},
        {"exact", BOUND_EXACT}, {"lower", BOUND_LOWER}, {"upper", BOUND_UPPER}};
    const auto value = [&](const std::string& word) -> std::int64_t {
        if (names.count(word)) return names.at(word);
        if (std::isdigit(word[0]) || word[0] == '-') return std::stoll(word);
        const std::size_t plus = word.find('+');
        return withScore(findMove(position, word.substr(0, plus)), plus == std::string::npos ? 0 : std::stoi(word.substr(plus + 1)));
    };
    for (const DataLine& line : readDataLines("search_memory.txt")) {
        SCOPED_TRACE(line.where);
        std::string kind = "store";
        std::vector<std::int64_t> v, after;
        for (const std::string& word : wordsOf(line.text)) {
            if (word == "empty") reset(ostrel64Variant);
            else if (word == "killer" || word == "key") kind = word;
            else if (word != ";") v.push_back(value(word));
        }
        if (kind == "killer") {
            Killers& killers = worker->killers;
            killers.store(Move(v[0]), int(v[1]));
            after = {killers.slot};
            if (v[1] < KILLER_PLIES) after.insert(after.end(), killers.moves[v[1]], killers.moves[v[1]] + KILLER_SLOTS);
        } else if (kind == "key") {
            after = {orderingKey(position, Move(v[0]), int(v[1]), Move(v[2]), worker->killers)};
        } else {
            ttStore(v[0], int(v[1]), int(v[2]), Move(v[3]), int(v[4]), int(v[5]), int(v[6]));
            const TTEntry slot = ttProbe(a);
            after = {std::int64_t(slot.key), slot.bound, slot.depth, slot.move};
        }
        const std::size_t asked = kind == "store" ? 7 : kind == "key" ? 3 : 2;
        EXPECT_EQ(after, std::vector<std::int64_t>(v.begin() + std::min(asked, v.size()), v.end()));
    }
}

TEST_F(Search, TableSizesAndAResizeThatCannotAllocate) {
    ASSERT_TRUE(resizeTranspositionTable(3));
    EXPECT_EQ(ttEntryCount, 98304u);
    EXPECT_EQ(ttMask, 65535u);
    for (std::uint64_t key : {std::uint64_t{0}, std::uint64_t{12345}, NEVER}) EXPECT_FALSE(ttMatches(ttProbe(key), key));
    // Too big: the previous size comes back, emptied. When even that no longer fits, halve until a size does; the
    // search works with it.
    ASSERT_TRUE(resizeTranspositionTable(8));
    setTableAllocationLimit(std::size_t{16} << 20);
    ttStore(99, 0, 10, makeMove(MOVE_QUIET, 1, 18), 4, 5, 1);
    EXPECT_FALSE(resizeTranspositionTable(2048));
    EXPECT_EQ(transpositionTableMegabytes(), 8);
    EXPECT_FALSE(ttMatches(ttProbe(99), 99));
    setTableAllocationLimit(std::size_t{5} << 20);
    EXPECT_FALSE(resizeTranspositionTable(32));
    EXPECT_EQ(transpositionTableMegabytes(), 4);
    EXPECT_EQ(ttMask, 4 * 32768u - 1);
    board = Board();
    searchTo(3);
    EXPECT_TRUE(ttMatches(ttProbe(board.hashKey()), board.hashKey()));
}

// The picker hands out exactly the sequence of one full ordering, keys included, whatever the hash move and
// killers (one from another position too, which may or may not be in the list); that ordering runs by key, then
// by the whole word.
void compareWithFullOrdering(Board& board, int seed) {
    static Killers killers;
    SearchHost silent;
    const std::vector<Move> generated = generatedMoves(board);
    const int count = int(generated.size()), ply = 7;
    for (int scenario = 0; scenario < 4 && count > 0; ++scenario) {
        const Move hashMove = scenario == 3 ? NO_MOVE : generated[(seed + scenario) % count];
        const Move stale = killers.moves[ply][0];
        for (int slot = 0; slot < KILLER_SLOTS; ++slot) killers.moves[ply][slot] = generated[(seed * 7 + slot * 5) % count];
        if (scenario == 1) killers.moves[ply][2] = stale;
        std::vector<Move> ordered = generated, picked = generated;
        orderMoves(board, ordered.data(), count, hashMove, ply, killers, silent);
        MovePicker picker(board, picked.data(), count, hashMove, ply, killers, silent);
        int n = 0;
        for (Move move; picker.next(move); ++n) {
            ASSERT_LT(n, count);
            ASSERT_EQ(move, ordered[n]) << "move " << n << " of " << count;
            ASSERT_TRUE(n == 0 || ordered[n - 1] > ordered[n]);
        }
        ASSERT_EQ(n, count);
    }
}

TEST_F(Search, MovePickerGivesTheOrderOfOneFullSort) {
    int seed = 0;
    EXPECT_GT(walkPerftPositions(3, [&](Board& position) { compareWithFullOrdering(position, seed++); }), 40000);
    // Lists that offer the king (to a pawn, knight, bishop, rook, queen, king), and one that does not (a pawn
    // never takes it by promotion).
    for (const char* placement : {"8/8/8/3k4/4P3/8/8/4K3", "8/8/8/3k4/8/2N5/8/4K3", "8/8/8/3k4/8/8/B7/4K3",
                                  "8/8/8/3k4/8/8/8/3RK3", "8/8/8/3k4/8/8/8/Q3K3", "8/8/8/8/8/8/3k4/4K3",
                                  "7k/6P1/8/8/8/8/8/4K3"}) {
        Board position = fromFen(placement);
        compareWithFullOrdering(position, seed++);
    }
}

TEST_F(Search, InternalDeepeningOfOstrel32) {
    // A full-window depth-3 node without a table entry first searches itself at depth 1, exactly as if that
    // search had been run before it.
    worker->alphaBeta(1, 2, -INF, INF, true, 0);
    const int score = worker->alphaBeta(3, 2, -INF, INF, false, 0);
    const std::uint64_t twoSearches = board.nodeCount;
    reset(additionsAlone());
    EXPECT_EQ(worker->alphaBeta(3, 2, -INF, INF, false, 0), score);
    EXPECT_EQ(board.nodeCount, twoSearches);
}

// Helpers search until the stop (whether or not they share iterations with the main thread), their nodes count for
// the search, and they wait idle between searches, however often their number changes.
TEST(Threads, HelpersSearchUntilStoppedAndWaitBetweenSearches) {
    SearchThreads threads;
    for (const int count : {3, 1, 4, 2, 2}) {
        threads.setCount(count);
        threads.main().root.reset(1);
        threads.setStopped(false);
        threads.startHelpers(0, count % 2 == 0, search_params::MAX_ITERATIONS);
        for (int waited = 0; count > 1 && threads.helperNodes() == 0 && waited < 60000; ++waited)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_EQ(threads.helperNodes() > 0, count > 1) << count << " threads";
        threads.stopHelpers();
        const std::uint64_t nodes = threads.helperNodes();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(threads.helperNodes(), nodes) << "a helper searched on after the stop";
    }
}

// Sharing iterations: a helper publishes each iteration it completes with a legal move and never searches past the
// depth limit; a main thread in an iteration a helper has completed leaves it and may search on, while a stop that
// comes meanwhile is never lost.
TEST(Threads, TheFirstThreadToCompleteAnIterationSettlesIt) {
    constexpr int LIMIT = 6;
    SearchThreads threads;
    threads.setCount(2);
    SearchWorker& main = threads.main();
    main.root.reset(1);
    threads.setStopped(false);
    threads.startHelpers(0, true, LIMIT);
    for (int waited = 0; threads.deepestHelperIteration().depth < LIMIT && waited < 120000; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    // With the limit completed the helper has nothing left to search: it ends by itself.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::uint64_t nodes = threads.helperNodes();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(threads.helperNodes(), nodes) << "the helper searched past the depth limit";
    const SearchThreads::HelperIteration deepest = threads.deepestHelperIteration();
    EXPECT_EQ(deepest.depth, LIMIT);
    bool legal = false;
    forEachLegalMove(main.board, [&](Move move) { legal |= sameMove(move, deepest.bestMove); });
    EXPECT_TRUE(legal);
    ASSERT_GT(deepest.line.length, 0);
    EXPECT_TRUE(sameMove(deepest.line.moves[0], deepest.bestMove));

    // An empty table makes the main thread's search long enough to hear of it.
    clearTranspositionTable();
    main.rootSearch(LIMIT - 1, 0);
    EXPECT_TRUE(main.stopped()) << "the main thread finished an iteration already completed";
    EXPECT_TRUE(main.resumeIfOvertaken());
    EXPECT_FALSE(main.stopped());
    clearTranspositionTable();
    main.rootSearch(LIMIT, 0);
    threads.setStopped(true);
    EXPECT_FALSE(main.resumeIfOvertaken());
    EXPECT_TRUE(main.stopped());
    threads.stopHelpers();
}

// A lower rating plays worse moves: over fixed positions and seeds, the moves a weaker level chooses lose more, by a
// deeper search's measure than any level's own, than a stronger level's. Each level searches as the driver runs
// it: the first iteration whole, then within the level's nodes.
TEST_F(Search, LowerRatingsChooseWorseMoves) {
    constexpr int DEEP = 8;
    constexpr int MOST_LOSS = 300;  // a mate missed or walked into counts as three pawns
    const int elos[] = {skillMinElo(), (2 * skillMinElo() + skillMaxElo()) / 3, (skillMinElo() + 2 * skillMaxElo()) / 3};
    long loss[std::size(elos)] = {};
    for (const char* fen : benchPositions()) {
        // The score of the position, or of the position after a move from the mover's side, searched to a depth or
        // within a node budget.
        const auto search = [&](Move move, int lines, std::uint64_t nodes, int depth) {
            reset(ostrel64Variant);
            board = fromFen(fen);
            if (move != NO_MOVE) board.makeMove(move);
            worker->root.reset(lines);
            int score = 0;
            for (int d = 1; d <= depth && !worker->stopped(); ++d) {
                worker->nodeLimit = d > 1 ? nodes : NEVER;
                score = worker->rootSearch(d, 0);
                if (!worker->stopped()) worker->root.completeIteration();
            }
            return move != NO_MOVE ? -score : score;
        };
        const int deepBest = search(NO_MOVE, 1, NEVER, DEEP);
        std::map<Move, int> measured;
        for (std::size_t i = 0; i < std::size(elos); ++i) {
            const SkillLevel level = skillLevel(elos[i]);
            search(NO_MOVE, level.lines, level.nodes, search_params::MAX_ITERATIONS);
            std::vector<Move> chosen;
            for (std::uint64_t seed = 1; seed <= 6; ++seed) {
                SkillRandom random(seed);
                chosen.push_back(worker->root.line(chooseLine(worker->root, level, random)).move);
            }
            for (const Move move : chosen) {
                if (!measured.count(move)) measured[move] = search(move, 1, NEVER, DEEP - 1);
                loss[i] += std::min(deepBest - measured[move], MOST_LOSS);
            }
        }
    }
    EXPECT_GT(loss[0], loss[1]);
    EXPECT_GT(loss[1], loss[2]);
}

}  // namespace
