// Writes the tag file: one line per error for the branch optimizer to read.
#include "tagfile.h"

#include <cstdio>

#include "diag.h"
#include "outfile.h"

std::string formatTagLine(const ReportedError& error)
{
    char number[32];
    std::snprintf(number, sizeof number, " %ld E%02d: ", error.lineNo, error.code);
    return error.fileName + number + errorMessage(error.code) + " \"" + error.text + "\"\n";
}

bool writeTagFile(const std::string& path)
{
    std::string text;
    for (const ReportedError& error : reportedErrors) {
        text += formatTagLine(error);
    }
    return writeWholeFile(path, text);
}
