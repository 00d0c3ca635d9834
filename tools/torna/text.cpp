// Small text helpers of the stand-in: blanks, case, symbol names, comma lists.
#include "text.h"

bool isBlankChar(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

std::string trimBlanks(const std::string& text)
{
    size_t first = 0;
    while (first < text.size() && isBlankChar(text[first])) {
        ++first;
    }
    size_t last = text.size();
    while (last > first && isBlankChar(text[last - 1])) {
        --last;
    }
    return text.substr(first, last - first);
}

std::string upperCase(const std::string& text)
{
    std::string upper = text;
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return upper;
}

bool isSymbolChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '.';
}

bool isSymbolName(const std::string& text)
{
    if (text.empty() || (text[0] >= '0' && text[0] <= '9')) {
        return false;
    }
    for (char c : text) {
        if (!isSymbolChar(c)) {
            return false;
        }
    }
    return true;
}

size_t findCommentStart(const std::string& text)
{
    bool inString = false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '"') {
            inString = !inString;
        } else if (text[i] == ';' && !inString) {
            return i;
        }
    }
    return std::string::npos;
}

std::vector<std::string> splitOperandList(const std::string& operand)
{
    std::vector<std::string> pieces;
    std::string piece;
    bool inString = false;
    for (char c : operand) {
        if (c == '"') {
            inString = !inString;
        }
        if (c == ',' && !inString) {
            pieces.push_back(trimBlanks(piece));
            piece.clear();
        } else {
            piece += c;
        }
    }
    pieces.push_back(trimBlanks(piece));
    return pieces;
}
