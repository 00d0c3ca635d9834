// Helpers of the stand-in's unit tests: assemble or preprocess a source given as text.
#pragma once

#include <string>

// Assembles the text as main file "t.qsm" from a clean state; gives the flat binary.
std::string assembleSource(const std::string& text);

// Preprocesses the text as "t.qsm" (as "-i" does); gives the ".i" text.
std::string preprocessSource(const std::string& text);

// The bytes as upper-case hex pairs separated by blanks ("A9 12").
std::string hexBytes(const std::string& bytes);

// Every tag line of the errors reported so far.
std::string tagLines();
