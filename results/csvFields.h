// Fields of the comma-separated files (results, evaluations): splitting a line, whole numbers
// checked for range, and decimal numbers written so that reading them back gives the same bits.
#pragma once

#include <string>
#include <vector>

// The fields of one line between its commas ("a,,b" gives three, the middle one empty). No
// quoting: the writers refuse anything that would need it.
std::vector<std::string> splitCsvFields(const std::string& line);
// A whole decimal number (digits only, no sign or space) in [low, high].
bool parseWhole(const std::string& text, long long low, long long high, long long& value);
// A finite decimal number, the whole text of at most 40 characters.
bool finiteNumber(const std::string& text, double& value);
// A decimal number, or NaN for an empty field ("no value"); false for anything else.
bool numberOrEmpty(const std::string& text, double& value);
// value with digits significant digits: 9 give back a float widened to double, 17 a double.
std::string exactDigits(double value, int digits);
// A double that reads back bit for bit (17 digits), NaN as an empty field.
std::string exactNumber(double value);
