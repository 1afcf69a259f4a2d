// Shared set-up of the benchmark programs: loading a benchmark instance into the shared state.
// The instance is read through the program's own reader from the PSPLIB folder.
#pragma once

#include <string>

// Reads <stem>.sm (e.g. "j301_1") from the PSPLIB folder; aborts the benchmark program on failure.
void benchLoad(const std::string& stem);
