// Worker processes that end with the process that started them: a parent killed outright (SIGKILL,
// the out-of-memory killer) must not leave its workers computing for hours into files nobody merges.
#pragma once

#include <sys/types.h>

// Called in a new worker right after fork: asks the system to send it SIGTERM when its parent
// ends (the worker then stops as on any SIGTERM: the instance in hand finished, its files kept
// valid), and ends at once if parent has already ended before the request was made.
void endWithParent(pid_t parent);
