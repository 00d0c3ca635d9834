// Encodes instruction lines: picks the addressing mode and writes the R65C02 bytes.
#pragma once

#include <string>
#include <vector>

// Encodes the instruction upperName (rows [first, last) of InsTab) with its operand at pc.
// Gives its size, which is the same in every walk; fills bytes; reports errors through
// lineError (only the final walk prints them).
int encodeInstruction(size_t first, size_t last, const std::string& operand, long long pc,
                      std::vector<unsigned char>& bytes);
