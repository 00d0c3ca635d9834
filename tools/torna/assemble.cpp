// Assembles the program lines: sizing walks until every value settles, then the final walk.
#include "assemble.h"

#include <vector>

#include "diag.h"
#include "directives.h"
#include "encoder.h"
#include "expr.h"
#include "globals.h"
#include "image.h"
#include "lineparse.h"
#include "listing.h"
#include "opcodes.h"
#include "symbols.h"
#include "text.h"

namespace {

// Each walk resolves one more level of EQUs that refer forward; chains are short in practice.
constexpr int MaxSettleWalks = 16;

void defineLabel(const std::string& name, long long value)
{
    if (!isSymbolName(name)) {
        lineError(ErrBadOperand, name);
        return;
    }
    if (!defineSymbol(name, Symbol{value, currentIndex, false, false, true, true})) {
        lineError(ErrDuplicateLabel, name);
    }
}

void defineEqu(const ParsedLine& parsed)
{
    if (!isSymbolName(parsed.label)) {
        lineError(ErrBadOperand, parsed.label.empty() ? parsed.word : parsed.label);
        return;
    }
    ExprValue value = evaluateExpression(parsed.operand, locationCounter, currentIndex);
    if (!value.ok) {
        lineError(ErrBadOperand, parsed.operand);
    } else if (!value.known) {
        lineError(ErrUndefinedSymbol, value.undefinedName);
    }
    bool known = value.ok && value.known;
    Symbol symbol{value.value, currentIndex, true, known && value.constant, known && value.early, known};
    if (!defineSymbol(parsed.label, symbol)) {
        lineError(ErrDuplicateLabel, parsed.label);
    }
}

void assembleWord(const std::string& upper, const ParsedLine& parsed, std::vector<unsigned char>& bytes)
{
    if (assembleDirective(upper, parsed.operand, bytes)) {
        return;
    }
    size_t first = 0;
    size_t last = 0;
    findInstruction(upper, first, last);
    if (first == last) {
        lineError(ErrUnknownMnemonic, parsed.word);
        return;
    }
    encodeInstruction(first, last, parsed.operand, locationCounter, bytes);
}

void storeLine(long long address, const std::vector<unsigned char>& bytes, const std::string& word)
{
    if (!bytes.empty() && !originSeen) {
        noteOrigin(0);
    }
    if (!storeBytes(address, bytes)) {
        lineError(ErrValueRange, word);
    }
    recordListedLine(currentIndex, address, bytes);
}

void assembleLine(const ParsedLine& parsed)
{
    std::vector<unsigned char> bytes;
    long long address = locationCounter;
    std::string upper = upperCase(parsed.word);
    if (upper == "EQU") {
        defineEqu(parsed);
    } else {
        // An ORG line's label names the new address.
        if (!parsed.label.empty() && upper != "ORG") {
            defineLabel(parsed.label, locationCounter);
        }
        if (!parsed.word.empty()) {
            assembleWord(upper, parsed, bytes);
        }
        if (upper == "ORG") {
            address = locationCounter;
            if (!parsed.label.empty()) {
                defineLabel(parsed.label, locationCounter);
            }
        }
    }
    if (finalWalk) {
        storeLine(address, bytes, parsed.word);
    }
    locationCounter += static_cast<long long>(bytes.size());
}

void walkProgram()
{
    locationCounter = 0;
    endReached = false;
    originSeen = false;
    for (currentIndex = 0; currentIndex < programLines.size() && !endReached; ++currentIndex) {
        const ProgramLine& line = programLines[currentIndex];
        if (line.kind == LineEcho) {
            continue;
        }
        assembleLine(parseLine(line.text));
    }
}

}  // namespace

void assembleProgram()
{
    clearSymbols();
    clearImage();
    clearListing();
    finalWalk = false;
    for (int walk = 0; walk < MaxSettleWalks; ++walk) {
        walkProgram();
        if (takeSymbolChanges() == 0) {
            break;
        }
    }
    finalWalk = true;
    walkProgram();
}
