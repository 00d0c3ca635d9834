// TEMPORARY: replaced by the driver's author.
#include "driver/startup.h"
int runKelvad(int, char**) { return 0; }
