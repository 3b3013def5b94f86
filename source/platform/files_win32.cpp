#include "platform/files.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

NewFileResult createNewTextFile(const std::string& path, std::FILE*& file) {
    file = nullptr;
    // Others may read the file while the engine writes it (to watch the
    // transcript), but nobody else may write to it.
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? NewFileResult::NAME_TAKEN
                                                                            : NewFileResult::FAILED;
    }
    // Text mode: every line ends in CR LF, as Windows editors expect.
    const int fd = _open_osfhandle(reinterpret_cast<std::intptr_t>(handle), _O_APPEND | _O_TEXT);
    if (fd < 0) {
        CloseHandle(handle);
        return NewFileResult::FAILED;
    }
    file = _fdopen(fd, "at");
    if (file == nullptr) {
        _close(fd);
        return NewFileResult::FAILED;
    }
    return NewFileResult::CREATED;
}
