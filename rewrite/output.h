// Passing source text through to "tmpbra00", and writing the lines the tool composes.
#pragma once

#include <string>

// Copies source lines to outputStream byte for byte while n is 0 or
// sourceLineNo is below n, counting each in sourceLineNo (a file's first line
// passes through lineBuf, the rest goes in large blocks). True when
// sourceLineNo reached n (also when it already had); false when the source
// ended first (always false for n = 0). Reading a file's first line sets lineEnd.
bool copyThroughLine(long n);

// With "-COMMENT": writes ";" and the line in lineBuf as read, adding lineEnd
// when the line has no line end. Otherwise nothing.
void writeLineAsComment();

// Writes text the tool composed to outputStream; each "\n" in it goes out as
// lineEnd, so composed lines follow the file's own line ends.
void writeGenerated(const std::string& text);
void writeGenerated(const char* text, size_t size);

// Reads the next source line into `line` and counts it in sourceLineNo, also
// when the read meets the end of the file (then false, `line` empty). The first
// line of a file sets lineEnd: "\r\n" when it ends so, "\n" otherwise.
bool readSourceLine(std::string& line);
