// The banner and the version line.
#include "driver/banner.h"

#include <cstdio>

const char* const VersionText = "V.1.00.00";

void printBanner() {
    printf("Branch Optimizer for Pelorin Family %s\n", VersionText);
    fputs("Written by the kelvad developers.\n", stdout);
    fputs("Free to use, copy and change; no warranty.\n\n", stdout);
    fflush(stdout);
}

void printVersion() {
    printf(" Branch Optimizer for Pelorin Family %s\n", VersionText);
    fflush(stdout);
}
