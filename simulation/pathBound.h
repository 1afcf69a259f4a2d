// The longest path of a scenario: the makespan with the scenario's durations and no resource
// limits, a lower bound of every policy's makespan in that scenario.
#pragma once

#include <cstdint>

#include "project/state.h"

// The activities of the loaded project in an order where each follows all its predecessors
// (made once per instance, so a scenario's pass is one sweep).
struct PathOrder {
    int n = 0;
    uint8_t order[actDim] = {};
};

// The order of the loaded project (actNum, predList); the project's precedences are acyclic.
void makePathOrder(PathOrder& path);
// Length of the longest path with durations[1..n]: each finish the largest finish of its
// predecessors plus its duration, summed in float as the engine sums them. A start never comes
// before its predecessors' finishes in the engine either, and float addition is monotone, so no
// policy's makespan on the same durations lies below it, to the last bit.
float longestPath(const PathOrder& path, const float* durations);
