// The per-pass list of branch errors by source file.
#pragma once

#include "common/records.h"

// Sentinel head of the list; the real records hang off its `next`.
extern SourceFileRecord fileList;

// Empties fileList (the sentinel's next becomes null) and releases its records.
void releaseFileList();

// Puts the errors of `file` in increasing order of lineNo, keeping the order of
// equal numbers (a stable sort of the linked list).
void sortErrorsByLine(SourceFileRecord* file);
