// Tells which structured-statement keyword, if any, begins a source line.
#pragma once

#include <cstddef>

// KeywordCode of the first word of the line (after a label and its colon), in
// any letter case; 0 when it is none of the keywords. The line is not changed.
int classifyKeyword(const char* line, size_t size);

// As classifyKeyword, but also knows the words that only open or close a
// statement (ENDS, LSWITCH, LFOR, LDO), for the scan that follows the nesting.
int classifyNestingWord(const char* line, size_t size);
