// The command line: its length limit, the option words, the source name and the assembler's vectors.
#pragma once

// Refuses a command line whose words (word 0 included) add up to 256 characters
// or more: banner, error 5, fatalExit(2).
void checkCommandLength(int argc, char** argv);

// Reads the command line into the option globals, srcName, origName, workName,
// jumpChain, argvFirst and argvPass; may open the trace file. Every command-line
// error ends the run through fatalExit; "-V" ends it with ExitRequest{0}.
void parseArgs(int argc, char** argv);

// Checks that srcName ends in ".QSM" (any letter case) after its first "." and
// cuts it to the base name; keeps the whole word in origName. Error 3 and
// fatalExit(2) otherwise.
void checkSourceName();

// 1 if `text` holds any character outside "0" to "9", else 0 (0 for "").
int notAllDigits(const char* text);
