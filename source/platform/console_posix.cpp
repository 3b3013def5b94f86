#include "platform/console.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

InputReader::InputReader()
    : handle_(STDIN_FILENO), isPipe_(!isatty(STDIN_FILENO)), isOpen_(fcntl(STDIN_FILENO, F_GETFD) != -1) {}

void InputReader::prepare() {}

void InputReader::fill() {
    if (ended_) return;
    const int fd = int(handle_);
    char chunk[4096];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        const int r = poll(&p, 1, 0);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return;
        if ((p.revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) == 0) return;
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ended_ = true;
            return;
        }
        lines_.append(chunk, std::size_t(n));
        // Stop once a line is complete: the rest stays in the pipe, where a
        // later poll finds it.
        if (lines_.hasLine()) return;
    }
}

void InputReader::waitForInput(int timeoutMs) {
    if (lineAvailable()) return;
    pollfd p{int(handle_), POLLIN, 0};
    poll(&p, 1, timeoutMs);
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
