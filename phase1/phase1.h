// Phase 1: randomised construction of activity lists guided by the elite pool, their double
// justification, the 10-run evaluations and the 1000-run estimate of the best list.
#pragma once

#include <cstdint>

#include "project/actSet.h"

// Whole Phase 1 of the current instance; leaves bestList, ph1Makespan, ph1Gap, adds to ph1GapSum.
void runPhase1();
// Double justification with nominal durations; rewrites list[1..actNum] in place. Returns 0.
int justifyList(uint8_t* list);
// Makes the next justification build every part it keeps between calls afresh, as after a change
// of project (for tests that compare a warm justification with a cold one).
void forgetKeptJustifyParts();
// Builds one precedence-feasible list into list[1..actNum].
void constructActList(uint8_t* list);
// Place 1..eligCount of eligList chosen by mode (-1 biased sampling, 0 uniform, s >= 1 elite slot s).
int selectEligAct(const uint8_t* eligList, const ActSet& eligSet, const int& eligCount, int mode);
// Moves eligList[k] to the placed activities and appends its newly eligible successors.
void updateEligSet(uint8_t* eligList, ActSet& eligSet, ActSet& placedSet, int& eligCount, int k);

// Mean makespan of `runs` back-to-back runs of the Phase 1 engine of the pass (resource-based when
// isHV, else activity-based), each drawing from the runs-level sample table; single precision.
float evaluatePhase1List(uint8_t* list, int runs);
// eliteOrder[1..popSize] = the slots by ascending eliteVal; equal values by a fresh draw each time.
void sortEliteOrder();
// Offers candidate number ph1Iter with its value: fills slot ph1Iter while the pool is not full,
// afterwards replaces the worst slot when the candidate is strictly better.
void offerEliteCandidate(const uint8_t* list, float avg);
