// --jobs N: this program started N times as shard processes on one machine, waited for, and
// their files merged, so the result equals a one-process run (CPU column apart).
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "batch/batch.h"
#include "cli/stopSignals.h"
#include "cli/workers.h"
#include "solve/solve.h"

static pid_t workers[256];
static int workerNum = 0;

// A stop asked of the whole run reaches every worker, which finishes its instance and keeps its files.
static void forwardSignal(int sig)
{
    for (int w = 0; w < workerNum; ++w)
        if (workers[w] > 0) kill(workers[w], sig);
}

// A worker is this program again, started with its shard's flags.
static int execWorker(void* context)
{
    std::vector<char*>& childArgv = *static_cast<std::vector<char*>*>(context);
    execv("/proc/self/exe", childArgv.data());
    std::perror("tarvo: cannot start a worker");
    return 127;
}

int runJobs(const BatchOptions& o)
{
    // The workers get this run's flags as their own shard, and report no progress.
    BatchOptions worker = o;
    worker.jobs = 1;
    worker.quiet = true;
    worker.shardCount = o.jobs;
    onStopSignals(forwardSignal);

    std::fflush(stdout);
    std::fflush(stderr);
    for (int k = 1; k <= o.jobs; ++k) {
        worker.shard = k;
        std::vector<std::string> own = batchFlags(worker);
        std::vector<char*> childArgv;
        childArgv.push_back(const_cast<char*>("tarvo"));
        childArgv.push_back(const_cast<char*>("run"));
        for (std::string& a : own) childArgv.push_back(a.data());
        childArgv.push_back(nullptr);
        pid_t pid = startWorker(execWorker, &childArgv);
        if (pid < 0) {
            std::perror("tarvo: cannot start a worker");
            forwardSignal(SIGTERM);
            break;
        }
        workers[workerNum++] = pid;
    }
    int code = exitClean;
    for (int w = 0; w < workerNum; ++w) {
        int workerCode = reapWorker(workers[w]);
        if (workerCode != exitClean) {
            std::fprintf(stderr, "tarvo: worker %d of %d ended with exit code %d\n", w + 1, o.jobs, workerCode);
            if (code == exitClean || workerCode > 128) code = workerCode;
        }
        workers[w] = 0;
    }
    if (code != exitClean) return code;

    // Every shard is complete: merge its files per seed (a merge takes one run at a time).
    fillLabels();
    for (uint64_t seed = o.firstSeed; seed <= o.lastSeed; ++seed) {
        std::vector<std::string> files;
        for (int d = 1; d <= 5; ++d) {
            if (!o.dist[d]) continue;
            RunIdentity id = passIdentity(o, d, static_cast<uint32_t>(seed));
            for (int k = 1; k <= o.jobs; ++k) files.push_back(resultsBase(o.reports, id, k, o.jobs) + ".csv");
        }
        int merged = mergeResults(files, o.reports);
        if (merged != exitClean) code = merged;
    }
    return code;
}
