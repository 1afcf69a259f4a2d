// The progress line of the long commands on standard error: rewritten in place on a terminal,
// one plain line per step otherwise (a log file of a cluster job), with the time still to go.
#pragma once

#include <chrono>
#include <string>

using ProgressClock = std::chrono::steady_clock;

// Whether standard error is a terminal (the line is then rewritten with a carriage return).
bool progressOnTerminal();
// The time left when done of total units took the time since start, as h:mm:ss.
std::string etaText(ProgressClock::time_point start, int done, int total);
// Ends a rewritten progress line on a terminal, so the next message starts on a line of its own.
void endProgressLine();
