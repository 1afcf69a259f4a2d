// What an evaluation may write: its files checked against the experiment they hold before any
// work, and the samples file kept apart from every input and output.
#pragma once

#include <string>
#include <vector>

#include "results/experimentIdentity.h"
#include "results/evalCsv.h"

// The identity an evaluation row states.
EvalIdentity evalIdentityOf(const EvalRow& row);
// Every row of the file at path holds the experiment want; false with both identities in error.
bool rowsOfExperiment(const std::vector<EvalRow>& rows, const EvalIdentity& want, const std::string& path,
                      std::string& error);
// Whether two paths name one file: the same file when both exist, else the same absolute path.
bool sameFile(const std::string& a, const std::string& b);

// The state of a --samples file before any work.
enum class SamplesState {
    fresh,        // to be written by this command (from its .part with --resume)
    complete,     // complete already, for this very evaluation: nothing to write
};
// Checks the samples path: not a folder, not one of taken (inputs, their results files, the
// evaluation files and their .part), not a complete file without --resume, and with --resume a
// complete file only when this evaluation made it final (its .part still beside it, or every
// evaluation file complete). anyComplete and allComplete tell about the evaluation files; a
// complete evaluation file without its samples is refused, since the samples would lack it.
bool checkSamples(const std::string& samples, const std::vector<std::string>& taken, bool resume, bool anyComplete,
                  bool allComplete, SamplesState& state, std::string& error);
