// Reads the source into programLines: include files inlined, structured statements expanded.
#pragma once

#include <string>

// Loads the main source file and everything it includes; gives false if the main file cannot
// be read. Errors of includes and structured statements are reported on their lines.
bool loadProgram(const std::string& mainName);

// Loads the program from the bytes of a main file of that name (includes are still read from
// files); reports like loadProgram.
void loadProgramText(const std::string& mainName, const std::string& bytes);
