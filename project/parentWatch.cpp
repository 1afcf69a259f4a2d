// The Linux parent-death signal for worker processes, with the check for a parent already gone.
#include "project/parentWatch.h"

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

void endWithParent(pid_t parent)
{
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    // The parent may have died between fork and prctl: the worker then has a new parent already
    // and would never get the signal.
    if (getppid() != parent) _exit(128 + SIGTERM);
}
