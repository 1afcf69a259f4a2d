// Token scanner shared by the two instance readers: blank-separated tokens of an open file, whole
// numbers with their bounds, and messages that name the file, the line and the token.
#pragma once

#include <streambuf>

// Starts a scan of text from its beginning (line 1); path names it in every message.
void scanStart(std::streambuf& text, const char* path);
// Forgets the text; nothing is read until the next scanStart.
void scanEnd();

// Prints "Instance file <path>[, line <n>]: <text>" on its own line and returns false. line 0
// leaves the line out, for faults of the project as a whole.
__attribute__((format(printf, 2, 3))) bool reject(int line, const char* format, ...);

// Says what the next number means ("the duration of activity 3"), for the messages of readNumber.
__attribute__((format(printf, 1, 2))) void describe(const char* format, ...);

// Reads the next token. With withinLine, a line end before the token ends the search: the token
// must stand on the line being read. Returns false when no token was found.
bool nextToken(bool withinLine);
// Reads the number described last: a whole token of decimal digits, at most maxValue. withinLine as
// for nextToken. On failure the message says why, with the line and the token.
bool readNumber(bool withinLine, long maxValue, long& value);
// Skips tokens until one equals the keyword as a whole, case-sensitively.
bool skipTo(const char* keyword);
// Reads up to and including the next line feed.
void discardLine();

// The last token as read, cut to 39 characters when longer.
const char* tokenText();
// The last token as it may be shown on a console: control bytes as '?', a cut token with "...".
const char* shownToken();
// Line on which the last token starts.
int tokenLineNo();
// Line of the next unread character.
int scanLineNo();

// No number a table holds comes near this; a longer run of digits is reported, not parsed.
constexpr long numberCeiling = 2147483647L;
