// Evaluates operand expressions: numbers, symbols and '*' joined by '+' and '-'.
#pragma once

#include <cstddef>
#include <string>

// The value of an expression and what it was made of.
struct ExprValue {
    bool ok;                    // the text is a well-formed expression
    long long value;            // its value (0 for unknown parts)
    bool known;                 // every symbol in it is known in this walk
    bool constant;              // only numbers and earlier constant EQUs: may select zero page
    bool early;                 // every symbol defined on an earlier line and known there
    std::string undefinedName;  // the first symbol that is not known, if any
};

// Evaluates text as it stands on line index at address pc.
ExprValue evaluateExpression(const std::string& text, long long pc, size_t index);
