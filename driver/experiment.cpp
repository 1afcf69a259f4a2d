// STUB: replaced by the driver.
#include "driver/driver.h"
int runMenus() { return 0; }
int runExperiment(int) { return 0; }
