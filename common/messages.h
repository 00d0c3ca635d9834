// Numbered error and warning messages, the usage text and the exit statuses.
#pragma once

// Exit statuses of the tool (besides the assembler's own failing status).
enum ExitStatus {
    ExitOk = 0,
    ExitSource = 1,      // tag file, source and rewrite problems
    ExitCommandLine = 2, // command-line problems
    ExitResource = 3,    // stream and memory problems
    ExitInterrupt = 4,   // console interrupt
    ExitNoAssembler = 127, // "torna" could not be started
};

extern const char* const ErrorMessages[20];   // texts of errors 0 to 19
extern const char* const WarningMessages[3];  // texts of warnings 0 to 2
extern const char* const UsageLines[4];       // usage text pieces, null-terminated

// Prints " Error : ", error n formatted with `argument` (may be null), the usage
// text for error 9, then "\n"; records n in lastError. Flushed at once.
void reportError(int n, const char* argument);

// Prints " Warning : ", warning n formatted with `argument`, then "\n".
void reportWarning(int n, const char* argument);

// Writes the usage text pieces to standard output.
void printUsage();
