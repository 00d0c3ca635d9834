// What the fuzz targets share: a quiet standard output, a scratch directory and whole-file I/O.
#pragma once

#include <string>
#include <vector>

// Sends standard output (the tool's messages) to /dev/null, so runs stay fast.
void quietStandardOutput();

// Makes a fresh scratch directory (under $KELVAD_FUZZ_SCRATCH, else /dev/shm
// when it exists) the current directory; it is removed at a normal exit, which
// libFuzzer does not always take: run.sh removes what is left.
void enterScratchDirectory();

// The bytes of the file `name`; empty when it cannot be read.
std::string readWholeFile(const std::string& name);

// Writes `text` to the file `name` byte for byte; aborts when that fails.
void writeWholeFile(const std::string& name, const std::string& text);

// The lines of `text`, each with its "\n" (the last one may have none).
std::vector<std::string> splitLines(const std::string& text);

// Stops the fuzzer with `what` on standard error: an invariant was broken.
[[noreturn]] void failInvariant(const std::string& what);
