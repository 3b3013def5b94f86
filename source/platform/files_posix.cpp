#include "platform/files.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

NewFileResult createNewTextFile(const std::string& path, std::FILE*& file) {
    file = nullptr;
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return errno == EEXIST ? NewFileResult::NAME_TAKEN : NewFileResult::FAILED;
    file = fdopen(fd, "a");
    if (file == nullptr) {
        close(fd);
        return NewFileResult::FAILED;
    }
    return NewFileResult::CREATED;
}
