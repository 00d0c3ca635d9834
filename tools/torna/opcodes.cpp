// The R65C02 instruction table: one row per mnemonic and addressing mode.
#include "opcodes.h"

#include <cstring>

namespace {

constexpr size_t MaxMnemonic = 3;  // every mnemonic has three letters

const int ModeSizes[ModeCount] = {1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 2, 2, 2, 3, 2, 3};

}  // namespace

const InstructionRow InsTab[] = {
    {"ADC", ModeImmediate, 0x69}, {"ADC", ModeZp, 0x65}, {"ADC", ModeZpX, 0x75},
    {"ADC", ModeAbs, 0x6D}, {"ADC", ModeAbsX, 0x7D}, {"ADC", ModeAbsY, 0x79},
    {"ADC", ModeIndX, 0x61}, {"ADC", ModeIndY, 0x71}, {"ADC", ModeZpInd, 0x72},
    {"AND", ModeImmediate, 0x29}, {"AND", ModeZp, 0x25}, {"AND", ModeZpX, 0x35},
    {"AND", ModeAbs, 0x2D}, {"AND", ModeAbsX, 0x3D}, {"AND", ModeAbsY, 0x39},
    {"AND", ModeIndX, 0x21}, {"AND", ModeIndY, 0x31}, {"AND", ModeZpInd, 0x32},
    {"ASL", ModeAccum, 0x0A}, {"ASL", ModeZp, 0x06}, {"ASL", ModeZpX, 0x16},
    {"ASL", ModeAbs, 0x0E}, {"ASL", ModeAbsX, 0x1E},
    {"BBC", ModeZpRelative, 0x0F},
    {"BBS", ModeZpRelative, 0x8F},
    {"BCC", ModeRelative, 0x90},
    {"BCS", ModeRelative, 0xB0},
    {"BEQ", ModeRelative, 0xF0},
    {"BIT", ModeImmediate, 0x89}, {"BIT", ModeZp, 0x24}, {"BIT", ModeZpX, 0x34},
    {"BIT", ModeAbs, 0x2C}, {"BIT", ModeAbsX, 0x3C},
    {"BMI", ModeRelative, 0x30},
    {"BNE", ModeRelative, 0xD0},
    {"BPL", ModeRelative, 0x10},
    {"BRA", ModeRelative, 0x80},
    {"BRK", ModeImplied, 0x00},
    {"BVC", ModeRelative, 0x50},
    {"BVS", ModeRelative, 0x70},
    {"CLC", ModeImplied, 0x18},
    {"CLD", ModeImplied, 0xD8},
    {"CLI", ModeImplied, 0x58},
    {"CLV", ModeImplied, 0xB8},
    {"CMP", ModeImmediate, 0xC9}, {"CMP", ModeZp, 0xC5}, {"CMP", ModeZpX, 0xD5},
    {"CMP", ModeAbs, 0xCD}, {"CMP", ModeAbsX, 0xDD}, {"CMP", ModeAbsY, 0xD9},
    {"CMP", ModeIndX, 0xC1}, {"CMP", ModeIndY, 0xD1}, {"CMP", ModeZpInd, 0xD2},
    {"CPX", ModeImmediate, 0xE0}, {"CPX", ModeZp, 0xE4}, {"CPX", ModeAbs, 0xEC},
    {"CPY", ModeImmediate, 0xC0}, {"CPY", ModeZp, 0xC4}, {"CPY", ModeAbs, 0xCC},
    {"DEC", ModeAccum, 0x3A}, {"DEC", ModeZp, 0xC6}, {"DEC", ModeZpX, 0xD6},
    {"DEC", ModeAbs, 0xCE}, {"DEC", ModeAbsX, 0xDE},
    {"DEX", ModeImplied, 0xCA},
    {"DEY", ModeImplied, 0x88},
    {"EOR", ModeImmediate, 0x49}, {"EOR", ModeZp, 0x45}, {"EOR", ModeZpX, 0x55},
    {"EOR", ModeAbs, 0x4D}, {"EOR", ModeAbsX, 0x5D}, {"EOR", ModeAbsY, 0x59},
    {"EOR", ModeIndX, 0x41}, {"EOR", ModeIndY, 0x51}, {"EOR", ModeZpInd, 0x52},
    {"INC", ModeAccum, 0x1A}, {"INC", ModeZp, 0xE6}, {"INC", ModeZpX, 0xF6},
    {"INC", ModeAbs, 0xEE}, {"INC", ModeAbsX, 0xFE},
    {"INX", ModeImplied, 0xE8},
    {"INY", ModeImplied, 0xC8},
    {"JMP", ModeAbs, 0x4C}, {"JMP", ModeInd, 0x6C}, {"JMP", ModeAbsIndX, 0x7C},
    {"JSR", ModeAbs, 0x20},
    {"LDA", ModeImmediate, 0xA9}, {"LDA", ModeZp, 0xA5}, {"LDA", ModeZpX, 0xB5},
    {"LDA", ModeAbs, 0xAD}, {"LDA", ModeAbsX, 0xBD}, {"LDA", ModeAbsY, 0xB9},
    {"LDA", ModeIndX, 0xA1}, {"LDA", ModeIndY, 0xB1}, {"LDA", ModeZpInd, 0xB2},
    {"LDX", ModeImmediate, 0xA2}, {"LDX", ModeZp, 0xA6}, {"LDX", ModeZpY, 0xB6},
    {"LDX", ModeAbs, 0xAE}, {"LDX", ModeAbsY, 0xBE},
    {"LDY", ModeImmediate, 0xA0}, {"LDY", ModeZp, 0xA4}, {"LDY", ModeZpX, 0xB4},
    {"LDY", ModeAbs, 0xAC}, {"LDY", ModeAbsX, 0xBC},
    {"LSR", ModeAccum, 0x4A}, {"LSR", ModeZp, 0x46}, {"LSR", ModeZpX, 0x56},
    {"LSR", ModeAbs, 0x4E}, {"LSR", ModeAbsX, 0x5E},
    {"NOP", ModeImplied, 0xEA},
    {"ORA", ModeImmediate, 0x09}, {"ORA", ModeZp, 0x05}, {"ORA", ModeZpX, 0x15},
    {"ORA", ModeAbs, 0x0D}, {"ORA", ModeAbsX, 0x1D}, {"ORA", ModeAbsY, 0x19},
    {"ORA", ModeIndX, 0x01}, {"ORA", ModeIndY, 0x11}, {"ORA", ModeZpInd, 0x12},
    {"PHA", ModeImplied, 0x48},
    {"PHP", ModeImplied, 0x08},
    {"PHX", ModeImplied, 0xDA},
    {"PHY", ModeImplied, 0x5A},
    {"PLA", ModeImplied, 0x68},
    {"PLP", ModeImplied, 0x28},
    {"PLX", ModeImplied, 0xFA},
    {"PLY", ModeImplied, 0x7A},
    {"ROL", ModeAccum, 0x2A}, {"ROL", ModeZp, 0x26}, {"ROL", ModeZpX, 0x36},
    {"ROL", ModeAbs, 0x2E}, {"ROL", ModeAbsX, 0x3E},
    {"ROR", ModeAccum, 0x6A}, {"ROR", ModeZp, 0x66}, {"ROR", ModeZpX, 0x76},
    {"ROR", ModeAbs, 0x6E}, {"ROR", ModeAbsX, 0x7E},
    {"RTI", ModeImplied, 0x40},
    {"RTS", ModeImplied, 0x60},
    {"SBC", ModeImmediate, 0xE9}, {"SBC", ModeZp, 0xE5}, {"SBC", ModeZpX, 0xF5},
    {"SBC", ModeAbs, 0xED}, {"SBC", ModeAbsX, 0xFD}, {"SBC", ModeAbsY, 0xF9},
    {"SBC", ModeIndX, 0xE1}, {"SBC", ModeIndY, 0xF1}, {"SBC", ModeZpInd, 0xF2},
    {"SEC", ModeImplied, 0x38},
    {"SED", ModeImplied, 0xF8},
    {"SEI", ModeImplied, 0x78},
    {"STA", ModeZp, 0x85}, {"STA", ModeZpX, 0x95}, {"STA", ModeAbs, 0x8D},
    {"STA", ModeAbsX, 0x9D}, {"STA", ModeAbsY, 0x99}, {"STA", ModeIndX, 0x81},
    {"STA", ModeIndY, 0x91}, {"STA", ModeZpInd, 0x92},
    {"STX", ModeZp, 0x86}, {"STX", ModeZpY, 0x96}, {"STX", ModeAbs, 0x8E},
    {"STY", ModeZp, 0x84}, {"STY", ModeZpX, 0x94}, {"STY", ModeAbs, 0x8C},
    {"STZ", ModeZp, 0x64}, {"STZ", ModeZpX, 0x74}, {"STZ", ModeAbs, 0x9C},
    {"STZ", ModeAbsX, 0x9E},
    {"TAX", ModeImplied, 0xAA},
    {"TAY", ModeImplied, 0xA8},
    {"TRB", ModeZp, 0x14}, {"TRB", ModeAbs, 0x1C},
    {"TSB", ModeZp, 0x04}, {"TSB", ModeAbs, 0x0C},
    {"TSX", ModeImplied, 0xBA},
    {"TXA", ModeImplied, 0x8A},
    {"TXS", ModeImplied, 0x9A},
    {"TYA", ModeImplied, 0x98},
};
const size_t InsTabSize = sizeof InsTab / sizeof InsTab[0];

// The 151 opcodes of the 6502, 27 CMOS ones, and one row each for BBS and BBC.
static_assert(sizeof InsTab / sizeof InsTab[0] == 180, "InsTab lost or gained a row");

int modeSize(AddrMode mode)
{
    return ModeSizes[mode];
}

void findInstruction(const std::string& upperName, size_t& first, size_t& last)
{
    first = last = 0;
    if (upperName.size() != MaxMnemonic) {
        return;
    }
    size_t low = 0;
    size_t high = InsTabSize;
    while (low < high) {
        size_t mid = (low + high) / 2;
        if (std::strcmp(InsTab[mid].name, upperName.c_str()) < 0) {
            low = mid + 1;
        } else {
            high = mid;
        }
    }
    last = low;
    while (last < InsTabSize && upperName == InsTab[last].name) {
        ++last;
    }
    first = low;
}

const InstructionRow* findMode(size_t first, size_t last, AddrMode mode)
{
    for (size_t i = first; i < last; ++i) {
        if (InsTab[i].mode == mode) {
            return &InsTab[i];
        }
    }
    return nullptr;
}
