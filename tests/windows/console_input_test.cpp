// console_input_test.exe, run with a console as standard input (under Wine:
// a pseudo-terminal). Puts events into its own console's input buffer, the
// way typing, focus changes and the mouse do, and checks what the engine's
// console reader makes of them. Prints "ok" and ends with status 0, or names
// the first failed check and ends with status 1.
#include "platform/console.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

HANDLE console() { return GetStdHandle(STD_INPUT_HANDLE); }

INPUT_RECORD key(char c, bool down, WORD repeat = 1) {
    INPUT_RECORD record{};
    record.EventType = KEY_EVENT;
    record.Event.KeyEvent.bKeyDown = down;
    record.Event.KeyEvent.wRepeatCount = repeat;
    record.Event.KeyEvent.uChar.AsciiChar = c;
    return record;
}

// Key down and key up for each character, as typing gives.
std::vector<INPUT_RECORD> typed(const std::string& text) {
    std::vector<INPUT_RECORD> records;
    for (char c : text) {
        records.push_back(key(c, true));
        records.push_back(key(c, false));
    }
    return records;
}

std::vector<INPUT_RECORD> noText() {
    std::vector<INPUT_RECORD> records(4);
    records[0].EventType = FOCUS_EVENT;
    records[0].Event.FocusEvent.bSetFocus = TRUE;
    records[1].EventType = MOUSE_EVENT;
    records[1].Event.MouseEvent.dwButtonState = FROM_LEFT_1ST_BUTTON_PRESSED;
    records[2].EventType = WINDOW_BUFFER_SIZE_EVENT;
    records[2].Event.WindowBufferSizeEvent.dwSize = {80, 25};
    records[3].EventType = MENU_EVENT;
    return records;
}

bool put(const std::vector<INPUT_RECORD>& records) {
    DWORD written = 0;
    return WriteConsoleInputA(console(), records.data(), DWORD(records.size()), &written) &&
           written == records.size();
}

DWORD pendingEvents() {
    DWORD pending = 0;
    GetNumberOfConsoleInputEvents(console(), &pending);
    return pending;
}

int failures = 0;

void check(bool condition, const char* what) {
    if (condition) return;
    std::printf("failed: %s\n", what);
    ++failures;
}

}  // namespace

int main() {
    InputReader reader;
    if (reader.isPipe()) {
        std::printf("failed: standard input is not a console\n");
        return 1;
    }

    // Typed before the engine was ready: discarded, and no window or mouse
    // events from now on.
    check(put(typed("isready\r")), "events can be written");
    reader.prepare();
    check(pendingEvents() == 0, "typed-ahead input is discarded");
    DWORD mode = 0;
    GetConsoleMode(console(), &mode);
    check((mode & (ENABLE_WINDOW_INPUT | ENABLE_MOUSE_INPUT)) == 0, "window and mouse input are off");

    // Events without text and an unfinished line: no input, nothing blocks,
    // and the events that carry no text are gone.
    put(noText());
    put(typed("go dep"));
    put(noText());
    check(!reader.lineAvailable(), "an unfinished line is not input");
    check(pendingEvents() == 0, "events are taken out of the console");
    check(!reader.readLine().has_value(), "reading an unfinished line returns nothing");

    // Finishing it, with a correction and a held-down key on the way.
    put(typed("x\bth "));
    put({key('8', true, 2), key('8', false)});
    put(typed("\r"));
    check(reader.lineAvailable(), "a finished line is input");
    const std::optional<std::string> line = reader.readLine();
    check(line && *line == "go depth 88", "the line as typed, corrections applied");

    // Two lines in one go, read one at a time.
    put(typed("stop\risready\r"));
    check(reader.readLine().value_or("") == "stop", "first of two lines");
    check(reader.readLine().value_or("") == "isready", "second of two lines");
    check(!reader.lineAvailable(), "nothing after the last line");

    if (failures == 0) std::printf("ok\n");
    return failures == 0 ? 0 : 1;
}
