// STUB: replaced by Phase 1.
#include "phase1/phase1.h"
void runPhase1() {}
int justifyList(uint8_t*) { return 0; }
void constructActList(uint8_t*) {}
int selectEligAct(const uint8_t*, const ActSet&, const int&, int) { return 1; }
void updateEligSet(uint8_t*, ActSet&, ActSet&, int&, int) {}
