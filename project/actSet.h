// ActSet: a set of activities 1..122 in two 64-bit words, and its word-by-word operations.
// Activity a <= 63 is bit a of word 0, a >= 64 is bit a - 63 of word 1; bit 0 of each word stays clear.
#pragma once

#include <cstdint>

struct ActSet {
    uint64_t w[2];
};

// Word and bit of an activity; computed rather than looked up, since the engine tests sets in its
// inner loop and a shift is cheaper than a load from bitMask (which holds the same masks).
inline int actWord(int a) { return a >= 64; }
inline uint64_t actMask(int a) { return uint64_t{1} << (a >= 64 ? a - 63 : a); }

inline void setClear(ActSet& s) { s.w[0] = 0; s.w[1] = 0; }
inline void setAdd(ActSet& s, int a) { s.w[actWord(a)] |= actMask(a); }
inline void setToggle(ActSet& s, int a) { s.w[actWord(a)] ^= actMask(a); }
inline void setRemove(ActSet& s, int a) { s.w[actWord(a)] &= ~actMask(a); }
inline bool setHas(const ActSet& s, int a) { return (s.w[actWord(a)] & actMask(a)) != 0; }
inline void setUnite(ActSet& s, const ActSet& t) { s.w[0] |= t.w[0]; s.w[1] |= t.w[1]; }
// a is a subset of b: (a OR b) equals b in both words.
inline bool setSubset(const ActSet& a, const ActSet& b)
{
    return ((a.w[0] | b.w[0]) == b.w[0]) & ((a.w[1] | b.w[1]) == b.w[1]);
}
inline bool setEmpty(const ActSet& s) { return (s.w[0] | s.w[1]) == 0; }
inline bool setEqual(const ActSet& a, const ActSet& b) { return a.w[0] == b.w[0] && a.w[1] == b.w[1]; }
