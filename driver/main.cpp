// Program entry of tarvo: the menus, then one pass per chosen distribution, then a key wait.
#include "driver/driver.h"

int main()
{
    int groups = runMenus();
    return runExperiment(groups);
}
