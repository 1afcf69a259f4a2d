// STUB: replaced by the execution engines.
#include "engine/engine.h"
float executeActivityBased(uint8_t*, bool, int) { return 0.0f; }
float executeResourceBased(uint8_t*, int) { return 0.0f; }
float executeWithArcs(uint8_t*, bool, int) { return 0.0f; }
