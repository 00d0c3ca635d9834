// Process-wide state of one run of the stand-in assembler: options, names and counters.
#pragma once

#include <string>
#include <vector>

extern bool optTagFile;       // "-e": write the tag file
extern bool optBanner;        // false after "-.": print no banner
extern bool optPreprocess;    // "-i": write the ".i" file and assemble nothing
extern bool optPreprocessed;  // "-a": the source is already preprocessed
extern bool optListing;       // "-l": write the listing
extern std::vector<std::string> includeDirs;  // "-I<dir>" words in command-line order

extern std::string sourceName;  // the source file name as given on the command line
extern std::string baseName;    // sourceName up to its first '.'

extern int errorCount;  // errors reported so far in this run

// Gives every global its start value (also used by tests between cases).
void initTornaGlobals();

// One error as reported: where, which, and the offending text.
struct ReportedError {
    std::string fileName;  // the source file as it was named (command line or INCLUDE line)
    long lineNo;           // 1-based line of that file
    int code;              // error number, see ErrorCode
    std::string text;      // offending symbol or operand, made safe for the tag line
};

extern std::vector<ReportedError> reportedErrors;  // every error of the run, in report order

// How a program line came to be.
enum LineKind {
    LineSource,     // a line of a source file, assembled as written
    LineGenerated,  // a plain line that a structured statement expands into
    LineEcho,       // a structured directive itself: listed, not assembled
};

// One line of the program, include files inlined and structured statements expanded.
struct ProgramLine {
    int fileIndex;        // into sourceFileNames
    long lineNo;          // 1-based line of that file; a generated line has its directive's
    std::string text;     // the line without its line end
    std::string lineEnd;  // "\n", "\r\n", or empty on a last line without one
    LineKind kind;
};

extern std::vector<std::string> sourceFileNames;  // source files as named, the main file first
extern std::vector<ProgramLine> programLines;     // the whole program in assembly order

extern size_t currentIndex;  // program line being assembled
extern bool finalWalk;       // the walk that reports errors and emits bytes

extern long long locationCounter;  // address of the line being assembled ('*')
extern bool endReached;            // END was met: the walk stops
extern bool originSeen;            // an ORG came before the current line in this walk
