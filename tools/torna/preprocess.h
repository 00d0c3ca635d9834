// Makes the text of the ".i" file: every program line with a line end.
#pragma once

#include <string>

// The preprocessed source: lines kept as written, each structured directive as a comment line
// followed by its plain lines; only the very last line may lack a line end.
std::string preprocessedText();
