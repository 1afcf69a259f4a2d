// Token scanner shared by the two instance readers: splits the open file into blank-separated tokens,
// counts lines for the messages and reads whole numbers no larger than their tables hold.
//
// Nothing out of range is ever returned: a token that is not a non-negative whole number, or one
// above the bound its caller gives, is reported with the file, the line and the token instead.
#include "project/scanner.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

// The longest keyword has 23 characters; longer tokens are kept cut and never match anything.
constexpr int tokenDim = 40;

static std::streambuf* source;    // the open instance file
static const char* sourcePath;    // its path, for messages
static int lineNo;                // line of the next unread character, from 1
static char token[tokenDim];      // the last token read, NUL-terminated
static bool tokenCut;             // the last token was longer than token[] holds
static int tokenLine;             // line on which the last token starts
static char expected[96];         // what the next number means, for messages

void scanStart(std::streambuf& text, const char* path)
{
    source = &text;
    sourcePath = path;
    lineNo = 1;
    token[0] = '\0';
    tokenCut = false;
    tokenLine = 0;
}

void scanEnd()
{
    source = nullptr;
    sourcePath = nullptr;
}

const char* tokenText() { return token; }
int tokenLineNo() { return tokenLine; }
int scanLineNo() { return lineNo; }

// The blanks of the C locale, so that tabs and the carriage returns of Windows line ends separate
// tokens exactly like spaces.
static bool isBlank(int c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

static int takeChar()
{
    int c = source->sbumpc();
    if (c == '\n') ++lineNo;
    return c;
}

bool reject(int line, const char* format, ...)
{
    std::printf("Instance file %s", sourcePath);
    if (line > 0) std::printf(", line %d", line);
    std::printf(": ");
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::printf("\n");
    return false;
}

const char* shownToken()
{
    static char shown[tokenDim + 4];
    int k = 0;
    for (; token[k] != '\0'; ++k) {
        unsigned char c = static_cast<unsigned char>(token[k]);
        shown[k] = c < 0x20 || c >= 0x7f ? '?' : token[k];
    }
    if (tokenCut) {
        std::memcpy(shown + k, "...", 3);
        k += 3;
    }
    shown[k] = '\0';
    return shown;
}

void describe(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::vsnprintf(expected, sizeof expected, format, args);
    va_end(args);
}

bool nextToken(bool withinLine)
{
    int c = source->sgetc();
    while (c != EOF && isBlank(c)) {
        if (c == '\n' && withinLine) return false;
        takeChar();
        c = source->sgetc();
    }
    if (c == EOF) return false;
    tokenLine = lineNo;
    tokenCut = false;
    int k = 0;
    // The blank behind the token stays unread: "discard the rest of the line" starts right there.
    while (c != EOF && !isBlank(c)) {
        // A NUL byte would end the token early, and "3<NUL>x" would pass for the number 3.
        if (k < tokenDim - 1)
            token[k++] = c == '\0' ? '?' : static_cast<char>(c);
        else
            tokenCut = true;
        takeChar();
        c = source->sgetc();
    }
    token[k] = '\0';
    return true;
}

bool skipTo(const char* keyword)
{
    while (nextToken(false))
        if (!tokenCut && std::strcmp(token, keyword) == 0) return true;
    return reject(0, "the file ends before the keyword \"%s\"", keyword);
}

// At the end of the file there is nothing to drop, and the next number read reports the early end.
void discardLine()
{
    int c;
    do c = takeChar();
    while (c != EOF && c != '\n');
}

bool readNumber(bool withinLine, long maxValue, long& value)
{
    if (!nextToken(withinLine)) {
        if (source->sgetc() == EOF) return reject(lineNo, "the file ends where %s should stand", expected);
        return reject(lineNo, "the row ends where %s should stand", expected);
    }
    const char* digits = token[0] == '-' ? token + 1 : token;
    bool allDigits = digits[0] != '\0';
    for (const char* p = digits; *p != '\0' && allDigits; ++p) allDigits = *p >= '0' && *p <= '9';
    if (!allDigits) return reject(tokenLine, "\"%s\" is not a whole number (%s expected)", shownToken(), expected);
    long v = 0;
    for (const char* p = digits; *p != '\0' && v <= numberCeiling; ++p) v = v * 10 + (*p - '0');
    // A cut token has more digits than any number the tables can hold.
    if (tokenCut) v = numberCeiling + 1;
    if (digits != token && v != 0) return reject(tokenLine, "%s is negative (\"%s\")", expected, shownToken());
    if (v > maxValue) return reject(tokenLine, "%s is %s, above the largest value %ld", expected, shownToken(), maxValue);
    value = v;
    return true;
}
