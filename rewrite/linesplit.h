// Cuts an assembler source line into label prefix, mnemonic, operand and comment.
#pragma once

#include <string>

// The comment of every line the tool composes.
extern const char* const GeneratedComment;  // ";This is the line which kelvad generated\n"

// Splits `line` (with its line end, "\n" or "\r\n", or none; the carriage return
// belongs to the line end). Blanks are space and tab; a word ends at a blank, a
// ';' or the line end. `prefix` gets the leading blanks, and when the first word
// holds a colon, that label and the blanks after it. The next word goes into
// mnemonicBuf as written (whole, at any length; empty when there is none). The
// text after it up to the first ';' or the line end goes into `operand`, leading
// blanks removed, trailing ones kept. `comment` gets the text from that ';' with
// a "\n" line end (none when the line has none), or GeneratedComment when the
// line has no comment or only a bare ";". Writes the trace checkpoint 983 when
// tracing. The line is not changed; it must not be one of the parts.
void splitSourceLine(std::string& prefix, std::string& operand, std::string& comment,
                     const std::string& line);

// Only the mnemonic of that split, into mnemonicBuf, with the same trace line:
// for the scan, which looks at nothing else of a reported line.
void splitMnemonic(const std::string& line);

// The same on the `size` bytes at `line`, where the reader holds them.
void splitMnemonic(const char* line, size_t size);

// The same split with the word put into `word`: no trace line, mnemonicBuf
// untouched. For looking into lines that are not the one being rewritten.
void splitLineParts(std::string& prefix, std::string& word, std::string& operand,
                    std::string& comment, const std::string& line);
