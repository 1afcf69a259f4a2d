// Standard output of the commands: tables and schedules go there, so a write that failed (a full
// disk, /dev/full) must end the command with a message and exit 1, not exit 0 as if delivered.
#pragma once

// Flushes standard output; when it or an earlier write there failed, says so with the system's
// reason on standard error and returns exitIncomplete in place of a clean code.
int outputChecked(int code);
