// Folders made with their parents: each prefix of the path in turn, keeping the first reason
// that stops it.
#include "cli/makeFolders.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

// One folder; true when it is there afterwards (made now, or a folder already).
static bool makeOne(const std::string& path, int& reason)
{
    if (mkdir(path.c_str(), 0777) == 0) return true;
    reason = errno;
    struct stat info;
    if (reason == EEXIST && stat(path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) return true;
        reason = ENOTDIR;
    }
    return false;
}

bool makeFolders(const std::string& path, std::string& error)
{
    int reason = ENOENT;   // an empty name names no folder
    bool made = false;
    if (!path.empty()) {
        made = true;
        for (std::size_t slash = path.find('/', 1); made && slash != std::string::npos; slash = path.find('/', slash + 1))
            made = makeOne(path.substr(0, slash), reason);
        made = made && makeOne(path, reason);
    }
    if (made) return true;
    error = "cannot create the folder \"" + path + "\": " + std::strerror(reason);
    return false;
}
