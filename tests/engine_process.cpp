#include "engine_process.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

std::int64_t steadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool isLogFileName(const std::string& name, bool secondInTheSameSecond) {
    // d: a digit; a: a digit or a blank.
    const std::string shape = "dddd-ad-ad ad-ad-ad";
    if (name.size() < shape.size()) return false;
    for (std::size_t i = 0; i < shape.size(); ++i) {
        const char c = name[i];
        const bool digit = c >= '0' && c <= '9';
        if (!(shape[i] == 'd' ? digit : shape[i] == 'a' ? (digit || c == ' ') : c == shape[i])) return false;
    }
    const std::string rest = name.substr(shape.size());
    return rest == ".log" || (secondInTheSameSecond && rest == " (2).log");
}

TemporaryDirectory::TemporaryDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ostrel-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TemporaryDirectory::~TemporaryDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> TemporaryDirectory::files() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_))
        if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
    return names;
}

EngineProcess::EngineProcess(const std::string& program, const std::string& workingDirectory,
                             const std::vector<std::string>& arguments, bool terminalInput) {
    std::signal(SIGPIPE, SIG_IGN);
    int in[2];
    int out[2];
    if (terminalInput) {
        // in[1] is the terminal's master side, in[0] the side the child reads.
        in[1] = posix_openpt(O_RDWR | O_NOCTTY);
        if (in[1] < 0 || grantpt(in[1]) != 0 || unlockpt(in[1]) != 0) throw std::runtime_error("no terminal");
        in[0] = open(ptsname(in[1]), O_RDWR | O_NOCTTY);
        termios raw{};
        if (in[0] < 0 || tcgetattr(in[0], &raw) != 0) throw std::runtime_error("no terminal");
        cfmakeraw(&raw);
        tcsetattr(in[0], TCSANOW, &raw);
    } else if (pipe(in) != 0) {
        throw std::runtime_error("pipe failed");
    }
    if (pipe(out) != 0) throw std::runtime_error("pipe failed");
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        close(in[0]);
        close(in[1]);
        close(out[0]);
        close(out[1]);
        if (chdir(workingDirectory.c_str()) != 0) _exit(126);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    toChild_ = in[1];
    fromChild_ = out[0];
    fcntl(fromChild_, F_SETFL, fcntl(fromChild_, F_GETFL) | O_NONBLOCK);
}

EngineProcess::~EngineProcess() {
    if (toChild_ >= 0) close(toChild_);
    if (!exited_ && pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (fromChild_ >= 0) close(fromChild_);
}

void EngineProcess::sendRaw(const std::string& bytes) {
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = write(toChild_, data, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        data += n;
        left -= std::size_t(n);
    }
}

void EngineProcess::send(const std::string& line) { sendRaw(line + "\n"); }

void EngineProcess::closeInput() {
    if (toChild_ >= 0) close(toChild_);
    toChild_ = -1;
}

std::optional<std::string> EngineProcess::readLine(int timeoutMs) {
    const std::int64_t deadline = steadyMs() + timeoutMs;
    for (;;) {
        if (const std::size_t end = pending_.find('\n'); end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            return line;
        }
        const std::int64_t left = deadline - steadyMs();
        if (left <= 0) return std::nullopt;
        pollfd p{fromChild_, POLLIN, 0};
        if (poll(&p, 1, int(left)) <= 0) continue;
        char buffer[65536];
        const ssize_t n = read(fromChild_, buffer, sizeof buffer);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n <= 0) return std::nullopt;
        pending_.append(buffer, std::size_t(n));
    }
}

std::vector<std::string> EngineProcess::readUntil(const std::string& prefix, int timeoutMs) {
    std::vector<std::string> lines;
    const std::int64_t deadline = steadyMs() + timeoutMs;
    for (;;) {
        const std::int64_t left = deadline - steadyMs();
        std::optional<std::string> line = left > 0 ? readLine(int(left)) : std::nullopt;
        if (!line) {
            ADD_FAILURE() << "no line beginning with \"" << prefix << "\" within " << timeoutMs << " ms";
            return lines;
        }
        lines.push_back(*line);
        if (line->rfind(prefix, 0) == 0) return lines;
    }
}

std::vector<std::string> EngineProcess::drain(int quietMs) {
    std::vector<std::string> lines;
    while (std::optional<std::string> line = readLine(quietMs)) lines.push_back(*line);
    return lines;
}

std::optional<int> EngineProcess::waitForExit(int timeoutMs) {
    const std::int64_t deadline = steadyMs() + timeoutMs;
    for (;;) {
        int status = 0;
        const pid_t r = waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            exited_ = true;
            if (WIFEXITED(status)) return WEXITSTATUS(status);
            return std::nullopt;
        }
        if (steadyMs() > deadline) return std::nullopt;
        usleep(2000);
    }
}
