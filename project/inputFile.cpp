// Input files: the one check of what a path names (regular file, folder, pipe, device) and the one
// reader of a whole input, shared by every command and by the instance readers.
#include "project/inputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

// What stands at a path that is not a regular file, in words.
static const char* kindOf(mode_t mode)
{
    if (S_ISDIR(mode)) return "a folder, not a file";
    if (S_ISFIFO(mode)) return "a pipe, not a regular file";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device, not a regular file";
    if (S_ISSOCK(mode)) return "a socket, not a regular file";
    return "not a regular file";
}

static bool acceptable(const struct stat& info, InputKind kind)
{
    return S_ISREG(info.st_mode) || (kind == InputKind::regularOrStream && S_ISFIFO(info.st_mode));
}

std::string inputFault(const std::string& path, InputKind kind)
{
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return std::strerror(errno);
    return acceptable(info, kind) ? "" : kindOf(info.st_mode);
}

bool checkInputFile(const std::string& path, InputKind kind, std::string& error)
{
    std::string fault = inputFault(path, kind);
    if (fault.empty()) return true;
    error = path + ": " + fault;
    return false;
}

bool readInputFile(const std::string& path, InputKind kind, std::string& text, std::string& error)
{
    text.clear();
    if (!checkInputFile(path, kind, error)) return false;
    // Not blocking on open: a pipe without a writer would otherwise wait for one for ever; once
    // open it reads to its end as usual.
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    struct stat info;
    if (fstat(fd, &info) != 0 || !acceptable(info, kind)) {
        error = path + ": " + (fstat(fd, &info) != 0 ? std::strerror(errno) : kindOf(info.st_mode));
        close(fd);
        return false;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    char chunk[1 << 16];
    for (;;) {
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = path + ": " + std::strerror(errno);
            close(fd);
            return false;
        }
        if (n == 0) break;
        text.append(chunk, static_cast<std::size_t>(n));
    }
    close(fd);
    return true;
}

void completeLastLine(const std::string& path, std::string& text)
{
    const bool part = path.size() >= 5 && path.compare(path.size() - 5, 5, ".part") == 0;
    if (!part && !text.empty() && text.back() != '\n') text += '\n';
}
