// `tarvo evaluate`: the policies of batch runs' JSON Lines files simulated afresh on independent
// scenarios, one results file per input file and evaluation distribution, and a console summary.
#pragma once

// The command, argv[0] being the word evaluate; returns the exit code (0 done, 1 incomplete, 2 bad
// flags or input, 128 + N signal N).
int runEvaluate(int argc, char** argv);
