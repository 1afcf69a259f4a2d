// Worker processes: fork, wait and the interrupted-write loop that both the workers' pipes and
// the output files need.
#include "cli/workers.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "cli/exitCodes.h"

pid_t startWorker(int (*work)(void* context), void* context)
{
    std::fflush(stdout);
    std::fflush(stderr);
    pid_t pid = fork();
    // _exit: the worker must not run the parent's exit handlers or flush its copies of the streams.
    if (pid == 0) _exit(work(context));
    return pid;
}

int reapWorker(pid_t pid)
{
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : exitSignalBase + WTERMSIG(status);
}

bool writeAllTo(int fd, const std::string& text)
{
    std::size_t at = 0;
    while (at < text.size()) {
        ssize_t n = write(fd, text.data() + at, text.size() - at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        at += static_cast<std::size_t>(n);
    }
    return true;
}
