// The interactive program: the start-up menus, the passes over distributions, groups and
// instances with their report files and console progress, and the key press at the end.
#pragma once

// Without arguments the program is this: the reports folder, the three questions, one pass per
// chosen distribution, the key press. Returns the exit code.
int runInteractive();
// Asks the three start-up questions; returns the number of parameter groups (48 or 60), or 0 when
// standard input ended first (the message has been printed).
int runMenus();
// Runs every chosen pass; returns exitClean or exitIncomplete.
int runExperiment(int groups);
