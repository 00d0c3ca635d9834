// The small text utilities behind the case-blind comparisons and the assembler's blanks.
#include "common/textutil.h"

#include <cstring>

void copyUpper(std::string& destination, const std::string& source) {
    destination = source;
    for (char& c : destination) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
}

bool cutAtPattern(std::string& text, const char* pattern) {
    if (!pattern || !*pattern)
        return false;
    size_t at = text.find(pattern);
    if (at == std::string::npos)
        return false;
    text.resize(at);
    return true;
}

bool isAssemblerBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

std::string_view trimAssemblerBlanks(std::string_view text) {
    while (!text.empty() && isAssemblerBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isAssemblerBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool equalsUpper(std::string_view text, std::string_view upper) {
    if (text.size() != upper.size())
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i] >= 'a' && text[i] <= 'z' ? static_cast<char>(text[i] - 'a' + 'A') : text[i];
        if (c != upper[i])
            return false;
    }
    return true;
}
