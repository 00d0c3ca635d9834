// The long-branch expansion of one reported branch line.
#pragma once

#include <string>

// Writes the held lines prevLineBuf2 and prevLineBuf1 and the expansion of the
// branch line to outputStream: an inverted branch over a JMP for a conditional
// branch (a shared JMP in a chain), a JMP for a BRA. Ends the run on errors 4, 7, 13.
void writeExpansion(const std::string& upperMnemonic, int code, std::string& operand,
                    const std::string& comment, const std::string& prefix, const char* target);
