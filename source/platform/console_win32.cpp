#include "platform/console.h"

#include <windows.h>

#include <cstdio>

namespace {

constexpr DWORD CHUNK_BYTES = 4096;
constexpr DWORD CONSOLE_RECORDS = 64;
// Between two looks into a pipe while waiting: short enough that a command is
// served without a noticeable delay, long enough to cost no processor time.
constexpr DWORD PIPE_POLL_MS = 1;

HANDLE asHandle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// Standard input that PeekNamedPipe cannot look into: a file, a character
// device, or a pipe of the host system when the engine runs under Wine. A
// helper thread blocks in ReadFile and hands over what it gets; the engine
// itself still only polls, and never waits on a read.
class BackgroundReader {
public:
    explicit BackgroundReader(HANDLE input) : input_(input) {
        InitializeCriticalSection(&lock_);
        arrived_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        HANDLE thread = CreateThread(nullptr, 0, &BackgroundReader::run, this, 0, nullptr);
        if (thread == nullptr) {
            ended_ = true;  // no way to read at all: the same as no input
            SetEvent(arrived_);
        } else {
            CloseHandle(thread);
        }
    }

    // Moves what has arrived into lines; true once the input has ended and
    // everything before the end has been moved.
    bool take(LineAssembler& lines) {
        EnterCriticalSection(&lock_);
        lines.append(bytes_.data(), bytes_.size());
        bytes_.clear();
        const bool ended = ended_;
        if (!ended) ResetEvent(arrived_);
        LeaveCriticalSection(&lock_);
        return ended;
    }

    void wait(int timeoutMs) { WaitForSingleObject(arrived_, DWORD(timeoutMs)); }

private:
    static DWORD WINAPI run(void* self) {
        auto* reader = static_cast<BackgroundReader*>(self);
        char chunk[CHUNK_BYTES];
        for (;;) {
            DWORD got = 0;
            const bool ok = ReadFile(reader->input_, chunk, CHUNK_BYTES, &got, nullptr);
            EnterCriticalSection(&reader->lock_);
            if (ok && got > 0)
                reader->bytes_.append(chunk, got);
            else
                reader->ended_ = true;
            const bool ended = reader->ended_;
            SetEvent(reader->arrived_);
            LeaveCriticalSection(&reader->lock_);
            if (ended) return 0;
        }
    }

    HANDLE input_;
    HANDLE arrived_;  // set while bytes or the end wait to be taken
    CRITICAL_SECTION lock_;
    std::string bytes_;
    bool ended_ = false;
};

// Created when standard input first turns out not to be a pipe that can be
// peeked into, and kept for the rest of the run.
BackgroundReader* backgroundReader = nullptr;

// Typed text appears as it is typed only when the console shows it: the
// engine reads key events itself, so the console does not echo them.
void echo(const char* text, DWORD length) {
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(output, &mode)) WriteConsoleA(output, text, length, &written, nullptr);
}

// One console event: a pressed key adds its character to the line, Enter
// ends the line, backspace takes a character back. Everything else (key
// releases, focus, menu, mouse, window events) is dropped.
void takeConsoleEvent(const INPUT_RECORD& record, LineAssembler& lines) {
    if (record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown) return;
    const char c = record.Event.KeyEvent.uChar.AsciiChar;
    const WORD repeat = record.Event.KeyEvent.wRepeatCount > 0 ? record.Event.KeyEvent.wRepeatCount : 1;
    for (WORD i = 0; i < repeat; ++i) {
        if (c == '\r') {
            echo("\r\n", 2);
            lines.append('\n');
        } else if (c == '\b') {
            if (lines.eraseLast()) echo("\b \b", 3);
        } else if (static_cast<unsigned char>(c) >= ' ' || c == '\t') {
            echo(&c, 1);
            lines.append(c);
        }
    }
}

}  // namespace

InputReader::InputReader() {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    handle_ = reinterpret_cast<std::intptr_t>(input);
    isPipe_ = !GetConsoleMode(input, &mode);
    isOpen_ = input != INVALID_HANDLE_VALUE && input != nullptr;
}

void InputReader::prepare() {
    if (isPipe_ || !isOpen_) return;
    HANDLE input = asHandle(handle_);
    DWORD mode = 0;
    if (GetConsoleMode(input, &mode)) SetConsoleMode(input, mode & ~DWORD(ENABLE_WINDOW_INPUT | ENABLE_MOUSE_INPUT));
    FlushConsoleInputBuffer(input);
}

void InputReader::fill() {
    if (ended_) return;
    HANDLE input = asHandle(handle_);

    if (!isPipe_) {
        // Waiting with no time is the cheap test whether events are pending;
        // under Wine it is also what lets the console take in what was typed.
        for (;;) {
            const DWORD state = WaitForSingleObject(input, 0);
            if (state == WAIT_FAILED) {
                ended_ = true;  // the console has gone
                return;
            }
            DWORD pending = 0;
            if (state != WAIT_OBJECT_0 || !GetNumberOfConsoleInputEvents(input, &pending) || pending == 0) return;
            INPUT_RECORD records[CONSOLE_RECORDS];
            DWORD got = 0;
            if (!ReadConsoleInputA(input, records, pending < CONSOLE_RECORDS ? pending : CONSOLE_RECORDS, &got) ||
                got == 0)
                return;
            for (DWORD i = 0; i < got; ++i) takeConsoleEvent(records[i], lines_);
            if (lines_.hasLine()) return;
        }
    }

    if (backgroundReader != nullptr) {
        ended_ = backgroundReader->take(lines_);
        return;
    }
    char chunk[CHUNK_BYTES];
    for (;;) {
        DWORD available = 0;
        if (!PeekNamedPipe(input, nullptr, 0, nullptr, &available, nullptr)) {
            if (GetLastError() == ERROR_BROKEN_PIPE) {
                ended_ = true;  // the writer has gone and everything was read
            } else {
                backgroundReader = new BackgroundReader(input);
                ended_ = backgroundReader->take(lines_);
            }
            return;
        }
        if (available == 0) return;
        DWORD got = 0;
        if (!ReadFile(input, chunk, available < CHUNK_BYTES ? available : CHUNK_BYTES, &got, nullptr) || got == 0) {
            ended_ = true;
            return;
        }
        lines_.append(chunk, got);
        // Stop once a line is complete: the rest stays in the pipe, where a
        // later look finds it.
        if (lines_.hasLine()) return;
    }
}

void InputReader::waitForInput(int timeoutMs) {
    if (lineAvailable()) return;
    if (!isPipe_) {
        // Signalled as soon as the console holds an event; the events that
        // carry no line are dropped by the next look, so this never spins.
        WaitForSingleObject(asHandle(handle_), DWORD(timeoutMs));
        return;
    }
    if (backgroundReader != nullptr) {
        backgroundReader->wait(timeoutMs);
        return;
    }
    // An anonymous pipe cannot be waited on: look into it at short intervals.
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < DWORD(timeoutMs)) {
        Sleep(PIPE_POLL_MS);
        if (lineAvailable()) return;
    }
}

void prepareStandardOutput() { std::setvbuf(stdout, nullptr, _IONBF, 0); }

void writeOutputLine(const std::string& text) {
    // CR LF, like everything else the program prints: the C library's
    // standard output is in text mode, which writes every "\n" as CR LF.
    std::string line = text;
    line += "\r\n";
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    const char* data = line.data();
    DWORD left = DWORD(line.size());
    while (left > 0) {
        DWORD written = 0;
        if (!WriteFile(output, data, left, &written, nullptr) || written == 0) return;  // the reader has gone
        data += written;
        left -= written;
    }
}
