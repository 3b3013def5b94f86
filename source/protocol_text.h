// Small readers of protocol text shared by the command front end and the
// options: numbers as the C library reads them, words, names without case.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A decimal integer as the C library's conversions read it: leading white
// space, an optional sign, then digits up to the first non-digit. Values
// beyond the 32-bit range are clamped rather than overflowing. Without a
// digit the result is nullopt (the C library would say 0).
std::optional<std::int32_t> readDecimal(const char* text);
// The same, with 0 when there is no digit, as "%d" reads such a field.
inline std::int32_t readInteger(const char* text) { return readDecimal(text).value_or(0); }

inline bool beginsWith(const std::string& line, const char* word) { return line.rfind(word, 0) == 0; }

// The words of a line, split at white space.
std::vector<std::string> splitWords(const std::string& line);

// Whether two texts are equal when upper and lower case are not told apart.
bool equalsIgnoringCase(const std::string& a, const std::string& b);
