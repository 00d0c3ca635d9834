// Writes the tag file: one line per error for the branch optimizer to read.
#pragma once

#include <string>

#include "globals.h"

// The tag line of an error: `<file> <line> E<nn>: <message> "<text>"` and a newline.
std::string formatTagLine(const ReportedError& error);

// Writes every error of reportedErrors to the file at path; false when it cannot be written.
bool writeTagFile(const std::string& path);
