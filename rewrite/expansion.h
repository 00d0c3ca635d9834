// The long-branch expansion of one reported branch line.
#pragma once

#include <string>

// Writes to outputStream the held lines prevLineBuf2 and prevLineBuf1 and the
// replacement of the branch line, reading chainNext, chainPrev and optComment.
// `upperMnemonic` is the upper-case word of the line, `code` its inverse code,
// `operand`, `comment` and `prefix` come from splitSourceLine, `target` from the
// branch error. Codes 1 to 10: the inverted branch to a new "..lop" label over a
// JMP to the target (a bit-test operand is cut at its last comma, the text after
// it being the target); in a chain the lines before the last only branch to the
// label in front of the shared JMP. Code 11: BRA becomes JMP; before a BRA to a
// "." label, held "*+n" skips are grown (prevLineBuf1) or redirected to a label
// after the JMP (prevLineBuf2, when prevLineBuf1 holds "BCC"), and the held
// buffers may be left shortened. Every written line ends with lineEnd.
// Ends the run with status 1, before writing anything for the line: error 7 for
// a code of 0 or above 11 or a bit-test operand without a comma, error 4 for
// JMP, error 13 when a label number would pass 65535.
void writeExpansion(const std::string& upperMnemonic, int code, std::string& operand,
                    const std::string& comment, const std::string& prefix, const char* target);
