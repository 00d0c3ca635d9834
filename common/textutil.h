// The two small text utilities behind the case-blind comparisons.
#pragma once

#include <string>

// `source` with 'a' to 'z' turned into 'A' to 'Z', every other byte unchanged.
void copyUpper(std::string& destination, const std::string& source);

// Cuts `text` where `pattern` first occurs and returns true; false, with the text
// unchanged, when it does not occur (an empty pattern never does).
bool cutAtPattern(std::string& text, const char* pattern);
