// A reader of "info" lines as the protocol defines them, written from its
// grammar rather than from the engine's code: every keyword with exactly its
// arguments, and "pv" and "string" taking the rest of the line.
#pragma once

#include <cctype>
#include <cstdint>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

struct InfoLine {
    std::optional<std::int64_t> depth, time, nodes, nps;
    std::optional<std::string> scoreKind;  // "cp" or "mate"
    std::int64_t scoreValue = 0;
    std::vector<std::string> pv;
    std::optional<std::string> text;  // "string"
};

namespace info_line_detail {

inline bool isInteger(const std::string& word, bool allowSign) {
    std::size_t i = allowSign && !word.empty() && word[0] == '-' ? 1 : 0;
    if (i >= word.size() || word.size() - i > 18) return false;
    for (; i < word.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(word[i]))) return false;
    return true;
}

// Coordinate move text: from and to squares, a promotion letter, or the
// null move "0000".
inline bool isMoveWord(const std::string& w) {
    if (w == "0000") return true;
    if (w.size() != 4 && w.size() != 5) return false;
    const auto square = [&](std::size_t i) { return w[i] >= 'a' && w[i] <= 'h' && w[i + 1] >= '1' && w[i + 1] <= '8'; };
    return square(0) && square(2) && (w.size() == 4 || std::string("nbrq").find(w[4]) != std::string::npos);
}

}  // namespace info_line_detail

// The fields of an info line, or nullopt with the reason in error.
inline std::optional<InfoLine> parseInfoLine(const std::string& line, std::string& error) {
    using namespace info_line_detail;
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    if (words.empty() || words[0] != "info") {
        error = "does not begin with info";
        return std::nullopt;
    }
    // One blank between words, none at the end (the text of "string" aside).
    const std::string fields = line.substr(0, line.find(" string "));
    if (fields.find("  ") != std::string::npos || fields.back() == ' ') {
        error = "stray blanks";
        return std::nullopt;
    }
    InfoLine info;
    std::set<std::string> seen;
    // Keywords with one non-negative number; the rest are handled below.
    const std::set<std::string> oneNumber = {"depth",   "seldepth", "time",  "nodes",  "multipv", "currmovenumber",
                                             "hashfull", "nps",      "tbhits", "sbhits", "cpuload"};
    std::size_t i = 1;
    const auto fail = [&](const std::string& why) {
        error = why + " at word " + std::to_string(i);
        return std::nullopt;
    };
    while (i < words.size()) {
        const std::string key = words[i++];
        if (!seen.insert(key).second) return fail("repeated keyword " + key);
        if (oneNumber.count(key)) {
            if (i >= words.size() || !isInteger(words[i], false)) return fail("no number after " + key);
            const std::int64_t value = std::stoll(words[i++]);
            if (key == "depth") info.depth = value;
            if (key == "time") info.time = value;
            if (key == "nodes") info.nodes = value;
            if (key == "nps") info.nps = value;
        } else if (key == "score") {
            if (i + 1 >= words.size() || (words[i] != "cp" && words[i] != "mate") || !isInteger(words[i + 1], true))
                return fail("malformed score");
            info.scoreKind = words[i];
            info.scoreValue = std::stoll(words[i + 1]);
            i += 2;
            if (i < words.size() && (words[i] == "lowerbound" || words[i] == "upperbound")) ++i;
        } else if (key == "currmove") {
            if (i >= words.size() || !isMoveWord(words[i])) return fail("no move after currmove");
            ++i;
        } else if (key == "pv" || key == "refutation") {
            // The moves run to the end of the line.
            if (i >= words.size()) return fail("no moves after " + key);
            for (; i < words.size(); ++i) {
                if (!isMoveWord(words[i])) return fail("\"" + words[i] + "\" after " + key + " is not a move");
                if (key == "pv") info.pv.push_back(words[i]);
            }
        } else if (key == "string") {
            const std::size_t at = line.find(" string ");
            if (at == std::string::npos) return fail("empty string");
            info.text = line.substr(at + 8);
            i = words.size();
        } else {
            return fail("unknown keyword " + key);
        }
    }
    return info;
}
