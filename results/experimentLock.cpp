// Experiment locks with flock: the system drops the lock when its holder ends in any way (even
// SIGKILL), so a lock file left behind never blocks the next run.
#include "results/experimentLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

bool lockExperiment(ExperimentLock& lock, const std::string& base, std::string& error)
{
    const std::string path = base + ".lock";
    // A holder removes the file before it lets go; a lock taken on a file already removed is
    // then no lock at all, so it is taken again on the file the name now gives.
    for (int attempt = 0; attempt < 100; ++attempt) {
        int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0) {
            error = "cannot make the lock file " + path + ": " + std::strerror(errno);
            return false;
        }
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            int reason = errno;
            char holder[32] = {};
            ssize_t n = pread(fd, holder, sizeof holder - 1, 0);
            close(fd);
            std::string pid = n > 0 ? std::string(holder, static_cast<std::size_t>(n)) : "";
            while (!pid.empty() && (pid.back() == '\n' || pid.back() == ' ')) pid.pop_back();
            error = reason == EWOULDBLOCK
                        ? "another tarvo process" + (pid.empty() ? "" : " (pid " + pid + ")") + " is writing the files " +
                              base + ".*: it holds " + path + " (wait for it to end, or stop it)"
                        : "cannot lock " + path + ": " + std::strerror(reason);
            return false;
        }
        struct stat held, named;
        if (fstat(fd, &held) == 0 && stat(path.c_str(), &named) == 0 && held.st_ino == named.st_ino &&
            held.st_dev == named.st_dev) {
            // The pid only helps the message of a second process; the lock holds without it.
            std::string pid = std::to_string(getpid()) + "\n";
            if (ftruncate(fd, 0) != 0 || pwrite(fd, pid.data(), pid.size(), 0) < 0) pid.clear();
            lock.path = path;
            lock.fd = fd;
            return true;
        }
        close(fd);
    }
    error = "cannot lock " + path + ": it keeps being replaced";
    return false;
}

void unlockExperiment(ExperimentLock& lock)
{
    if (lock.fd < 0) return;
    unlink(lock.path.c_str());
    close(lock.fd);
    lock.fd = -1;
}
