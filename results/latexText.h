// Text for a LaTeX table cell, shared by the commands that write booktabs tables: a run may be
// called my_run, and a bare _ (or &, %, #, ...) does not compile.
#pragma once

#include <string>

std::string latexText(const std::string& text);
