// File checks: existence only; whether a file can be read or written is found out by doing it,
// and each failure is reported where it happens.
#include "cli/fileChecks.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

bool fileExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

std::string systemReason() { return std::strerror(errno); }
