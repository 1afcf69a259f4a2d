// The check of standard output at the end of a command.
#include "cli/standardOutput.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/exitCodes.h"

int outputChecked(int code)
{
    errno = 0;
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return code;
    std::fprintf(stderr, "tarvo: cannot write standard output: %s\n", errno != 0 ? std::strerror(errno) : "write error");
    return code == exitClean ? exitIncomplete : code;
}
