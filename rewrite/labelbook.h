// The generated labels this run has written, and which of them stand within reach of their branches.
#pragma once

// Notes that this run took `number` for a label it writes right behind the jump
// that its branch skips (or behind the chain that shares it).
void noteLabelTaken(int number);

// Notes one more line of the chain whose shared label is `number`: a line that
// stands between the chain's first branch and that label.
void noteChainLine(int number);

// True when this run wrote label `number` and every branch it wrote to it stands
// so close that no assembler can find it out of reach.
bool isNearOwnLabel(int number);

// Forgets every label noted so far (a new run, or a test).
void forgetOwnLabels();

// Notes that the label numbering of this run went on from a "..lopN:" line of
// `fileName` whose number reached 65535, so error 13 can say where it came from.
void noteLabelLimitFile(const char* fileName);

// The file noted by noteLabelLimitFile, or null when the limit was reached otherwise.
const char* labelLimitFile();
