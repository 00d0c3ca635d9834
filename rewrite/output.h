// Passing source text through to "tmpbra00", and writing the lines the tool composes.
#pragma once

#include <string>

// Copies source lines to outputStream unchanged while n is 0 or sourceLineNo is
// below n. True when sourceLineNo reached n; false when the source ended first
// (always false for n = 0).
bool copyThroughLine(long n);

// With "-COMMENT": writes ";" and the line in lineBuf (its line end, or the
// file's line end when it has none). Otherwise nothing.
void writeLineAsComment();

// Writes text the tool composed; each "\n" in it goes out as the file's line end.
void writeGenerated(const std::string& text);

// Reads the next source line into `line` and counts it in sourceLineNo; the
// first line of a file decides lineEnd. False at the end of the file.
bool readSourceLine(std::string& line);
