// Clean stops of the long commands: SIGTERM and SIGINT (Slurm's time limit, Ctrl-C) are recorded,
// not obeyed at once, so the unit in hand is finished and every result already computed is kept.
#pragma once

#include <csignal>

// The signal that asked for the stop, 0 while none has.
extern volatile std::sig_atomic_t stopSignal;

// Records SIGTERM and SIGINT in stopSignal from now on.
void catchStopSignals();
// Sends SIGTERM and SIGINT to handler instead (a parent passing the stop on to its workers).
void onStopSignals(void (*handler)(int));
