// Worker processes of the commands that run in parallel: the engine works on global tables, so
// parallel work is done by processes of this program, started here and reaped here.
#pragma once

#include <sys/types.h>

#include <string>

// Forks a worker that runs work() and exits with its result; the parent gets its pid (-1 when
// fork failed, errno set). Standard output and error are flushed first, so that nothing the parent
// has buffered is printed twice.
pid_t startWorker(int (*work)(void* context), void* context);
// Waits for the worker (through signals) and returns its exit code: its status, or 128 + N when
// signal N ended it.
int reapWorker(pid_t pid);
// Writes all of text to a pipe or file descriptor, through interruptions; false when it failed.
bool writeAllTo(int fd, const std::string& text);
