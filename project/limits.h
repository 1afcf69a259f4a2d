// Capacities of the fixed-size shared tables, each with the reason it has that value.
// Every table of the shared state is sized from here; the static_asserts tie dependent bounds together.
#pragma once

#include <cstdint>

#include "config/config.h"

// Activities per project, dummy start and end included. Activity numbers are bytes and an ActSet
// holds 63 + 59 activities in its two words (bit 0 of each word unused), so 122 is the ceiling.
constexpr int maxAct = 122;
// Renewable resources per project (PSPLIB single-mode files have four).
constexpr int maxRes = 4;
// Largest requirement or capacity: both are held in bytes.
constexpr int maxAmount = 255;
// Largest nominal duration: durations are held in 16 bits.
constexpr int maxDur = 65535;
// Last integer time unit of the justification's resource profile. PSPLIB durations are at most
// 10 and projects at most 122 activities, so nominal makespans stay far below it.
constexpr int max_time = 1200;
// Arc places of one genetic-algorithm member or child.
constexpr int arcPop_max_arc_nr = 140;
// A list at or above this count warns that arcPop_max_arc_nr is close to being exhausted.
constexpr int arcWarnCount = 135;
// Candidate arcs kept after ranking.
constexpr int maxCand = 3000;
// Capacity of the pair list and of the found-arc list of the candidate network.
constexpr int nt_total_arcs_nr = 5000;
// Room in the population tables: the extended population of 40 with its children, with margin.
constexpr int maxPop = 80;
// Slots of the Phase 1 elite pool (the larger configuration's pool size).
constexpr int maxElite = 20;
// Fitness of an arc list without arcs: never simulated, always ranked last.
constexpr float emptyFitness = 9999999.0f;
// Largest value a draw of the program's random stream can take.
constexpr int randMax = 32767;

// The readers refuse a project whose durations add up to more than max_time: no schedule with
// nominal durations can then end beyond the justification's profile (the activity-based schedule
// starts each activity by the time all earlier ones of its list have finished).
constexpr int maxDurSum = max_time;
static_assert(maxAct <= 63 + 59, "an ActSet holds activities 1..122 only");
static_assert(maxAct <= 255, "activity numbers are stored in bytes");
static_assert(elitePoolSize <= maxElite, "the elite pool has maxElite slots");
static_assert(gaPopSize <= maxPop, "the population tables have maxPop places");
static_assert(2 * 10 <= maxPop, "crossover fills 2 x gaPairNum children");
static_assert(arcPop_max_arc_nr <= 255, "arc counts are stored in bytes");
static_assert(arcWarnCount < arcPop_max_arc_nr, "the warning must come before the list is full");
static_assert(maxCand <= nt_total_arcs_nr, "candidates are cut from the found list");
