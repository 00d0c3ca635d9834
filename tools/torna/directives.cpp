// The data and placement directives: ORG, DB, DW, DS and END.
#include "directives.h"

#include "diag.h"
#include "expr.h"
#include "globals.h"
#include "image.h"
#include "text.h"

namespace {

// Evaluates a value the first walk must already know (it moves later lines); false if it cannot.
bool evaluateEarly(const std::string& operand, long long low, long long high, long long& value)
{
    ExprValue result = evaluateExpression(operand, locationCounter, currentIndex);
    if (!result.ok) {
        lineError(ErrBadOperand, operand);
        return false;
    }
    if (!result.known) {
        lineError(ErrUndefinedSymbol, result.undefinedName);
        return false;
    }
    if (!result.early) {
        lineError(ErrForwardReference, operand);
        return false;
    }
    if (result.value < low || result.value > high) {
        lineError(ErrValueRange, operand);
        return false;
    }
    value = result.value;
    return true;
}

// Appends the value of one expression item in size bytes, low byte first.
void appendValue(const std::string& item, int size, std::vector<unsigned char>& bytes)
{
    long long low = size == 1 ? -128 : -32768;
    long long high = size == 1 ? 0xFF : 0xFFFF;
    ExprValue result = evaluateExpression(item, locationCounter, currentIndex);
    long long value = 0;
    if (!result.ok) {
        lineError(ErrBadOperand, item);
    } else if (!result.known) {
        lineError(ErrUndefinedSymbol, result.undefinedName);
    } else if (result.value < low || result.value > high) {
        lineError(ErrValueRange, item);
    } else {
        value = result.value;
    }
    for (int i = 0; i < size; ++i) {
        bytes.push_back(static_cast<unsigned char>((value >> (8 * i)) & 0xFF));
    }
}

void appendItems(const std::string& operand, int size, std::vector<unsigned char>& bytes)
{
    for (const std::string& item : splitOperandList(operand)) {
        bool isString = item.size() >= 2 && item.front() == '"' && item.back() == '"';
        if (isString && size == 1) {
            bytes.insert(bytes.end(), item.begin() + 1, item.end() - 1);
        } else if (item.empty() || item.front() == '"') {
            lineError(ErrBadOperand, operand);
            return;
        } else {
            appendValue(item, size, bytes);
        }
    }
}

void assembleDb(const std::string& operand, std::vector<unsigned char>& bytes)
{
    appendItems(operand, 1, bytes);
}

void assembleDw(const std::string& operand, std::vector<unsigned char>& bytes)
{
    appendItems(operand, 2, bytes);
}

void assembleDs(const std::string& operand, std::vector<unsigned char>& bytes)
{
    long long count = 0;
    if (evaluateEarly(operand, 0, 0x10000, count)) {
        bytes.assign(static_cast<size_t>(count), 0);
    }
}

void assembleEnd(const std::string&, std::vector<unsigned char>&)
{
    endReached = true;
}

void assembleOrg(const std::string& operand, std::vector<unsigned char>&)
{
    long long address = 0;
    if (evaluateEarly(operand, 0, 0xFFFF, address)) {
        locationCounter = address;
        originSeen = true;
        if (finalWalk) {
            noteOrigin(address);
        }
    }
}

struct DirectiveRow {
    const char* name;
    void (*assemble)(const std::string& operand, std::vector<unsigned char>& bytes);
};

const DirectiveRow DirectiveTab[] = {
    {"DB", assembleDb},
    {"DS", assembleDs},
    {"DW", assembleDw},
    {"END", assembleEnd},
    {"ORG", assembleOrg},
};

}  // namespace

bool assembleDirective(const std::string& upperWord, const std::string& operand,
                       std::vector<unsigned char>& bytes)
{
    for (const DirectiveRow& row : DirectiveTab) {
        if (upperWord == row.name) {
            row.assemble(operand, bytes);
            return true;
        }
    }
    return false;
}
