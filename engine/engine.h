// Policy execution: one simulated run of an activity list under the activity-based, the
// resource-based or the arc-aware resource-based policy; each returns the makespan finishTime[actNum].
#pragma once

#include <cstdint>

// Makespan reported for a run that cannot finish (nothing running and nothing able to start: a
// requirement above capacity, a list against precedence, extra arcs in a cycle). Such a run prints a
// message, leaves resCap as it was, writes stuckMakespan into finishTime[actNum] and returns it.
constexpr float stuckMakespan = 9999999.0f;

// Every engine: list[1..actNum] holds each activity once (list[0] is set to 0); a drawn run takes
// one rndGen(a, poolSize) per activity, in start order; startTime, finishTime and simTime keep the
// schedule of the last run, and resCap holds the capacities again at return.

// Activities start strictly in list order. stochastic false: nominal durations (poolSize ignored).
float executeActivityBased(uint8_t* list, bool stochastic, int poolSize);
// Every eligible activity that fits starts, tried in list order; durations always drawn.
float executeResourceBased(uint8_t* list, int poolSize);
// As executeResourceBased, also obeying extraFinPred and extraStartPred.
float executeWithArcs(uint8_t* list, bool stochastic, int poolSize);

// The same three policies with the duration of activity a given as durations[a], a = 1..actNum
// (an evaluation scenario, or the nominal durations as floats); no draw is made.
float executeActivityBasedGiven(uint8_t* list, const float* durations);
float executeResourceBasedGiven(uint8_t* list, const float* durations);
float executeWithArcsGiven(uint8_t* list, const float* durations);
