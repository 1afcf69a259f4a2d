// Input files of every command: what a path names, checked before anything is read from it, and
// its whole text read once, so that a folder, a device or a pipe is refused instead of crashing or hanging.
#pragma once

#include <string>

// What may stand at an input path. A regular file always; a pipe only where a command takes
// it as a stream given on its command line (tarvo summarize <(cat x.csv), ... | summarize
// /dev/stdin): it is read once, to its end, into memory. Paths the program finds by itself
// (.part files, the results file beside a policy file, instance files, the files named inside
// policy records) must be regular files: a pipe there could block a run for ever, a device such
// as /dev/zero never end.
enum class InputKind { regularOnly, regularOrStream };

// Why path cannot be read as an input of that kind: the system's reason ("No such file or
// directory") or what stands there ("a folder, not a file"); empty when it can.
std::string inputFault(const std::string& path, InputKind kind);
// The same as a check: false with error "<path>: <reason>".
bool checkInputFile(const std::string& path, InputKind kind, std::string& error);

// The whole text of the input at path, after the same check made on the opened file (so a path
// that changes between check and open is still refused); false with error as above, or with the
// system's reason when a read fails.
bool readInputFile(const std::string& path, InputKind kind, std::string& text, std::string& error);

// A complete file's last line counts even without its line feed (a file edited by hand, or
// written by another tool); only a .part file's last line without one is a write cut short by a
// stop, to be done again. Adds the missing line feed to text for a complete file at path.
void completeLastLine(const std::string& path, std::string& text);
