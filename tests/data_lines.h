// Test cases kept as data: one case per line in a file under tests/data/, blank lines and lines starting with '#'
// skipped. Each case remembers where it came from, so a failure names the file and line.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

struct DataLine {
    std::string where;  // "file.txt:12"
    std::string text;
};

inline std::vector<DataLine> readDataLines(const std::string& fileName) {
    std::vector<DataLine> lines;
    std::ifstream in(std::string(OSTREL_DATA_DIR) + "/" + fileName);
    std::string text;
    for (int number = 1; std::getline(in, text); ++number)
        if (!text.empty() && text[0] != '#') lines.push_back({fileName + ":" + std::to_string(number), text});
    return lines;
}

// The fields of a line separated by " ; ", trimmed of the blanks around them.
inline std::vector<std::string> splitFields(const std::string& text) {
    std::vector<std::string> fields;
    for (std::size_t start = 0, end = 0; end != std::string::npos; start = end + 3) {
        end = text.find(" ; ", start);
        std::string field = text.substr(start, end == std::string::npos ? end : end - start);
        field.erase(0, field.find_first_not_of(' '));
        fields.push_back(field.erase(field.find_last_not_of(' ') + 1));
    }
    return fields;
}

inline std::vector<std::string> wordsOf(const std::string& text) {
    std::istringstream in(text);
    return {std::istream_iterator<std::string>(in), {}};
}

// gtest prints a parameter with this.
inline void PrintTo(const DataLine& line, std::ostream* out) { *out << line.where; }

// One test per line of a file under tests/data/, named after the line: DATA_TEST(Group, Suite, "file.txt", Name)
// { ... GetParam().text ... }, or DATA_TEST_F with a fixture first.
inline std::string lineName(const ::testing::TestParamInfo<DataLine>& info) {
    return "line" + info.param.where.substr(info.param.where.rfind(':') + 1);
}
#define DATA_TEST_F(fixture, group, suite, file, name)                                       \
    class suite : public fixture, public ::testing::WithParamInterface<DataLine> {};        \
    INSTANTIATE_TEST_SUITE_P(group, suite, ::testing::ValuesIn(readDataLines(file)), lineName); \
    TEST_P(suite, name)
#define DATA_TEST(group, suite, file, name) DATA_TEST_F(::testing::Test, group, suite, file, name)
