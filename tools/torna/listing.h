// The listing: address, bytes, line number and source line of every program line.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Forgets every recorded line.
void clearListing();

// Records what the final walk assembled for program line index.
void recordListedLine(size_t index, long long address, const std::vector<unsigned char>& bytes);

// The listing text of every program line, recorded or not.
std::string formatListing();
