// The 64 KiB memory image the final walk fills, and the flat binary made from it.
#pragma once

#include <string>
#include <vector>

// Empties the image and forgets every origin.
void clearImage();

// Notes an address where code may start (an ORG, or 0 for code before any ORG).
void noteOrigin(long long address);

// Stores the bytes from address on; gives false (storing only what fits) past $FFFF.
bool storeBytes(long long address, const std::vector<unsigned char>& bytes);

// Number of bytes stored so far.
long emittedByteCount();

// The flat binary: from the lowest origin up to the last byte stored, gaps as zeros.
std::string binaryImage();
