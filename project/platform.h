// The few services tarvo needs from the machine: the key wait, the reports folder, the timestamp,
// process CPU time and the program's one pseudo-random stream.
#pragma once

#include <cstdint>
#include <string>

#include "project/limits.h"

// Waits for one key press when the waits are on. On a terminal the key is read without echo;
// otherwise one byte of standard input is consumed; at end of input it returns at once, so no run
// can hang here. Standard output is flushed either way, so a message before a wait is shown at
// the same moment whether it waits or not.
void waitKey();
// The waits are off unless the interactive program turns them on: only it has somebody to press
// a key.
void setKeyWaits(bool on);

// Creates the folder (one level); an existing folder is not an error. Returns false on failure.
bool makeDirectory(const char* path);

// Local date and time as "%Y.%m.%d-%H.%M.%S", taken when called.
std::string makeTimestamp();

// CPU seconds used by the process so far.
double cpuSeconds();

// The one pseudo-random stream of the program: integers 0..randMax from the linear congruential
// generator given as example in the ISO C standard (state 1 at start, never reseeded by the
// interactive program). Every random decision of the search draws from here, in a fixed order.
// next = next * 1103515245 + 12345; draw = (next / 65536) % 32768. Only the low 31 bits of the
// state reach the draw, so 32-bit arithmetic gives the same stream as the standard's long. Inline,
// because the duration draw in the engine's inner loop calls it once per simulated activity.
extern uint32_t randState;
inline int nextRand()
{
    randState = randState * 1103515245u + 12345u;
    return static_cast<int>((randState / 65536u) % 32768u);
}
// The stream's state, for tests and for runs that must restart an instance's stream.
inline uint32_t getRandState() { return randState; }
inline void setRandState(uint32_t state) { randState = state; }

// A draw as the fraction rand / 32767 in single precision, the way most decisions use it.
inline float randFraction() { return static_cast<float>(nextRand()) / static_cast<float>(randMax); }
