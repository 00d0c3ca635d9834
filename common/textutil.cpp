// The two small text utilities behind the case-blind comparisons.
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
