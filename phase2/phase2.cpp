// STUB: replaced by Phase 2.
#include "phase2/phase2.h"
void applyArcs(const uint8_t*, int) {}
int greedyArcRemoval() { return 0; }
void buildCandidateArcs() {}
void gaArcAddition() {}
void evaluateAndReplace() {}
int pickCandidate() { return 1; }
bool acceptArc(const uint8_t*, int, const ActSet*, int, int) { return false; }
void extendClosure(ActSet*, const uint8_t*, int) {}
void buildMember(int) {}
void crossover() {}
void mutate() {}
