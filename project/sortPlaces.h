// The program's sort of slots and activities: a stable merge sort over a byte table of numbers.
// It never relies on the comparison being consistent (the elite and population orders decide ties
// by a fresh random draw per comparison), always terminates, and makes the same comparisons for the
// same answers on every platform, which keeps the random stream, and so every result, reproducible.
#pragma once

#include <cstdint>

// Largest number of places any caller sorts (an activity list or a population).
constexpr int maxSortPlaces = 128;

// Sorts items[first..last] in place. before(a, b) answers whether item a must stand before item b;
// when it answers false the right-hand item is taken first, so equal items given "true" keep their
// order. Work space is a fixed array on the stack: nothing is allocated.
template <typename Before>
void sortPlaces(uint8_t* items, int first, int last, Before before)
{
    int n = last - first + 1;
    if (n < 2) return;
    uint8_t buffer[maxSortPlaces];
    uint8_t* src = items + first;
    // Bottom-up: runs of width 1, 2, 4, ... merged from src into buffer and back.
    uint8_t* from = src;
    uint8_t* to = buffer;
    for (int width = 1; width < n; width *= 2) {
        for (int lo = 0; lo < n; lo += 2 * width) {
            int mid = lo + width < n ? lo + width : n;
            int hi = lo + 2 * width < n ? lo + 2 * width : n;
            int i = lo, j = mid, k = lo;
            while (i < mid && j < hi) to[k++] = before(from[i], from[j]) ? from[i++] : from[j++];
            while (i < mid) to[k++] = from[i++];
            while (j < hi) to[k++] = from[j++];
        }
        uint8_t* swap = from;
        from = to;
        to = swap;
    }
    if (from != src)
        for (int k = 0; k < n; ++k) src[k] = from[k];
}
