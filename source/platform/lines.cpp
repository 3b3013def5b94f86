#include "platform/lines.h"

void LineAssembler::append(const char* data, std::size_t size) {
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

bool LineAssembler::eraseLast() {
    if (discarding_ || partial_.empty()) return false;
    partial_.pop_back();
    return true;
}

std::optional<std::string> LineAssembler::takeLine() {
    if (ready_.empty()) return std::nullopt;
    const std::size_t end = ready_.find('\n');
    std::string line = ready_.substr(0, end);
    ready_.erase(0, end + 1);
    return line;
}

std::optional<std::string> LineAssembler::takeUnfinished() {
    if (partial_.empty()) return std::nullopt;
    std::string line;
    line.swap(partial_);
    if (line.back() == '\r') line.pop_back();
    if (line.size() > MAX_LINE) line.resize(MAX_LINE);
    return line;
}
