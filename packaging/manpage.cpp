// Writes the manual page of one of the two programs: the text of
// packaging/ostrel.6.in with every @NAME@ filled in from the engine's own
// declarations, so the options, limits and differences the page describes are
// the ones the program has. The build runs it for both programs:
//
//   ostrel_manpage <ostrel64|ostrel32> <template> <date> <output>
#include "bench.h"
#include "board/perft.h"
#include "log.h"
#include "options.h"
#include "startup.h"
#include "variant.h"

#include <cctype>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Text as it stands in a roff paragraph: a backslash printed as such, and a
// line that would begin with a control character kept as text.
std::string roffText(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\') out += "\\e";
        else out += c;
        if (c == '\n') out += "\\&";
    }
    return (!out.empty() && (out[0] == '.' || out[0] == '\'')) ? "\\&" + out : out;
}

// Text a reader may type or copy (names, numbers, file names): never split
// at a line end, and every '-' the minus sign, which the formatter would
// otherwise print as a hyphen.
std::string roffLiteral(const std::string& text) {
    std::string out = "\\%";
    for (const char c : roffText(text)) out += c == '-' ? std::string("\\-") : std::string(1, c);
    return out;
}

std::string idNameOf(const Variant& variant) {
    const std::string prefix = "id name ";
    const std::string line = variant.idName;
    return line.rfind(prefix, 0) == 0 ? line.substr(prefix.size()) : line;
}

std::string joinedAsList(const std::vector<std::string>& items) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i)
        text += (i == 0 ? "" : i + 1 == items.size() ? " and " : ", ") + items[i];
    return text;
}

// What ostrel32 does otherwise than ostrel64, from their two descriptions.
std::string differences() {
    const Variant& reference = ostrel64Variant;
    const Variant& other = ostrel32Variant;
    const int hashDefault = optionSpec(OptionId::HASH).defaultValue;
    std::vector<std::string> items;
    if (other.initialHashMB != reference.initialHashMB)
        items.push_back("starts with a transposition table of " + std::to_string(other.initialHashMB) +
                        "\\ MB (the Hash option still reads " + std::to_string(hashDefault) + ")");
    if (other.searchAdditions != reference.searchAdditions)
        items.push_back(std::string(other.searchAdditions ? "adds" : "leaves out") +
                        " internal iterative deepening and futility pruning near the leaves, which a mate threat "
                        "found by the null-move search turns off");
    if (other.revisedPawnTerm != reference.revisedPawnTerm)
        items.push_back("scores the pawn structure with " +
                        std::string(other.revisedPawnTerm ? "a revised term" : "the original term") +
                        " (other king, pawn and passed-pawn tables, one bonus for a connected or protected passed "
                        "pawn, and a term for a blocked passed pawn)");
    if (other.zeroTimeRaisesNoError != reference.zeroTimeRaisesNoError)
        items.push_back(std::string(other.zeroTimeRaisesNoError ? "does not report" : "reports") +
                        " a remaining clock time of 0 as an error");
    if (items.empty()) return "They play alike.";
    return "\\fB" + std::string(reference.programName) + "\\fP is the reference engine; \\fB" + other.programName +
           "\\fP " + joinedAsList(items) + ".";
}

std::string optionEntries(const Variant& variant) {
    std::string text;
    for (const OptionSpec& option : optionTable()) {
        // The name, and in brackets its kind, default and range: the tag of the entry.
        text += ".TP\n.BR \"" + roffLiteral(option.name) + "\" \" (";
        switch (option.type) {
        case OptionType::SPIN:
            text += "spin, default " + roffLiteral(std::to_string(option.defaultValue)) + ", range " +
                    roffLiteral(std::to_string(option.min)) + " to " + roffLiteral(std::to_string(option.max)) +
                    (*option.unit ? std::string("\\ ") + roffText(option.unit) : "");
            break;
        case OptionType::CHECK:
            text += std::string("check, default ") + (option.defaultValue ? "true" : "false");
            break;
        case OptionType::BUTTON:
            text += "button";
            break;
        }
        text += ")\"\n";
        text += roffText(option.effect) + "\n";
        if (option.id == OptionId::HASH && variant.initialHashMB != option.defaultValue)
            text += roffText(std::string(variant.programName)) + " starts with a table of " +
                    std::to_string(variant.initialHashMB) + "\\ MB all the same; setting the value " +
                    std::to_string(option.defaultValue) + " keeps that table.\n";
    }
    return text;
}

