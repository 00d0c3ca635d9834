// Writes an output file in one piece, checking every step.
#pragma once

#include <string>

// Creates or empties the file and writes the bytes; false if any write or the close fails.
bool writeWholeFile(const std::string& path, const std::string& bytes);
