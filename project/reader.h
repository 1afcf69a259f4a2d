// Instance reader: loads Instances/<set><group>_<instance>.sm (PSPLIB single-mode format) into the
// project tables and derives the predecessor lists and the transitive successor/predecessor sets.
#pragma once

#include <streambuf>

// Reads the file chosen by datasetType, paramNum and instNum. On any failure prints what is wrong
// and where, waits for a key and returns false; the project tables are then not to be used.
bool readInstance();

// The same read from text already open, e.g. held in memory; path names it in the messages. Fills
// the same tables and fails the same way as readInstance.
bool readInstanceFrom(std::streambuf& text, const char* path);
