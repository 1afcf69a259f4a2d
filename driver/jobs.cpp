// --jobs N: this program started N times as shard processes on one machine, waited for, and
// their files merged, so the result equals a one-process run (CPU column apart).
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "driver/batch.h"
#include "driver/driver.h"
#include "project/state.h"

static pid_t workers[256];
static int workerNum = 0;

// A stop asked of the whole run reaches every worker, which finishes its instance and keeps its files.
static void forwardSignal(int sig)
{
    for (int w = 0; w < workerNum; ++w)
        if (workers[w] > 0) kill(workers[w], sig);
}

int runJobs(const BatchOptions& o, int argc, char** argv)
{
    // The workers get this run's flags without --jobs, plus their shard; they report no progress.
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--jobs") {
            ++i;
            continue;
        }
        if (arg.compare(0, 7, "--jobs=") == 0 || arg == "--quiet") continue;
        args.push_back(arg);
    }
    args.push_back("--quiet");
    struct sigaction action = {};
    action.sa_handler = forwardSignal;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);

    std::fflush(stdout);
    std::fflush(stderr);
    for (int k = 1; k <= o.jobs; ++k) {
        std::vector<std::string> own = args;
        own.push_back("--shard=" + std::to_string(k) + "/" + std::to_string(o.jobs));
        std::vector<char*> childArgv;
        childArgv.push_back(argv[0]);
        for (std::string& a : own) childArgv.push_back(a.data());
        childArgv.push_back(nullptr);
        pid_t pid = fork();
        if (pid == 0) {
            execv("/proc/self/exe", childArgv.data());
            std::perror("tarvo: cannot start a worker");
            _exit(127);
        }
        if (pid < 0) {
            std::perror("tarvo: cannot start a worker");
            forwardSignal(SIGTERM);
            break;
        }
        workers[workerNum++] = pid;
    }
    int code = exitClean;
    for (int w = 0; w < workerNum; ++w) {
        int status = 0;
        while (waitpid(workers[w], &status, 0) < 0 && errno == EINTR) {
        }
        int workerCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (workerCode != exitClean) {
            std::fprintf(stderr, "tarvo: worker %d of %d ended with exit code %d\n", w + 1, o.jobs, workerCode);
            if (code == exitClean || workerCode > 128) code = workerCode;
        }
        workers[w] = 0;
    }
    if (code != exitClean) return code;

    // Every shard is complete: merge its files per distribution.
    fillLabels();
    std::vector<std::string> files;
    std::string groups = std::to_string(o.firstGroup) + "-" + std::to_string(o.lastGroup);
    for (int d = 1; d <= 5; ++d) {
        if (!o.dist[d]) continue;
        bool hv = o.method == 0 ? d > 2 : o.method == 1;
        RunIdentity id{datasetName[o.dataset], distName[d], hv ? "HV" : "LV", std::to_string(budgetLabel), "", groups, ""};
        for (int k = 1; k <= o.jobs; ++k) files.push_back(resultsBase(o.reports, id, k, o.jobs) + ".csv");
    }
    return mergeResults(files, o.reports);
}
