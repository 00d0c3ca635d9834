// The banner and the version line.
#pragma once

// The version of the tool, shown by the banner, the version line and the trace file.
extern const char* const VersionText;  // "V.1.00.00"

// Writes the banner (name and version, the two maker lines, an empty line) to
// standard output and flushes it.
void printBanner();

// Writes " Branch Optimizer for Pelorin Family V.1.00.00" and "\n" to standard
// output and flushes it.
void printVersion();
