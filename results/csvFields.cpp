// CSV fields: one splitter and one set of number readers and writers for every file of ours, so
// that what one command writes the next reads back exactly.
#include "results/csvFields.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

std::vector<std::string> splitCsvFields(const std::string& line)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        std::size_t comma = line.find(',', start);
        fields.push_back(line.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) return fields;
        start = comma + 1;
    }
}

bool parseWhole(const std::string& text, long long low, long long high, long long& value)
{
    if (text.empty() || text.size() > 12 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    value = std::strtoll(text.c_str(), nullptr, 10);
    return value >= low && value <= high;
}

bool finiteNumber(const std::string& text, double& value)
{
    if (text.empty() || text.size() > 40) return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return *end == '\0' && std::isfinite(value);
}

bool numberOrEmpty(const std::string& text, double& value)
{
    if (text.empty()) {
        value = NAN;
        return true;
    }
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return *end == '\0';
}

std::string exactDigits(double value, int digits)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    return text;
}

std::string exactNumber(double value)
{
    if (std::isnan(value)) return "";
    return exactDigits(value, 17);
}
