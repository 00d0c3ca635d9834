// The data and placement directives: ORG, DB, DW, DS and END.
#pragma once

#include <string>
#include <vector>

// Assembles the directive upperWord with its operand into bytes (ORG moves locationCounter,
// END sets endReached); gives false if the word is no such directive.
bool assembleDirective(const std::string& upperWord, const std::string& operand,
                       std::vector<unsigned char>& bytes);
