// The symbol table: labels and EQU names with their values and how early they are known.
#include "symbols.h"

#include <map>

namespace {

std::map<std::string, Symbol> symbolTable;  // every symbol defined so far, by name
int symbolChanges;                          // updates that changed a value since the last check

}  // namespace

void clearSymbols()
{
    symbolTable.clear();
    symbolChanges = 0;
}

const Symbol* findSymbol(const std::string& name)
{
    auto found = symbolTable.find(name);
    return found == symbolTable.end() ? nullptr : &found->second;
}

bool defineSymbol(const std::string& name, const Symbol& symbol)
{
    auto found = symbolTable.find(name);
    if (found == symbolTable.end()) {
        symbolTable.emplace(name, symbol);
        ++symbolChanges;
        return true;
    }
    Symbol& old = found->second;
    if (old.defIndex != symbol.defIndex) {
        return false;
    }
    if (old.value != symbol.value || old.known != symbol.known) {
        ++symbolChanges;
    }
    old = symbol;
    return true;
}

int takeSymbolChanges()
{
    int changes = symbolChanges;
    symbolChanges = 0;
    return changes;
}
