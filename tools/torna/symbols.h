// The symbol table: labels and EQU names with their values and how early they are known.
#pragma once

#include <cstddef>
#include <string>

// One symbol; the flags are the same in every walk, so every walk sizes lines alike.
struct Symbol {
    long long value;    // address or EQU value
    size_t defIndex;    // program line that defines it (the first definition)
    bool isEqu;         // defined by EQU, not as a label
    bool constant;      // EQU of numbers and earlier constant EQUs only
    bool earlyKnown;    // known where it is defined, from earlier lines alone
    bool known;         // its value is known in the current walk
};

// Empties the table.
void clearSymbols();

// The symbol of that name (case counts), or null.
const Symbol* findSymbol(const std::string& name);

// Defines or updates the symbol from line index; gives false if another line defined it already.
bool defineSymbol(const std::string& name, const Symbol& symbol);

// Number of symbols whose value or known flag changed since the last call.
int takeSymbolChanges();
