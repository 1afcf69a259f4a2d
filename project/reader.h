// Instance reader: loads Instances/<set><group>_<instance>.sm (PSPLIB single-mode format) into the
// project tables and derives the predecessor lists and the transitive successor/predecessor sets.
#pragma once

// Reads the file chosen by datasetType, paramNum and instNum. On any failure prints what is wrong
// and where, waits for a key and returns false; the project tables are then not to be used.
bool readInstance();
