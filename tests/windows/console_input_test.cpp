// console_input_test.exe, run with a console as standard input (under Wine: a pseudo-terminal), puts events
// into its own console's input buffer as typing, focus changes and the mouse do, and checks what the engine's
// console reader makes of them. Prints "ok" and ends with status 0, or names each failed check and ends with 1.
#include "platform/console.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

int failures = 0;

void check(bool condition, const char* what) {
    if (!condition) std::printf("failed: %s\n", what);
    failures += !condition;
}

INPUT_RECORD key(char c, bool down, WORD repeat = 1) {
    INPUT_RECORD record{};
    record.EventType = KEY_EVENT;
    record.Event.KeyEvent.bKeyDown = down;
    record.Event.KeyEvent.wRepeatCount = repeat;
    record.Event.KeyEvent.uChar.AsciiChar = c;
    return record;
}

// Key down and key up for each character, as typing gives, or the records given; then a focus change, a
// window resize, a menu event and a mouse click, which carry no text.
void put(const std::string& typed, bool eventsWithoutText = false, std::vector<INPUT_RECORD> records = {}) {
    for (char c : typed) records.insert(records.end(), {key(c, true), key(c, false)});
    if (eventsWithoutText) {
        for (WORD type : {FOCUS_EVENT, WINDOW_BUFFER_SIZE_EVENT, MENU_EVENT, MOUSE_EVENT}) {
            records.push_back({});
            records.back().EventType = type;
        }
        records.back().Event.MouseEvent.dwButtonState = FROM_LEFT_1ST_BUTTON_PRESSED;
    }
    DWORD written = 0;
    WriteConsoleInputA(GetStdHandle(STD_INPUT_HANDLE), records.data(), DWORD(records.size()), &written);
    check(written == records.size(), "events can be written");
}

DWORD pendingEvents() {
    DWORD pending = 0;
    GetNumberOfConsoleInputEvents(GetStdHandle(STD_INPUT_HANDLE), &pending);
    return pending;
}

}  // namespace

int main() {
    InputReader reader;
    check(!reader.isPipe(), "standard input is a console");

    // Typed before the engine was ready: discarded, and no window or mouse events from now on.
    put("isready\r");
    reader.prepare();
    check(pendingEvents() == 0, "typed-ahead input is discarded");
    DWORD mode = 0;
    GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode);
    check((mode & (ENABLE_WINDOW_INPUT | ENABLE_MOUSE_INPUT)) == 0, "window and mouse input are off");

    // Events without text and an unfinished line: no input, nothing blocks, and the events are taken out of
    // the console.
    put("", true);
    put("go dep", true);
    check(!reader.lineAvailable(), "an unfinished line is not input");
    check(pendingEvents() == 0, "events are taken out of the console");
    check(!reader.readLine().has_value(), "reading an unfinished line returns nothing");

    // Finishing it, with a correction and a held-down key on the way.
    put("x\bth ");
    put("", false, {key('8', true, 2), key('8', false)});
    put("\r");
    check(reader.lineAvailable(), "a finished line is input");
    check(reader.readLine().value_or("") == "go depth 88", "the line as typed, corrections applied");

    // Two lines in one go, read one at a time.
    put("stop\risready\r");
    check(reader.readLine().value_or("") == "stop", "first of two lines");
    check(reader.readLine().value_or("") == "isready", "second of two lines");
    check(!reader.lineAvailable(), "nothing after the last line");

    if (failures == 0) std::printf("ok\n");
    return failures == 0 ? 0 : 1;
}
