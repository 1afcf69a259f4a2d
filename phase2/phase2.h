// Phase 2: extra precedence arcs on the best Phase 1 list; greedy removal of a start-to-start
// chain (LV) and the arc-adding genetic algorithm over a ranked candidate network (HV).
#pragma once

#include <cstdint>

#include "project/actSet.h"
#include "project/limits.h"

// ---- Extra arcs in the engine's sets (arcs.cpp) ----
// Adds arcs 1..count of an arc list (triple k at bytes 3k..3k+2) to extraFinPred/extraStartPred.
void applyArcs(const uint8_t* arcList, int count);
// Empties extraFinPred and extraStartPred of activities 1..actNum.
void clearExtraArcs();
// Empties both sets of the "to" activity of arcs 1..count: undoes applyArcs of that list when
// the sets were empty before it, at the cost of one store per arc instead of a whole-table sweep.
void clearArcTargets(const uint8_t* arcList, int count);

// ---- LV ----
// LV Phase 2; returns the number of removals kept.
int greedyArcRemoval();

// ---- Candidate arc network (candidateArcs.cpp) ----
// Candidate arc network of bestList: candNum, candArcs, candGain, candProb, candFound, foundGain.
void buildCandidateArcs();
// Pairs of activities that met in the pair schedule of the last buildCandidateArcs, in order of
// discovery: pair k is (candPairs[2k], candPairs[2k + 1]), k = 1..candPairNum.
extern int32_t candPairNum;
extern uint8_t candPairs[2 * (nt_total_arcs_nr + 1)];
// The two halves of its last step. recordFoundArc counts a found arc in candFound and keeps it
// (with the low 8 bits of its gain in foundGain) while the found list has room; rankCandidates
// turns the kept ones into candArcs, candGain and candProb, best gain first.
void recordFoundArc(int from, int to, int type, int gain);
void rankCandidates();

// ---- HV driver (gaArcAddition.cpp) ----
// Fewest candidate arcs for which the genetic algorithm runs; with fewer, Phase 1's result stands.
constexpr int gaMinCandidates = 22;
// HV Phase 2.
void gaArcAddition();
// Everything of the HV Phase 2 after the candidate network exists: the skip below 22 candidates,
// the population, the generations, the final ranking and the results.
void runArcSearch();
// Last step of a generation: evaluate children, merge them into the population.
void evaluateAndReplace();
// The ranking and merge of evaluateAndReplace, on the fitness values already in eliteVal/offFit.
void mergeChildren();
// The final ranking: 1000-run fitness of every member (9999999 without arcs), eliteOrder sorted.
void rankPopulation();

// ---- Genetic operators and their helpers (gaOperators.cpp) ----
int pickCandidate();
bool acceptArc(const uint8_t* list, int count, const ActSet* closure, int x, int y);
void extendClosure(ActSet* closure, const uint8_t* list, int k);
void buildMember(int m);
void crossover();
void mutate();
// candDrawable[r]: some draw of the random stream makes pickCandidate return r. Rounding of the
// cumulative float sum can hide candidates; the operators give up an arc only when no drawable
// candidate is acceptable, so their retry loops always end.
extern bool candDrawable[maxCand + 1];
// Fills candDrawable for the current candProb[1..candNum]; buildCandidateArcs calls it.
void markDrawableCandidates();

// ---- The policy in force after Phase 2 (policyInForce.cpp) ----
// The extra arcs that hold with bestList once Phase 2 has run, as an arc list (triple k at bytes
// 3k..3k+2; room for arcListDim bytes): for LV the start-to-start chain left by the removal, for
// HV the arcs of the best member (none when the genetic algorithm did not run). Returns their count.
int policyArcsInForce(uint8_t* arcList);
