// Shared set-up of the benchmark programs: loading a benchmark instance into the shared state.
// The instance is read through the program's own reader from the PSPLIB folder.
#pragma once

#include <cstdint>
#include <string>

// Reads <stem>.sm (e.g. "j301_1") from the PSPLIB folder; aborts the benchmark program on failure.
void benchLoad(const std::string& stem);

// A fixed precedence-feasible list of the loaded instance (places 1..actNum): ascending latest
// finish, ties by activity number, among the released activities (needs computeCpmTimes), and
// every extra arc set emptied.
void benchFixedList(uint8_t* list);
