// Whole-line reads from the slot streams, at any line length, and checked writes.
#pragma once

#include <cstdio>
#include <string>

// Makes `stream` the open stream of `slot`: stores it, sets the open flag and
// records its descriptor for the interrupt handler. The output slot's stream is
// made unbuffered: what is written to it gathers in a large buffer of our own.
void attachStream(int slot, FILE* stream);

// Clears the slot's reader state and descriptor, and drops output not yet
// flushed; called by the close routines.
void detachStream(int slot);

// Hands the output gathered for the output slot to its stream; failures show
// in the stream's error indicator. The close routine calls it before fclose.
void flushOutput();

// Reads the next whole line of the slot's stream into `line`, line end kept
// ("\n" or "\r\n"; the last line of a file may have none). Any byte, NUL
// included, is kept. Returns false, with `line` empty, at the end of the file
// or on a read error (the stream's error indicator tells which).
bool readLine(int slot, std::string& line);

// Reads the next whole line like readLine, without copying it: `data` and `size`
// give its bytes, line end included, valid until the slot is read again.
bool readLineInPlace(int slot, const char*& data, size_t& size);

// Gives the next `count` lines of the slot's stream where the reader holds
// them, without passing over them, when all of them lie whole (line end
// included) in what was read ahead; false otherwise. The lines follow each
// other from `data`; `sizes` gets each one's length. Valid until the slot is
// read again.
bool peekLines(int slot, int count, const char*& data, size_t sizes[]);

// Passes over `size` bytes of what peekLines gave.
void passPeeked(int slot, size_t size);

// Copies up to `count` whole lines (all that are left when count is negative)
// of the slot's stream to `out`, byte for byte, and returns how many it copied;
// a last line without a line end counts as one. With a null `out` the lines
// are only passed over.
long copyLines(int slot, FILE* out, long count);

// Writes `size` bytes to `stream`; failures show in its error indicator. Bytes
// for the output slot's stream are gathered first (see flushOutput).
void writeBytes(FILE* stream, const char* text, size_t size);
inline void writeText(FILE* stream, const std::string& text) { writeBytes(stream, text.data(), text.size()); }
