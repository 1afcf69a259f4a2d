// Output files of the commands: plain system writes with every failure caught and named,
// so no result is reported as kept when the disk refused it.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "results/outputFile.h"

#include "cli/workers.h"

static bool failed(const std::string& path, std::string& error)
{
    error = path + ": " + std::strerror(errno);
    return false;
}

bool openOutput(OutputFile& file, const std::string& path, bool append, std::string& error)
{
    file.path = path;
    file.fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC), 0666);
    return file.fd >= 0 || failed(path, error);
}

bool writeOutput(OutputFile& file, const std::string& text, std::string& error)
{
    // A short write is followed by one more, which returns the reason (EFBIG, ENOSPC).
    return writeAllTo(file.fd, text) || failed(file.path, error);
}

bool closeOutput(OutputFile& file, std::string& error)
{
    if (file.fd < 0) return true;
    int fd = file.fd;
    file.fd = -1;
    return close(fd) == 0 || failed(file.path, error);
}

bool openWhole(OutputFile& file, const std::string& path, std::string& error)
{
    file.finalPath = path;
    return openOutput(file, path + ".new", false, error);
}

bool closeWhole(OutputFile& file, std::string& error)
{
    if (!closeOutput(file, error)) {
        std::remove(file.path.c_str());
        return false;
    }
    if (std::rename(file.path.c_str(), file.finalPath.c_str()) != 0) return failed(file.finalPath, error);
    return true;
}

bool writeWhole(const std::string& path, const std::string& text, std::string& error)
{
    OutputFile temp;
    if (!openWhole(temp, path, error)) return false;
    if (!writeOutput(temp, text, error)) {
        std::string ignored;
        closeOutput(temp, ignored);
        std::remove(temp.path.c_str());
        return false;
    }
    return closeWhole(temp, error);
}
