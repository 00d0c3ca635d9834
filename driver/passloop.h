// The pass loop: assemble, read the tag file, scan, rewrite, and again.
#pragma once

// Runs the assembler once with argvFirst, then pass after pass with argvPass
// until nothing is left to repair, the tag file is missing or passCount is used up.
void runPasses();

// Runs `program` with `argv` and returns its exit status; 127 after error 6
// when it cannot be started.
int runAssembler(const char* program, const char* const* argv);
