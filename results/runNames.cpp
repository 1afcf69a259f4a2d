// Run and instance names: the checks that keep a name usable in a file name and a CSV field.
#include "results/runNames.h"

#include "config/labels.h"

bool validRunName(const std::string& name)
{
    if (name.empty() || name.size() > 64 || name[0] == '.' || name[0] == '-') return false;
    for (char c : name)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
              c == '.' || c == '+'))
            return false;
    return labelIndex(name, datasetLabels, datasetCount) == 0;
}

std::string instanceStem(const std::string& dataset, int group, int instance)
{
    return datasetStems[labelIndex(dataset, datasetLabels, datasetCount)] + std::to_string(group) + "_" +
           std::to_string(instance);
}
