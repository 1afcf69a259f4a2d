// The steps both instance readers share around their own parsing: starting the tables, storing arcs,
// closing the transitive sets, and the checks every accepted project passes.
#pragma once

// Fills bitMask (its entries are the single bits 0..63).
void fillBitMask();
// Clears the counts of rows 0..n and the sets of rows 1..n; rows above n keep their values.
void clearProjectRows(int n);

// The successor count of activity i, just read as the last token: refused when no list could hold it.
bool checkSuccessorCount(int i, long count);
// Stores the arc i -> j, j just read as the last token of a project of n activities: refused with
// the line when j is outside 1..n, is i itself, or would overflow j's predecessor list.
bool storeArc(int i, long j, int n);

// Closes succSet and predSet transitively over the stored arcs.
void closeSets();
// Acyclic, activity 1 the only one without predecessors, activity actNum the only one without
// successors.
bool checkNetwork();
// No activity needs more of a resource than there is.
bool checkRequirements();
// Some duration is above 0, and the durations add up to no more than maxDurSum.
bool checkDurations();
