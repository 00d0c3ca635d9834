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

// The numbered errors, each named once; ErrorMessages holds their texts in this order.
enum ErrorNumber {
    ErrorNone = 0,
    ErrorCannotCreate = 1,
    ErrorNoTempFile = 2,
    ErrorCannotOpen = 3,
    ErrorCantTranslate = 4,
    ErrorCommandTooLong = 5,
    ErrorNotExecuted = 6,
    ErrorIllegalSource = 7,
    ErrorIllegalTagFile = 8,
    ErrorNoInput = 9,
    ErrorNoMemory = 10,
    ErrorBadOption = 11,
    ErrorTwoSources = 12,
    ErrorTooManyBranches = 13,
    ErrorCaseWithoutSwitch = 14,
    ErrorWhileWithoutDo = 15,
    ErrorNextWithoutFor = 16,
    ErrorRedefinedLabel = 17,
    ErrorCannotRemove = 18,
    ErrorOldTextKept = 19,
    ErrorOldTextLeft = 20,
    ErrorFolderNotLockable = 21,
    ErrorFileChanged = 22,
    ErrorCount,  // one past the last error number
};

// The numbered warnings.
enum WarningNumber {
    WarningNone = 0,
    WarningRelativeAddress = 1,
    WarningCount = 3,  // warning 2 is kept empty, as the table has it
};

extern const char* const ErrorMessages[ErrorCount];      // texts of errors 0 to 22
extern const char* const WarningMessages[WarningCount];  // texts of warnings 0 to 2
extern const char* const UsageLines[4];       // usage text pieces, null-terminated

// Prints " Error : ", error n formatted with `argument` (may be null), the usage
// text for error 9, then "\n"; records n in lastError. Flushed at once.
void reportError(ErrorNumber n, const char* argument);

// Writes "kelvad: <cause>" on standard error, the line after a numbered message
// that cannot say why itself; nothing for a null or empty cause.
void reportCause(const char* cause);

// Prints " Warning : ", warning n formatted with `argument`, then "\n".
void reportWarning(WarningNumber n, const char* argument);

// Writes the usage text pieces to standard output.
void printUsage();
