// Whole-line reads from the slot streams, at any line length, and checked writes.
#pragma once

#include <cstdio>
#include <string>

// Makes `stream` the open stream of `slot`: stores it, sets the open flag,
// records its descriptor for the interrupt handler and gives it a large buffer.
void attachStream(int slot, FILE* stream);

// Clears the slot's reader state and descriptor; called by the close routines.
void detachStream(int slot);

// Reads the next whole line of the slot's stream into `line`, line end kept
// ("\n" or "\r\n"; the last line of a file may have none). Any byte, NUL
// included, is kept. Returns false, with `line` empty, at the end of the file
// or on a read error (the stream's error indicator tells which).
bool readLine(int slot, std::string& line);

// Reads the next whole line like readLine, without copying it: `data` and `size`
// give its bytes, line end included, valid until the slot is read again.
bool readLineInPlace(int slot, const char*& data, size_t& size);

// Copies up to `count` whole lines (all that are left when count is negative)
// of the slot's stream to `out`, byte for byte, and returns how many it copied;
// a last line without a line end counts as one. With a null `out` the lines
// are only passed over.
long copyLines(int slot, FILE* out, long count);

// Writes `size` bytes to `stream`; failures show in its error indicator.
void writeBytes(FILE* stream, const char* text, size_t size);
inline void writeText(FILE* stream, const std::string& text) { writeBytes(stream, text.data(), text.size()); }
