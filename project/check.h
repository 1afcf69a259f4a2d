// Two tiers of internal assertion. tarvoCheck stays on in every build and reports the expression,
// file and line; tarvoDebugCheck costs more and is compiled only into debug and test builds.
#pragma once

#include <cstdio>
#include <cstdlib>

[[noreturn]] inline void tarvoCheckFailed(const char* expr, const char* file, int line)
{
    std::fflush(stdout);
    std::fprintf(stderr, "tarvo: internal check failed: %s (%s:%d)\n", expr, file, line);
    std::abort();
}

#define tarvoCheck(expr) ((expr) ? (void)0 : tarvoCheckFailed(#expr, __FILE__, __LINE__))

#if defined(TARVO_DEBUG_CHECKS) || !defined(NDEBUG)
#define tarvoDebugCheck(expr) tarvoCheck(expr)
#else
#define tarvoDebugCheck(expr) ((void)0)
#endif