std::string upper(std::string text) {
    for (char& c : text) c = char(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s <ostrel64|ostrel32> <template> <date> <output>\n", argv[0]);
        return 2;
    }
    const std::string program = argv[1];
    if (program != ostrel64Variant.programName && program != ostrel32Variant.programName) {
        std::fprintf(stderr, "%s: no program %s\n", argv[0], argv[1]);
        return 2;
    }
    const Variant& variant = program == ostrel64Variant.programName ? ostrel64Variant : ostrel32Variant;
    const Variant& other = &variant == &ostrel64Variant ? ostrel32Variant : ostrel64Variant;
    // The options are read as the program itself would read them.
    initialiseEngine(variant);

    std::ifstream input(argv[2]);
    std::stringstream templateText;
    templateText << input.rdbuf();
    if (!input) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[2]);
        return 1;
    }

    const std::map<std::string, std::string> values = {
        {"PROGRAM", roffLiteral(variant.programName)},
        {"PROGRAM_UPPER", roffLiteral(upper(variant.programName))},
        {"OTHER_PROGRAM", roffLiteral(other.programName)},
        {"ID_NAME", roffLiteral(idNameOf(variant))},
        {"OSTREL64_ID", roffLiteral(idNameOf(ostrel64Variant))},
        {"OSTREL32_ID", roffLiteral(idNameOf(ostrel32Variant))},
        {"BANNER", roffText(variant.bannerLine)},
        {"DATE", roffText(argv[3])},
        {"DIFFERENCES", differences()},
        {"OPTIONS", optionEntries(variant)},
        {"PERFT_MIN_DEPTH", std::to_string(PERFT_MIN_DEPTH)},
        {"PERFT_MAX_DEPTH", std::to_string(PERFT_MAX_DEPTH)},
        {"BENCH_DEFAULT_DEPTH", std::to_string(BENCH_DEFAULT_DEPTH)},
        {"BENCH_MAX_DEPTH", std::to_string(BENCH_MAX_DEPTH)},
        {"LOG_EXAMPLE", roffLiteral(logFileName(2026, 12, 6, 21, 44, 46, 1))},
        {"LOG_EXAMPLE_2", roffLiteral(logFileName(2026, 12, 6, 21, 44, 46, 2))},
    };

    // Every @NAME@ must be known: a misspelt one fails the build instead of
    // reaching the page. Other '@' signs stay as they are.
    const std::string text = templateText.str();
    std::string page;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t open = text.find('@', at);
        const std::size_t close = open == std::string::npos ? open : text.find('@', open + 1);
        if (close == std::string::npos) {
            page += text.substr(at);
            break;
        }
        const std::string name = text.substr(open + 1, close - open - 1);
        const bool isName = !name.empty() && name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_") ==
                                                 std::string::npos;
        if (!isName) {
            page += text.substr(at, close - at);
            at = close;
            continue;
        }
        const auto value = values.find(name);
        if (value == values.end()) {
            std::fprintf(stderr, "%s: %s names @%s@, which the generator does not know\n", argv[0], argv[2],
                         name.c_str());
            return 1;
        }
        page += text.substr(at, open - at) + value->second;
        at = close + 1;
    }

    std::ofstream output(argv[4]);
    output << page;
    output.close();
    if (!output) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[4]);
        return 1;
    }
    return 0;
}
