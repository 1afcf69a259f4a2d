// Phase 2: extra precedence arcs on the best Phase 1 list; greedy removal of a start-to-start
// chain (LV) and the arc-adding genetic algorithm over a ranked candidate network (HV).
#pragma once

#include <cstdint>

#include "project/actSet.h"

// Adds arcs 1..count of an arc list (triple k at bytes 3k..3k+2) to extraFinPred/extraStartPred.
void applyArcs(const uint8_t* arcList, int count);
// LV Phase 2; returns the number of removals kept.
int greedyArcRemoval();

// Candidate arc network of bestList: candNum, candArcs, candGain, candProb, candFound, foundGain.
void buildCandidateArcs();

// HV Phase 2.
void gaArcAddition();
// Last step of a generation: evaluate children, merge them into the population.
void evaluateAndReplace();

// Genetic operators and their helpers.
int pickCandidate();
bool acceptArc(const uint8_t* list, int count, const ActSet* closure, int x, int y);
void extendClosure(ActSet* closure, const uint8_t* list, int k);
void buildMember(int m);
void crossover();
void mutate();
