// Creating the log file without ever writing into another run's file.
#pragma once

#include <cstdio>
#include <string>

enum class NewFileResult { CREATED, NAME_TAKEN, FAILED };

// Creates the file, which must not exist yet, so that two engines never write
// into one file, and opens it for appending text.
NewFileResult createNewTextFile(const std::string& path, std::FILE*& file);
