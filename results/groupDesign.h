// The design values of the PSPLIB parameter groups (network complexity, resource factor, resource
// strength), and the measured network complexity and resource factor of the loaded project.
#pragma once

// The sets were generated on a grid walked with NC slowest and RS fastest: J30, J60 and J90 have
// 3 NC x 4 RF x 4 RS = 48 groups, J120 has 3 x 4 x 5 = 60. The order was found from the files:
// every file's measured NC and RF lie nearest to the levels this table gives its group.
constexpr int ncLevelNum = 3;
constexpr int rfLevelNum = 4;
extern const double ncLevels[ncLevelNum];     // 1.5, 1.8, 2.1
extern const double rfLevels[rfLevelNum];     // 0.25, 0.5, 0.75, 1.0

// Groups of a data set (1 J30, 2 J60, 3 J90, 4 J120): 48 or 60; 0 for any other.
int groupNumOf(int dataset);
// RS levels of a data set: 4 (0.2, 0.5, 0.7, 1.0) or 5 for J120 (0.1 .. 0.5); 0 for any other.
int rsLevelNumOf(int dataset);
// RS level r (0-based) of a data set.
double rsLevel(int dataset, int r);

// The design values of group 1..groupNumOf(dataset); false (nothing set) for a set or group
// outside the grid.
bool groupDesign(int dataset, int group, double& nc, double& rf, double& rs);

// Measured on the loaded project: non-redundant arcs per activity, dummies included (an arc a->b
// is redundant when b is reachable from a by another path).
double networkComplexity();
// The share of (real activity, resource) pairs with a positive requirement; 0 without resources.
double resourceFactor();
