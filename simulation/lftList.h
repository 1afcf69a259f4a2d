// The latest-finish-time priority list, the reference policy of the comparisons ("LFT-RB" when
// run under the resource-based rule): a plain priority rule every method should beat.
#pragma once

#include <cstdint>

// Into list[1..actNum] (list[0] = 0): repeatedly the activity with the smallest lateFinish among
// those whose predecessors are all placed, ties to the smaller number. Needs the loaded project's
// critical-path times (computeCpmTimes).
void lftList(uint8_t* list);
