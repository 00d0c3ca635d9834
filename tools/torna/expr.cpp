// Evaluates operand expressions: numbers, symbols and '*' joined by '+' and '-'.
#include "expr.h"

#include "symbols.h"
#include "text.h"

namespace {

constexpr long long NumberLimit = 0xFFFFFFFFLL;  // larger literals are refused, so sums cannot overflow

void skipBlanks(const std::string& text, size_t& pos)
{
    while (pos < text.size() && isBlankChar(text[pos])) {
        ++pos;
    }
}

int digitValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return 99;
}

// Reads a number in the given base at pos; false if no digit stands there or it is too large.
bool readNumber(const std::string& text, size_t& pos, int base, long long& value)
{
    size_t start = pos;
    value = 0;
    while (pos < text.size() && digitValue(text[pos]) < base) {
        value = value * base + digitValue(text[pos]);
        if (value > NumberLimit) {
            return false;
        }
        ++pos;
    }
    // "12AB" or "$1G": a number must not run into letters.
    return pos > start && (pos == text.size() || !isSymbolChar(text[pos]));
}

// Reads one term at pos into result's value and flags; false on a syntax error.
bool readTerm(const std::string& text, size_t& pos, long long pc, size_t index, ExprValue& result,
              long long& value)
{
    char c = text[pos];
    if (c == '*') {
        ++pos;
        value = pc;
        result.constant = false;
        return true;
    }
    if (c == '$') {
        ++pos;
        return readNumber(text, pos, 16, value);
    }
    if (c == '%') {
        ++pos;
        return readNumber(text, pos, 2, value);
    }
    if (c >= '0' && c <= '9') {
        return readNumber(text, pos, 10, value);
    }
    size_t start = pos;
    while (pos < text.size() && isSymbolChar(text[pos])) {
        ++pos;
    }
    std::string name = text.substr(start, pos - start);
    if (!isSymbolName(name)) {
        return false;
    }
    const Symbol* symbol = findSymbol(name);
    if (symbol == nullptr || !symbol->known) {
        value = 0;
        result.known = false;
        result.constant = false;
        result.early = false;
        if (result.undefinedName.empty()) {
            result.undefinedName = name;
        }
        return true;
    }
    value = symbol->value;
    bool earlier = symbol->defIndex < index;
    result.constant = result.constant && earlier && symbol->isEqu && symbol->constant;
    result.early = result.early && earlier && symbol->earlyKnown;
    return true;
}

}  // namespace

ExprValue evaluateExpression(const std::string& text, long long pc, size_t index)
{
    ExprValue result{true, 0, true, true, true, ""};
    size_t pos = 0;
    int sign = 1;
    skipBlanks(text, pos);
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
        sign = text[pos] == '-' ? -1 : 1;
        ++pos;
        skipBlanks(text, pos);
    }
    for (;;) {
        long long term = 0;
        if (pos >= text.size() || !readTerm(text, pos, pc, index, result, term)) {
            result.ok = false;
            return result;
        }
        result.value += sign * term;
        skipBlanks(text, pos);
        if (pos >= text.size()) {
            return result;
        }
        if (text[pos] != '+' && text[pos] != '-') {
            result.ok = false;
            return result;
        }
        sign = text[pos] == '-' ? -1 : 1;
        ++pos;
        skipBlanks(text, pos);
    }
}
