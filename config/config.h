// Build configuration: the six constants that tell the standard program from the extended one.
// TARVO_EXTENDED (set by the build for each program) picks the column; nothing else differs.
#pragma once

#ifndef TARVO_EXTENDED
#define TARVO_EXTENDED 0
#endif

#if TARVO_EXTENDED
// Levels of the middle quantile table, and so the runs of one greedy arc-removal test.
constexpr int midLevels = 170;
// Phase 1 elite pool size; also the number of constructions before elite following starts.
constexpr int elitePoolSize = 20;
// Phase 1 stops once this many candidates beyond the first have been built.
constexpr int ph1LoopLimit = 1000;
// Members of the arc-adding genetic algorithm's population.
constexpr int gaPopSize = 40;
// Generations of the arc-adding genetic algorithm.
constexpr int gaGenerations = 30;
// Simulation budget label written into every report file name.
constexpr int budgetLabel = 25000;
constexpr const char* configName = "extended";
#else
constexpr int midLevels = 34;
constexpr int elitePoolSize = 15;
constexpr int ph1LoopLimit = 200;
constexpr int gaPopSize = 16;
constexpr int gaGenerations = 15;
constexpr int budgetLabel = 5000;
constexpr const char* configName = "standard";
#endif
