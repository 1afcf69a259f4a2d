// The steps both instance readers share around their own parsing: starting the tables, storing arcs,
// closing the transitive sets, and the checks every accepted project passes.
#pragma once

// Fills bitMask (its entries are the single bits 0..63).
void fillBitMask();
// Clears the counts of rows 0..n and the sets of rows 1..n; rows above n keep their values.
void clearProjectRows(int n);

// Reads the successor count of activity i and that many successors of a project of actNum
// activities, storing each arc i -> j as it comes. Refused with the line: a count no list could
// hold, a successor outside 1..actNum or equal to i, an arc that would overflow a predecessor list.
// withinLine: the numbers continue a row and must stand on its line.
bool readSuccessors(int i, bool withinLine);
// Reads the duration of activity i and its requirements for resources 1..resNum, each refused above
// what its table holds. withinLine as above.
bool readDurationAndRequirements(int i, bool withinLine);

// Closes succSet and predSet transitively over the stored arcs.
void closeSets();
// Acyclic, activity 1 the only one without predecessors, activity actNum the only one without
// successors.
bool checkNetwork();
// No activity needs more of a resource than there is.
bool checkRequirements();
// Some duration is above 0, and the durations add up to no more than maxDurSum.
bool checkDurations();
