// Cuts an assembler source line into label prefix, mnemonic, operand and comment.
#pragma once

#include <string>

// The comment of every line the tool composes.
extern const char* const GeneratedComment;  // ";This is the line which kelvad generated\n"

// Splits `line` (with its line end, "\n" or "\r\n", or none): the leading blanks
// and a label with its colon and following blanks into `prefix`, the first word
// after them into mnemonicBuf (letters as written), the text up to the comment
// into `operand` (leading blanks removed, trailing ones kept, never a line end)
// and the comment with a "\n" line end into `comment` (GeneratedComment when the
// line has none or only ";"). Writes the trace checkpoint 983 when tracing.
void splitSourceLine(std::string& prefix, std::string& operand, std::string& comment,
                     const std::string& line);
