// LaTeX escaping of table cells: the ten characters LaTeX gives a meaning, written as text.
#include "results/latexText.h"

std::string latexText(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': case '%': case '$': case '#': case '_': case '{': case '}': out += std::string("\\") + c; break;
        case '~': out += "\\textasciitilde{}"; break;
        case '^': out += "\\textasciicircum{}"; break;
        case '\\': out += "\\textbackslash{}"; break;
        default: out += c;
        }
    }
    return out;
}
