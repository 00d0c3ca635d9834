// The R65C02 instruction table: one row per mnemonic and addressing mode.
#pragma once

#include <cstddef>
#include <string>

// Addressing modes, as the operand's syntax and value select them.
enum AddrMode {
    ModeImplied,      // no operand
    ModeAccum,        // A, or no operand for the shifts, INC and DEC
    ModeImmediate,    // #expr
    ModeZp,           // zp
    ModeZpX,          // zp,X
    ModeZpY,          // zp,Y
    ModeAbs,          // abs
    ModeAbsX,         // abs,X
    ModeAbsY,         // abs,Y
    ModeInd,          // (abs)
    ModeIndX,         // (zp,X)
    ModeIndY,         // (zp),Y
    ModeZpInd,        // (zp)
    ModeAbsIndX,      // (abs,X)
    ModeRelative,     // target of a branch
    ModeZpRelative,   // bit,zp,target of BBS and BBC
    ModeCount
};

// One encoding: mnemonic, mode and opcode. BBS and BBC give the opcode of bit 0.
struct InstructionRow {
    const char* name;
    AddrMode mode;
    unsigned char opcode;
};

extern const InstructionRow InsTab[];  // sorted by name, then by mode
extern const size_t InsTabSize;        // rows of InsTab

// Bytes an instruction takes in the mode, opcode included.
int modeSize(AddrMode mode);

// Range [first, last) of InsTab rows for the upper-case mnemonic; first == last if unknown.
void findInstruction(const std::string& upperName, size_t& first, size_t& last);

// The row of the mnemonic range [first, last) with that mode, or null.
const InstructionRow* findMode(size_t first, size_t last, AddrMode mode);
