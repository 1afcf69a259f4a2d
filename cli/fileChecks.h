// Questions the commands ask of the file system before they write: whether a file of theirs is
// already there (a complete pass, a .part to resume).
#pragma once

#include <string>

bool fileExists(const std::string& path);
// The system's reason for the last failed call (strerror of errno), for messages.
std::string systemReason();
