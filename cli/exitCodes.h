// Exit codes of every command and of the interactive program: what a script or a Slurm job can
// tell from the status alone.
#pragma once

constexpr int exitClean = 0;       // every chosen pass ran to its end
constexpr int exitIncomplete = 1;  // a pass was cut short (failed read) or its report could not be written
constexpr int exitUsage = 2;       // flags or values that cannot be used, input files that are not ours
constexpr int exitNoAnswer = 3;    // standard input ended before the three questions were answered
// A command stopped by signal N ends with 128 + N, as a shell reports a process killed by it.
constexpr int exitSignalBase = 128;
