#include "platform/console.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

InputReader::InputReader(int fd) : fd_(fd), isPipe_(!isatty(fd)), isOpen_(fcntl(fd, F_GETFD) != -1) {}

void InputReader::append(const char* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        const char c = data[i];
        if (c == '\n') {
            if (discarding_) {
                // The end of an overlong line whose kept part was already handed on.
                discarding_ = false;
                continue;
            }
            if (!partial_.empty() && partial_.back() == '\r') partial_.pop_back();
            ready_ += partial_;
            ready_ += '\n';
            partial_.clear();
        } else if (discarding_) {
            continue;
        } else if (partial_.size() < MAX_LINE || (c == '\r' && partial_.size() == MAX_LINE)) {
            // A carriage return is kept for now: if a line feed follows it is
            // dropped with it, so a full-length line ended by CR LF is not cut.
            partial_ += c;
        } else {
            // The line is already as long as a command may be: the kept part
            // becomes a complete command now, and everything up to the next
            // line feed is dropped, never read as a command of its own.
            if (partial_.size() > MAX_LINE) partial_.resize(MAX_LINE);
            ready_ += partial_;
            ready_ += '\n';
            partial_.clear();
            discarding_ = true;
        }
    }
}

void InputReader::fill() {
    if (ended_) return;
    char chunk[4096];
    for (;;) {
        pollfd p{fd_, POLLIN, 0};
        const int r = poll(&p, 1, 0);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return;
        if ((p.revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) == 0) return;
        const ssize_t n = read(fd_, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ended_ = true;
            return;
        }
        append(chunk, std::size_t(n));
        // Stop once a line is complete: the rest stays in the pipe, where a
        // later poll finds it.
        if (!ready_.empty()) return;
    }
}

bool InputReader::lineAvailable() {
    if (ready_.empty()) fill();
    return !ready_.empty() || ended_;
}

void InputReader::waitForInput(int timeoutMs) {
    if (lineAvailable()) return;
    pollfd p{fd_, POLLIN, 0};
    poll(&p, 1, timeoutMs);
}

std::optional<std::string> InputReader::readLine() {
    if (ready_.empty()) fill();
    if (!ready_.empty()) {
        const std::size_t end = ready_.find('\n');
        std::string line = ready_.substr(0, end);
        ready_.erase(0, end + 1);
        return line;
    }
    if (ended_ && !partial_.empty()) {
        // The last line had no line feed.
        std::string line;
        line.swap(partial_);
        if (line.back() == '\r') line.pop_back();
        if (line.size() > MAX_LINE) line.resize(MAX_LINE);
        return line;
    }
    return std::nullopt;
}

void prepareStandardOutput() {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::signal(SIGPIPE, SIG_IGN);
}

void writeOutputLine(const std::string& text) {
    std::string line = text;
    line += '\n';
    const char* data = line.data();
    std::size_t left = line.size();
    while (left > 0) {
        const ssize_t n = write(STDOUT_FILENO, data, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // the reader has gone; nothing sensible to do
        data += n;
        left -= std::size_t(n);
    }
}

LocalTime localTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}
