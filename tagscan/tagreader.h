// Reads the assembler's tag file into the branch errors of fileList.
#pragma once

#include <cstddef>

#include "common/records.h"

// Allocates the zero-filled blocks of fileList's records and strings (calloc);
// tests point it at a failing allocator to reach the out-of-memory paths.
extern void* (*allocateListBlock)(size_t count, size_t size);

// Reads tagStream to its end, adds every usable error-18 line to fileList,
// warns about relative-address targets and closes the tag stream. Returns 1 if
// at least one error-18 line without '*' in its target was read, else 0.
int readTagFile();

// Finds or creates the record of `fileName` and appends an error for `lineNo`
// unless the file already has one for that line (the first one wins).
void addBranchError(const char* fileName, long lineNo, const char* text);

// StructKind of a target text, from its first two characters.
int classifyTarget(const char* text);
