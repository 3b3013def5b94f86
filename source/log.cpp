#include "log.h"

#include "platform/files.h"

std::FILE* logFile = nullptr;
bool logReady = false;

namespace {
// How many suffixed names to try before giving up on a log.
constexpr int MAX_LOG_NAME_ATTEMPTS = 100;
}  // namespace

std::string logFileName(int year, int month, int day, int hour, int minute, int second, int attempt) {
    char name[512];
    std::snprintf(name, sizeof name, "%4u-%2u-%2u %2u-%2u-%2u", unsigned(year), unsigned(month), unsigned(day),
                  unsigned(hour), unsigned(minute), unsigned(second));
    std::string result = name;
    if (attempt > 1) result += " (" + std::to_string(attempt) + ")";
    return result + ".log";
}

bool OpenLogFile() { return OpenLogFile(localTimeNow(), "."); }

bool OpenLogFile(const LocalTime& t, const std::string& directory) {
    logFile = nullptr;
    for (int attempt = 1; attempt <= MAX_LOG_NAME_ATTEMPTS; ++attempt) {
        const std::string name =
            directory + "/" + logFileName(t.year, t.month, t.day, t.hour, t.minute, t.second, attempt);
        // Exclusive creation: a second engine started in the same second
        // must not write into the first one's transcript.
        const NewFileResult result = createNewTextFile(name, logFile);
        if (result == NewFileResult::NAME_TAKEN) continue;
        break;  // created, or no permission, no space: run without a log
    }
    logReady = logFile != nullptr;
    return logReady;
}

void WriteLog(const char* source, int line, const char* function, const std::string& message) {
    if (logFile == nullptr || !logReady) return;
    const int written = std::fprintf(logFile, "%s - %s %d %s\n", message.c_str(), source, line, function);
    if (written <= 0) {
        // A full disk must not cost the GUI its protocol line: report it as
        // the log always has, then carry on without the log.
        std::printf("EXC 3 - ret = %d\n", written);
        logReady = false;
        return;
    }
    std::fflush(logFile);
}
