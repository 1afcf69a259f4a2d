// Running the units of `tarvo evaluate`: in this process with one job, else in worker processes
// that send back each unit's finished text through a pipe, "U <bytes>\n" and the bytes; this
// process alone writes the files.
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "cli/exitCodes.h"
#include "cli/fileChecks.h"
#include "cli/stopSignals.h"
#include "cli/workers.h"
#include "evaluate/evaluation.h"

namespace evaluation {

namespace {

struct Worker {
    pid_t pid = 0;
    int fd = -1;
    std::string buffer;
};

// What a worker process is given: the command, its place among the workers and its pipe.
struct WorkerTask {
    const Evaluation* e;
    int w, jobs;
    int readFd, writeFd;                      // the pipe: the parent's end, the worker's end
    const std::vector<Worker>* workers;
};

// A worker: units w, w + jobs, ... until a stop; each unit's text goes to the pipe whole.
int workUnits(void* context)
{
    const WorkerTask& t = *static_cast<const WorkerTask*>(context);
    const Evaluation& e = *t.e;
    // The read ends of this pipe and the earlier workers' are the parent's alone.
    close(t.readFd);
    for (int v = 0; v < t.w; ++v) close((*t.workers)[v].fd);
    const int total = static_cast<int>(e.units.size());
    for (int i = t.w; i < total && !stopSignal; i += t.jobs) {
        const Unit& u = e.units[i];
        std::string message = runUnit(e.options, e.inputs[u.input], u.record, u.outputs, e.outputs);
        std::string header = "U " + std::to_string(message.size()) + "\n";
        if (!writeAllTo(t.writeFd, header + message)) return exitIncomplete;
    }
    return stopSignal ? exitSignalBase + stopSignal : exitClean;
}

// Takes the whole messages in a worker's buffer, leaving a partial one for later.
void takeMessages(Evaluation& e, Worker& wk, int total)
{
    for (;;) {
        std::size_t eol = wk.buffer.find('\n');
        if (eol == std::string::npos) break;
        std::size_t bytes = std::strtoul(wk.buffer.c_str() + 2, nullptr, 10);
        if (wk.buffer.size() < eol + 1 + bytes) break;
        if (!e.writer.failed) takeMessage(e.writer, wk.buffer.substr(eol + 1, bytes));
        wk.buffer.erase(0, eol + 1 + bytes);
        showProgress(e.options, ++e.done, total, e.start);
    }
}

// The parent's side: reads the pipes until every worker has closed its own, passing a stop (or a
// failed write) on to the workers once.
void collectMessages(Evaluation& e, std::vector<Worker>& workers, int total)
{
    const int jobs = static_cast<int>(workers.size());
    bool forwarded = false;
    int open = jobs;
    static char chunk[1 << 16];
    while (open > 0) {
        if (stopSignal && !forwarded) {
            for (Worker& wk : workers) kill(wk.pid, stopSignal);
            forwarded = true;
        }
        std::vector<pollfd> fds;
        std::vector<int> which;
        for (int w = 0; w < jobs; ++w)
            if (workers[w].fd >= 0) {
                fds.push_back({workers[w].fd, POLLIN, 0});
                which.push_back(w);
            }
        if (poll(fds.data(), fds.size(), -1) < 0) continue;  // a signal: look at it, then wait again
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            Worker& wk = workers[which[i]];
            ssize_t n = read(wk.fd, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                close(wk.fd);
                wk.fd = -1;
                --open;
                continue;
            }
            wk.buffer.append(chunk, static_cast<std::size_t>(n));
            takeMessages(e, wk, total);
        }
        if (e.writer.failed && !forwarded) {
            for (Worker& wk : workers) kill(wk.pid, SIGTERM);
            forwarded = true;
        }
    }
}

}  // namespace

int runUnits(Evaluation& e)
{
    const Options& o = e.options;
    catchStopSignals();
    e.start = ProgressClock::now();
    const int total = static_cast<int>(e.units.size());
    const int jobs = std::min<int>(o.jobs, std::max(total, 1));
    if (jobs <= 1) {
        for (const Unit& u : e.units) {
            if (stopSignal || e.writer.failed) break;
            takeMessage(e.writer, runUnit(o, e.inputs[u.input], u.record, u.outputs, e.outputs));
            showProgress(o, ++e.done, total, e.start);
        }
        return exitClean;
    }
    std::vector<Worker> workers(jobs);
    for (int w = 0; w < jobs; ++w) {
        int fds[2];
        if (pipe(fds) != 0) return failWith(exitIncomplete, "cannot start the workers: " + systemReason());
        WorkerTask task{&e, w, jobs, fds[0], fds[1], &workers};
        pid_t pid = startWorker(workUnits, &task);
        if (pid < 0) return failWith(exitIncomplete, "cannot start the workers: " + systemReason());
        close(fds[1]);
        workers[w].pid = pid;
        workers[w].fd = fds[0];
    }
    collectMessages(e, workers, total);
    for (int w = 0; w < jobs; ++w) {
        int workerCode = reapWorker(workers[w].pid);
        if (workerCode != exitClean && !stopSignal && !e.writer.failed) {
            std::fprintf(stderr, "tarvo evaluate: worker %d of %d ended with exit code %d\n", w + 1, jobs, workerCode);
            e.code = exitIncomplete;
        }
    }
    return exitClean;
}

}  // namespace evaluation
