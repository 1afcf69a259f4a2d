// One writer per experiment: an advisory lock on "<base>.lock" beside the files of a pass or an
// evaluation, held while they are written and released by the system when its holder ends.
#pragma once

#include <string>
#include <vector>

struct ExperimentLock {
    std::string path;
    int fd = -1;
};

// Takes the lock of the files named by base; false, with a message naming the lock file and the
// process that holds it, when another process writes them (never waits) or the lock file cannot
// be made.
bool lockExperiment(ExperimentLock& lock, const std::string& base, std::string& error);
// Gives the lock back and removes its file; nothing to do when it is not held.
void unlockExperiment(ExperimentLock& lock);

// Locks held until the end of a command, given back whichever way it returns.
struct ExperimentLocks {
    std::vector<ExperimentLock> held;
    ExperimentLocks() = default;
    ExperimentLocks(const ExperimentLocks&) = delete;
    ExperimentLocks& operator=(const ExperimentLocks&) = delete;
    ~ExperimentLocks()
    {
        for (ExperimentLock& lock : held) unlockExperiment(lock);
    }
};
