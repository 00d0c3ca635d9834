// Expands structured statements (IF, SWITCH, FOR, DO and their long forms) into plain lines.
#pragma once

#include <string>

#include "globals.h"
#include "lineparse.h"

// True if the upper-case word is a structured-statement directive.
bool isStructuredWord(const std::string& upperWord);

// Forgets every open statement and starts the label numbers again.
void resetStructured();

// Appends to programLines the directive line as an echo and the plain lines it stands for;
// reports a directive that matches no open statement.
void expandStructured(const ProgramLine& line, const ParsedLine& parsed, const std::string& upperWord);

// Reports every statement still open at the end of the source, on its own line.
void reportOpenStatements();
