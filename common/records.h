// Record types shared by the tag reader, the source scan and the rewrite passes.
#pragma once

// Kind of a reported target, from its first two characters.
enum StructKind {
    StructPlain = 0,   // an ordinary branch target
    StructIf = 1,      // ".I..." label of an IF statement
    StructFor = 2,     // ".F..." label of a FOR statement
    StructDo = 3,      // ".D..." label of a DO statement
    StructSwitch = 4,  // ".S..." label of a SWITCH statement
};

// Structured-statement keyword that begins a source line.
enum KeywordCode {
    KeywordNone = 0,
    KeywordIf = 1,
    KeywordElse = 2,
    KeywordSwitch = 3,
    KeywordCase = 4,
    KeywordDefault = 5,
    KeywordFor = 6,
    KeywordNext = 7,
    KeywordDo = 8,
    KeywordWhile = 9,
    KeywordBreak = 10,
    KeywordContinue = 11,
    // Words that only open or close a statement: the scan follows the nesting by
    // them, no error takes them as its keyword.
    KeywordEndSwitch = 12,   // "ENDS"
    KeywordLongSwitch = 13,  // "LSWITCH", "LFOR" and "LDO": long forms of earlier runs
    KeywordLongFor = 14,
    KeywordLongDo = 15,
};

// One reported out-of-range branch: one per distinct line of a file.
struct BranchError {
    long lineNo;        // 1-based line; the scan moves CASE/DEFAULT, WHILE, NEXT to the owner line
    char* target;       // target text as the assembler printed it (owned)
    int structKind;     // StructKind of the target
    int keyword;        // KeywordCode of the line, structured errors only
    int mnemonicCode;   // inverse code of the line's branch word, plain errors only
    int duplicate;      // 1: the previous error of the same sort got the same owner line
    BranchError* next;  // next error of the same file
    int lineFound;      // 1 once the scan found the line; 0 past the end of the file or for lineNo <= 0
};

// One source file named by the tag file, with its errors.
struct SourceFileRecord {
    char* fileName;           // the name exactly as the tag file gave it (owned)
    BranchError* errorHead;   // first error; null while there is none
    BranchError* errorTail;   // last error; null while there is none
    SourceFileRecord* next;   // next file; null at the end
};
