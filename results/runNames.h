// Names of runs and instances as they stand in file names and results files: a file run's
// name, and the stem j<set><group>_<instance> of a PSPLIB instance.
#pragma once

#include <string>

// The most files one run takes.
constexpr int maxRunFiles = 100000;

// A run name that can stand in file names and results files: 1..64 letters, digits, '_', '-', '.'
// or '+', not starting with '.' or '-', and not the name of a PSPLIB set.
bool validRunName(const std::string& name);
// Instance file stem of a data set label, group and instance: J30, 17, 3 give j3017_3.
std::string instanceStem(const std::string& dataset, int group, int instance);
