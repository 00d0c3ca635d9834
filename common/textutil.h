// The small text utilities behind the case-blind comparisons and the assembler's blanks.
#pragma once

#include <string>
#include <string_view>

// `source` with 'a' to 'z' turned into 'A' to 'Z', every other byte unchanged.
void copyUpper(std::string& destination, const std::string& source);

// Cuts `text` where `pattern` first occurs and returns true; false, with the text
// unchanged, when it does not occur (an empty pattern never does).
bool cutAtPattern(std::string& text, const char* pattern);

// A blank as the assembler reads it between words: space, tab, CR, FF, VT.
bool isAssemblerBlank(char c);

// `text` without the assembler's blanks at either end.
std::string_view trimAssemblerBlanks(std::string_view text);

// True when `text` equals `upper` (upper-case letters) with 'a' to 'z' taken as
// 'A' to 'Z'.
bool equalsUpper(std::string_view text, std::string_view upper);
