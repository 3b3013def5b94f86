#include "options.h"

#include "protocol_text.h"
#include "search/params.h"

#include <algorithm>

namespace {

constexpr int THREADS_MAX = 1024;
constexpr int MULTI_PV_MAX = 256;
constexpr int MOVE_OVERHEAD_MAX_MS = 5000;
// The ratings the strength levels are calibrated for, and one in the middle.
constexpr int ELO_MIN = search_params::SKILL_ANCHORS[0].elo;
constexpr int ELO_MAX = search_params::SKILL_ANCHORS[search_params::SKILL_ANCHOR_COUNT - 1].elo;
constexpr int ELO_DEFAULT = (ELO_MIN + ELO_MAX) / 2;

// clang-format off
constexpr OptionSpec options[] = {
    {OptionId::HASH, "Hash", OptionType::SPIN, 1, search_params::TT_MIN_MB, search_params::TT_MAX_MB, "MB",
     "Size of the transposition table. A change empties the table; a size the machine cannot give is "
     "replaced by the largest smaller one it can, and an info string says so."},
    {OptionId::THREADS, "Threads", OptionType::SPIN, 1, 1, THREADS_MAX, "",
     "Number of threads that search at once: the main one and helpers that search the same position over the "
     "shared table. More threads search more nodes in the same time; a search with more than one is not "
     "repeatable move for move."},
    {OptionId::CLEAR_HASH, "Clear Hash", OptionType::BUTTON, 0, 0, 0, "",
     "Empties the transposition table and every other memory of earlier searches, so that the next "
     "search is the one a freshly started engine would make."},
    {OptionId::PONDER, "Ponder", OptionType::CHECK, 0, 0, 0, "",
     "Tells the engine that the GUI may let it think on the opponent's time. The engine ponders only "
     "when the GUI sends \"go ponder\"."},
    {OptionId::MULTI_PV, "MultiPV", OptionType::SPIN, 1, 1, MULTI_PV_MAX, "",
     "Number of best lines the search finds and reports, each with its own score; the move played is "
     "the first line's. More lines cost search time."},
    {OptionId::MOVE_OVERHEAD, "Move Overhead", OptionType::SPIN, 0, 0, MOVE_OVERHEAD_MAX_MS, "ms",
     "Time taken off the remaining clock time before each move's budget is worked out, for GUIs, "
     "hosts or connections that lose time on the way."},
    {OptionId::LIMIT_STRENGTH, "UCI_LimitStrength", OptionType::CHECK, 0, 0, 0, "",
     "Plays at the rating UCI_Elo gives instead of at full strength."},
    {OptionId::ELO, "UCI_Elo", OptionType::SPIN, ELO_DEFAULT, ELO_MIN, ELO_MAX, "",
     "The rating played at when UCI_LimitStrength is on, on the scale of Stockfish 15.1's UCI_Elo (calibrated "
     "at 10+0.1): a search that sees less, and a move drawn among the best few by their scores."},
    {OptionId::CHESS960, "UCI_Chess960", OptionType::CHECK, 0, 0, 0, "",
     "Plays Chess960 (Fischer random chess): the next \"position\" reads the FEN's castling field in the "
     "Chess960 forms (rook files, or KQkq for the outermost rooks), and castling is written and read as the "
     "king taking its own rook (\"e1h1\")."},
};
// clang-format on
static_assert(std::size(options) == OPTION_COUNT, "one declaration per option");

// Every problem with the size of the table has had this one reply since the first version.
constexpr const char* INVALID_HASH = "Invalid Hash Param given";

std::string range(const OptionSpec& option) {
    if (option.type == OptionType::CHECK) return "true or false";
    return std::to_string(option.min) + " to " + std::to_string(option.max);
}

std::string joined(const std::vector<std::string>& words, std::size_t from, std::size_t to) {
    std::string text;
    for (std::size_t i = from; i < to; ++i) text += (i > from ? " " : "") + words[i];
    return text;
}

// The value text checked against the option: the number or truth value, or why not.
OptionRequest readValue(const OptionSpec& option, const std::string& text, bool given) {
    OptionRequest request;
    request.option = &option;
    const std::string name = option.name;
    if (option.type == OptionType::BUTTON) return request;
    if (!given || text.empty()) {
        request.error = name + " needs a value (" + range(option) + ")";
    } else if (option.type == OptionType::CHECK) {
        if (equalsIgnoringCase(text, "true")) request.value = 1;
        else if (!equalsIgnoringCase(text, "false")) request.error = name + " value " + text + " is neither true nor false";
    } else if (const std::optional<std::int32_t> number = readDecimal(text.c_str()); !number) {
        request.error = name + " value " + text + " is not a number (" + range(option) + ")";
    } else if (*number < option.min || *number > option.max) {
        request.error = name + " value " + text + " is out of range (" + range(option) + ")";
    } else {
        request.value = *number;
    }
    if (!request.error.empty() && option.id == OptionId::HASH) request.error = INVALID_HASH;
    return request;
}

}  // namespace

std::span<const OptionSpec> optionTable() { return options; }

const OptionSpec& optionSpec(OptionId id) { return options[int(id)]; }

std::string optionLine(const OptionSpec& option) {
    std::string line = std::string("option name ") + option.name + " type ";
    switch (option.type) {
    case OptionType::SPIN:
        return line + "spin default " + std::to_string(option.defaultValue) + " min " + std::to_string(option.min) +
               " max " + std::to_string(option.max);
    case OptionType::CHECK:
        return line + "check default " + (option.defaultValue ? "true" : "false");
    case OptionType::BUTTON:
        break;
    }
    return line + "button";
}

OptionRequest readSetOption(const std::string& line) {
    const std::vector<std::string> words = splitWords(line);
    const auto nameAt = std::find(words.begin(), words.end(), "name");
    const auto valueAt = std::find(nameAt, words.end(), "value");
    const std::size_t nameBegin = nameAt == words.end() ? words.size() : std::size_t(nameAt - words.begin()) + 1;
    const std::size_t valueBegin = std::size_t(valueAt - words.begin());
    const std::string name = joined(words, std::min(nameBegin, valueBegin), valueBegin);
    OptionRequest request;
    if (name.empty()) {
        request.error = "setoption needs an option name: setoption name <id> [value <x>]";
        return request;
    }

    for (const OptionSpec& option : options) {
        if (!equalsIgnoringCase(name, option.name)) continue;
        const bool given = valueAt != words.end();
        return readValue(option, given ? joined(words, valueBegin + 1, words.size()) : "", given);
    }
    request.error = "No such option: " + name;
    return request;
}

OptionValues::OptionValues() {
    for (const OptionSpec& option : options) values_[int(option.id)] = option.defaultValue;
}
