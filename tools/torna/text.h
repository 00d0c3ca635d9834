// Small text helpers of the stand-in: blanks, case, symbol names, comma lists.
#pragma once

#include <string>
#include <vector>

// True for the characters that separate words: blank, tab, and stray CR, FF, VT.
bool isBlankChar(char c);

// The text without blanks at either end.
std::string trimBlanks(const std::string& text);

// The text with 'a' to 'z' turned into capitals, every other byte unchanged.
std::string upperCase(const std::string& text);

// True if the text can name a symbol: a letter, '_' or '.', then letters, digits, '_', '.'.
bool isSymbolName(const std::string& text);

// True for a character that may continue a symbol name.
bool isSymbolChar(char c);

// Position of the ';' that starts the comment (one inside a "string" does not), or npos.
size_t findCommentStart(const std::string& text);

// The operand split at its commas outside "strings", each piece trimmed.
std::vector<std::string> splitOperandList(const std::string& operand);
