// Clean stops: the handler only records the signal; the commands look at stopSignal between
// units of work, where stopping loses nothing.
#include "cli/stopSignals.h"

#include <signal.h>

volatile std::sig_atomic_t stopSignal = 0;

static void recordStopSignal(int sig) { stopSignal = sig; }

void onStopSignals(void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

void catchStopSignals() { onStopSignals(recordStopSignal); }
