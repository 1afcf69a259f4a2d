// Output folders of the commands: a reports folder is made with every missing parent, as
// `mkdir -p` does, and a failure says which folder and the system's reason.
#pragma once

#include <string>

// Creates path and its missing parents; an existing folder is no error. false with error
// "cannot create the folder <path>: <reason>" (a file in the way: "Not a directory" or "File exists").
bool makeFolders(const std::string& path, std::string& error);
