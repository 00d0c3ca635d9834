// Splits one source line into label, word and operand.
#pragma once

#include <string>

// The parts of a source line; the comment is dropped.
struct ParsedLine {
    std::string label;    // the label without its colon, or the name before EQU; empty if none
    std::string word;     // mnemonic or directive as written; empty on a label-only line
    std::string operand;  // the rest before the comment, without blanks at either end
};

// Splits `[label:] [word [operand]] [;comment]`; `NAME EQU expr` gives label NAME and word EQU.
ParsedLine parseLine(const std::string& text);
