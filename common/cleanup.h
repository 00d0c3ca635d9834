// The one way out of a run: closing streams, removing "tmpbra00", the exit request.
#pragma once

// Thrown by fatalExit (and by "-V") to end the run; main turns it into the
// process status, so tests can catch every failure path in-process.
struct ExitRequest {
    int status;
};

// The temporary file every rewrite writes through.
extern const char* const TempFileName;

// Removes the "tmpbra00" this run wrote, and nothing another program has put under
// the name since: set by the module that writes it, which knows the file.
extern void (*removeTemporaryFile)();

// Closes the open slot streams, removes "tmpbra00" (through removeTemporaryFile)
// if its stream was open and "+nodelete" is off, then throws ExitRequest{status}.
// Never returns.
[[noreturn]] void fatalExit(int status);

// Closes every open stream (tag, source, output, trace) and clears its flag.
void closeAll();

// Closes the slot's stream if it is open and clears its flag; the stream's error
// indicator at the close stays in streamErrors[slot].
void closeStream(int slot);

// Error 10 and the clean-up of every fatal error, for memory that ran out
// anywhere in the run; throws ExitRequest{ExitResource}. Never returns.
[[noreturn]] void fatalOutOfMemory();
