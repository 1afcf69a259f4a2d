// Instance readers: load a project file, in the PSPLIB single-mode layout (.sm) or the Patterson
// layout of RCPLIB (.rcp), into the project tables and derive the predecessor lists and the
// transitive successor/predecessor sets. Both readers fill the same tables and check the same things.
//
// Which layout a file has is decided by its content first: a file whose first token is a whole
// number is a Patterson file; one whose first token begins with '*', or which holds one of the
// PSPLIB section words "PRECEDENCE", "REQUESTS/DURATIONS:", "RESOURCEAVAILABILITIES:" or
// "RESOURCES" as a whole token, is a PSPLIB file, whatever its name. Only when the content says
// neither (an empty file, garbage) does the extension decide: ".sm" PSPLIB, ".rcp" Patterson, in
// any letter case. Otherwise the file is refused as of unknown layout.
#pragma once

#include <streambuf>

// Reads the file chosen by datasetType, paramNum and instNum, or projectFile when that is not
// empty. On any failure prints what is wrong and where, waits for a key and returns false; the
// project tables are then not to be used.
bool readInstance();

// The path of instance inst of parameter group group of the set datasetType, in instanceFolder
// (J120 for any type but 1..3). The text stays valid until the next call.
const char* instancePath(int group, int inst);

// The PSPLIB read from text already open, e.g. held in memory; path names it in the messages. Fills
// the same tables and fails the same way as readInstance.
bool readInstanceFrom(std::streambuf& text, const char* path);

// The Patterson read from text already open: the counts n (all activities, both dummies included)
// and K, the K capacities, then per activity 1..n its duration, K requirements, successor count and
// successors. Line ends may fall anywhere between tokens. Fails like readInstanceFrom.
bool readPattersonFrom(std::streambuf& text, const char* path);

// Opens the file at path, decides its layout by the rule above and reads it with the reader of
// that layout. Fails like readInstance, also when the file cannot be opened (with the system's
// reason) or its layout cannot be recognised.
bool readProjectFile(const char* path);
