// Process-wide state of one run: names, line buffers, options, streams, counters.
#pragma once

#include <csignal>
#include <cstdio>
#include <string>

// Stream slots; the open flags and streams below are indexed by them.
enum StreamSlot { TagSlot = 0, SourceSlot = 1, OutputSlot = 2, SlotCount = 3 };

constexpr int FirstVectorSize = 128;  // entries of argvFirst, the null entry included
constexpr int PassVectorSize = 256;   // entries of argvPass, the null entry included

extern std::string srcName;       // file name word, cut to the base name by checkSourceName
extern std::string origName;      // the file name word exactly as typed
extern std::string workName;      // base name + ".qsm", or + ".i" in ASM mode
extern std::string lineBuf;       // line just read from a source (line end kept)
extern std::string prevLineBuf2;  // held line two before the branch line, or empty
extern std::string prevLineBuf1;  // held line just before the branch line, or empty
extern std::string mnemonicBuf;   // word of the last split line, as written
extern std::string lineEnd;       // line end of the file being rewritten: "\n" or "\r\n"

extern const char* argvFirst[FirstVectorSize];  // arguments of the first assembler run
extern const char* argvPass[PassVectorSize];    // arguments of every pass run

extern int bannerOn;     // 0 once a word beginning "-." is read
extern int optComment;   // "-COMMENT": echo each rewritten line as a comment
extern int optAsm;       // "-ASM": work on the preprocessed ".i" source
extern int optNoLoop;    // "+noloop": one pass only
extern int optNoDelete;  // "+nodelete": keep "tmpbra00" after a fatal error
extern int optShrink;    // "+shrink": put back the lines earlier runs wrote before the first run
extern int passCount;    // passes still allowed, 1 to 100 at the start

extern FILE* streams[SlotCount];     // tag file, source being read, "tmpbra00"
extern int openFlags[SlotCount];     // 1 exactly while the slot's stream is open
extern int streamErrors[SlotCount];  // error indicator of the slot's stream at its last close
extern FILE*& tagStream;
extern FILE*& sourceStream;
extern FILE*& outputStream;
extern int& tagOpen;
extern int& sourceOpen;
extern int& outputOpen;

extern FILE* traceStream;  // "kelvad.ifo"
extern int traceOn;        // 1 while the trace file is open

// Descriptors of the open streams (slots, then the trace file), or -1: all the
// interrupt handler may touch.
extern volatile std::sig_atomic_t openDescriptors[SlotCount + 1];

extern int lastError;     // number of the last error message printed
extern long sourceLineNo; // lines read so far from the file being rewritten
extern int labelNo;       // number of the last generated "..lop%d" label
extern int chainNext;     // 1: this branch shares the jump of the next line
extern int chainPrev;     // 1: this branch continues a chain

extern const char* const JumpChainWords[3];  // "BRA", "JMP", null: what jumpChain points at
extern const char* const* jumpChain;  // "BRA", "JMP", null: the lengthening of unconditional branches

// Gives every global its start value (also used by tests between cases).
void initGlobals();
