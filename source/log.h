// The transcript of the protocol traffic: every line read and every line sent
// is appended to a file named after the local start time, flushed line by line.
#pragma once

#include "platform/clock.h"

#include <cstdio>
#include <string>

extern std::FILE* logFile;
extern bool logReady;

// Opens "YYYY-MM-DD HH-MM-SS.log" (fields blank-padded) in the working
// directory. When another engine already took that name in the same second,
// a suffix " (2)", " (3)", ... keeps the two transcripts apart. Returns false
// when no file can be created (a read-only directory): the engine then runs
// without a log.
bool OpenLogFile();
// The same for a given start time, in a given directory.
bool OpenLogFile(const LocalTime& startTime, const std::string& directory);

// Builds the file name for a start time and an attempt number (1 = no suffix).
std::string logFileName(int year, int month, int day, int hour, int minute, int second, int attempt);

// One line "<message> - <source> <line> <function>". Does nothing without a log.
void WriteLog(const char* source, int line, const char* function, const std::string& message);
