// Reads the stand-in's command line into the option globals.
#pragma once

// Sets the option globals, sourceName and baseName from the words; gives StatusOk,
// or StatusFatal after printing why (unknown option, no or two source files).
int parseOptions(int argc, const char* const* argv);
