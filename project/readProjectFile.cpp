// Reading a project file the user names: opens it, tells the PSPLIB layout from the Patterson one
// by the content (the extension only breaks a tie) and hands it to the reader of that layout.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "project/inputFile.h"
#include "project/platform.h"
#include "project/reader.h"
#include "project/readerSteps.h"
#include "project/scanner.h"

enum Layout { unknownLayout, psplibLayout, pattersonLayout };

// Words that begin lines of a PSPLIB file and never stand in a Patterson file.
static bool isPsplibWord(const char* t)
{
    static const char* const words[] = {"PRECEDENCE", "REQUESTS/DURATIONS:", "RESOURCEAVAILABILITIES:", "RESOURCES"};
    for (const char* w : words)
        if (std::strcmp(t, w) == 0) return true;
    return false;
}

// A Patterson file begins with its activity count; a PSPLIB file with a line of stars, or at least
// holds its section words. Anything else says nothing.
static Layout layoutByContent()
{
    if (!nextToken(false)) return unknownLayout;
    const char* t = tokenText();
    if (t[0] == '*') return psplibLayout;
    bool digits = true;
    for (const char* p = t; *p != '\0' && digits; ++p) digits = *p >= '0' && *p <= '9';
    if (digits) return pattersonLayout;
    do
        if (isPsplibWord(tokenText())) return psplibLayout;
    while (nextToken(false));
    return unknownLayout;
}

static bool endsWith(const char* path, const char* ext)
{
    std::size_t n = std::strlen(path), e = std::strlen(ext);
    return n >= e && strcasecmp(path + n - e, ext) == 0;
}

static Layout layoutByName(const char* path)
{
    if (endsWith(path, ".sm")) return psplibLayout;
    if (endsWith(path, ".rcp")) return pattersonLayout;
    return unknownLayout;
}

static bool refuseUnopened(const char* path, const std::string& why)
{
    fillBitMask();
    std::printf("Instance file %s cannot be opened: %s\n", path, why.c_str());
    waitKey();
    return false;
}

bool readProjectFile(const char* path)
{
    // A folder would crash the read, a pipe or a device (a record naming /dev/zero) block it or
    // never end: only a regular file is read.
    std::string fault = inputFault(path, InputKind::regularOnly);
    if (!fault.empty()) return refuseUnopened(path, fault);
    errno = 0;
    std::ifstream file(path, std::ios::in | std::ios::binary);
    if (!file.is_open()) return refuseUnopened(path, errno != 0 ? std::strerror(errno) : "reason unknown");
    std::streambuf& text = *file.rdbuf();

    scanStart(text, path);
    Layout layout = layoutByContent();
    if (layout == unknownLayout) layout = layoutByName(path);
    bool rewound = text.pubseekpos(0, std::ios::in) == std::streampos(0);
    if (layout == unknownLayout || !rewound) {
        fillBitMask();
        if (!rewound)
            reject(0, "cannot be read again from its start after its layout was looked at");
        else
            reject(0, "the layout cannot be recognised: a PSPLIB file has lines of * and words such as PRECEDENCE, "
                      "a Patterson file begins with a whole number (the extension .sm or .rcp decides an unclear file)");
        scanEnd();
        waitKey();
        return false;
    }
    scanEnd();
    return layout == psplibLayout ? readInstanceFrom(text, path) : readPattersonFrom(text, path);
}
