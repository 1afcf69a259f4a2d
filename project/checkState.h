// The invariant walker: cross-table checks of the shared state between instances, for tests and
// debug builds. It reports the first broken invariant and returns false; it never changes a table.
#pragma once

#include <cstdint>

// Checks the project tables (lists, counts, transitive sets), the resource availabilities against
// capacities (1..resNum, as read), bestList, the sample cursors and, after an HV Phase 2, that no
// extra arc is left in force. capacities may be null to skip the availability check.
bool checkState(const uint8_t* capacities);
