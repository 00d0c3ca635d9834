// Which files make up the program: the working source and the files it includes.
#pragma once

#include <string>
#include <vector>

// The names of the program's files as they stand now: the working source first,
// then every file reached through the include lines, each once. A name that
// cannot be opened is left out (the assembler reports it).
std::vector<std::string> programFiles();
