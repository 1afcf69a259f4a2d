// Output files of the commands: written straight to the system, one call per piece, so that a
// failed write (full disk, file-size limit, I/O error) is seen at once and reported as
// "<path>: <the system's reason>" in error.
#pragma once

#include <string>

struct OutputFile {
    std::string path;                 // the path written to (path.new while a whole file is made)
    std::string finalPath;            // a whole file's own path, empty otherwise
    int fd = -1;
};

// Opens path for writing, emptied (append false) or kept and written at its end.
bool openOutput(OutputFile& file, const std::string& path, bool append, std::string& error);
bool writeOutput(OutputFile& file, const std::string& text, std::string& error);
// Closes the file (nothing to do when it is not open); a failure reported on close counts too.
bool closeOutput(OutputFile& file, std::string& error);

// A whole file: written to path.new and renamed to path when closed, so that path is either
// complete or absent (or its old self). A failure removes path.new.
bool openWhole(OutputFile& file, const std::string& path, std::string& error);
bool closeWhole(OutputFile& file, std::string& error);
// Writes text to path as a whole file.
bool writeWhole(const std::string& path, const std::string& text, std::string& error);
