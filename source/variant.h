// The two programs built from these sources, ostrel64 and ostrel32, and every
// way in which they differ. Each program's main() selects its variant before
// anything else runs; the rest of the code asks activeVariant().
#pragma once

struct Variant {
    const char* programName;   // "ostrel64" / "ostrel32"

    // Start-up banner and identification.
    const char* bannerLine;    // first line sent at start
    bool announceHashAtStart;  // the third banner line "info string 1MB Hash"
    const char* idName;        // reply to "uci"

    // Size of the transposition table created at start. The "Hash" option
    // still announces and stores 1, so "setoption name Hash value 1" keeps it.
    int initialHashMB;

    // Time budget: a remaining time of exactly 0 is reported but raises no
    // "too much time has been allocated" error.
    bool zeroTimeRaisesNoError;

    // Alpha-beta node additions: internal iterative deepening, futility
    // pruning near the leaves and the mate-threat flag that disables it.
    bool searchAdditions;

    // The revised pawn term: other king, pawn and passed-pawn tables, a
    // smaller unstoppable-passer bonus, one connected-or-protected bonus and
    // the blocked-passer term.
    bool revisedPawnTerm;
};

extern const Variant ostrel64Variant;
extern const Variant ostrel32Variant;

namespace detail {
extern const Variant* currentVariant;
}

inline const Variant& activeVariant() { return *detail::currentVariant; }
void selectVariant(const Variant& variant);
