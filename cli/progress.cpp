// The progress line: the estimate assumes the units left take as long as the units done did.
#include "cli/progress.h"

#include <unistd.h>

#include <cstdio>

bool progressOnTerminal() { return isatty(STDERR_FILENO); }

std::string etaText(ProgressClock::time_point start, int done, int total)
{
    double elapsed = std::chrono::duration<double>(ProgressClock::now() - start).count();
    long left = done > 0 ? static_cast<long>(elapsed / done * (total - done) + 0.5) : 0;
    char eta[32];
    std::snprintf(eta, sizeof eta, "%ld:%02ld:%02ld", left / 3600, left / 60 % 60, left % 60);
    return eta;
}

void endProgressLine()
{
    if (progressOnTerminal()) std::fprintf(stderr, "\n");
}
