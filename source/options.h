// Every option the engine offers, declared once. The "uci" reply announces
// them from this table and "setoption" is understood through it, so an option
// can be neither announced and ignored nor understood and unannounced. The
// manual page and the README's table are written from the same declarations.
#pragma once

#include <span>
#include <string>

enum class OptionType { SPIN, CHECK, BUTTON };

// One per option, in the order of the table.
enum class OptionId {
    HASH, THREADS, CLEAR_HASH, PONDER, MULTI_PV, MOVE_OVERHEAD, LIMIT_STRENGTH, ELO, CHESS960, COUNT
};
inline constexpr int OPTION_COUNT = int(OptionId::COUNT);

struct OptionSpec {
    OptionId id;
    const char* name;  // as announced; "setoption" matches it without regard to case
    OptionType type;
    int defaultValue;  // a check's default is 0 (false) or 1 (true); a button has none
    int min, max;      // spins only
    const char* unit;  // what a spin counts ("MB", "ms"), or empty
    const char* effect;  // what a change does, in a sentence, for users
};

// The table, in the order the "uci" reply announces it ("Hash" first).
std::span<const OptionSpec> optionTable();
const OptionSpec& optionSpec(OptionId id);

// The announcement, for example "option name Hash type spin default 1 min 1 max 2048".
std::string optionLine(const OptionSpec& option);

// What a "setoption" line asks for. Reading it changes nothing; the engine
// applies a request whose error is empty, and otherwise sends the error as an
// info string.
struct OptionRequest {
    const OptionSpec* option = nullptr;  // null when the name is unknown or missing
    int value = 0;                       // the spin's number, or 0/1 for a check
    std::string error;                   // empty when the request can be applied
};

// Reads "setoption name <id> [value <x>]": the words between "name" and
// "value" are the name (several words allowed, matched without regard to
// case), the words after "value" the value.
OptionRequest readSetOption(const std::string& line);

// The current value of every option, starting at the defaults.
class OptionValues {
public:
    OptionValues();
    int get(OptionId id) const { return values_[int(id)]; }
    bool enabled(OptionId id) const { return values_[int(id)] != 0; }
    void set(OptionId id, int value) { values_[int(id)] = value; }

private:
    int values_[OPTION_COUNT];
};
