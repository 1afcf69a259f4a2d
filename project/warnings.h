// Capacity warnings of the search (a fixed table too small for the instance at hand): printed on the
// console at once by the interactive program, as it always has been; in batch mode counted per
// instance and written once each, with the count, to standard error, so that a project that fills
// a table thousands of times gives one line instead of thousands.
#pragma once

// Prints text (a complete message, as the interactive program writes it) or, while warnings are
// counted, counts it. Allocates nothing.
void capacityWarning(const char* text);
// Batch mode counts the warnings instead of printing them.
void setWarningsCounted(bool on);
// Writes each warning counted since the last call once to standard error, naming the instance
// and the count, and forgets them.
void reportCountedWarnings(const char* instance);
