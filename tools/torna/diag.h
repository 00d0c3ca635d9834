// Numbered messages of the stand-in: per-line errors on the console and fatal errors.
#pragma once

#include <string>

#include "globals.h"

// Error numbers of per-line errors; the tag file prints them with two digits.
enum ErrorCode {
    ErrUnknownMnemonic = 1,
    ErrBadOperand = 2,
    ErrUndefinedSymbol = 3,
    ErrDuplicateLabel = 4,
    ErrIncludeNotFound = 5,
    ErrUnmatched = 6,
    ErrStructInPreprocessed = 7,
    ErrValueRange = 8,
    ErrForwardReference = 9,
    ErrAddressingMode = 10,
    ErrIncludeDepth = 11,
    ErrBranchRange = 18,
};

// Fatal errors: the run ends with status 2.
enum FatalCode {
    FatalUnknownOption = 1,
    FatalNoSource = 2,
    FatalTwoSources = 3,
    FatalCannotOpen = 4,
    FatalCannotWrite = 5,
};

constexpr int StatusOk = 0;      // no errors
constexpr int StatusErrors = 1;  // errors were reported
constexpr int StatusFatal = 2;   // bad option, source not found, output not written

// Message text of a per-line error number; empty for an unknown number.
std::string errorMessage(int code);

// The offending text made fit for the tag line: no '"', no ':', no control bytes.
std::string safeErrorText(const std::string& text);

// The console line of an error: `file(line): Ennn: message "text"` and a newline.
std::string formatConsoleLine(const ReportedError& error);

// Prints an error, records it in reportedErrors and counts it.
void reportError(const std::string& fileName, long lineNo, int code, const std::string& text);

// Prints a fatal error with its argument and gives StatusFatal.
int reportFatal(int code, const std::string& text);

// Reports an error on the program line being assembled, in the final walk only.
void lineError(int code, const std::string& text);
