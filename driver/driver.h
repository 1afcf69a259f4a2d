// Experiment driver: the start-up menus, the passes over distributions, groups and instances,
// the report files and the console progress.
#pragma once

// Asks the three start-up questions; returns the number of parameter groups (48 or 60).
int runMenus();
// Runs every chosen pass; returns the program's exit code (0 after a clean run).
int runExperiment(int groups);
