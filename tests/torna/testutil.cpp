// Helpers of the stand-in's unit tests: assemble or preprocess a source given as text.
#include "testutil.h"

#include <cstdio>

#include "assemble.h"
#include "globals.h"
#include "image.h"
#include "loader.h"
#include "preprocess.h"
#include "tagfile.h"

std::string assembleSource(const std::string& text)
{
    loadProgramText("t.qsm", text);
    assembleProgram();
    return binaryImage();
}

std::string preprocessSource(const std::string& text)
{
    optPreprocess = true;
    loadProgramText("t.qsm", text);
    return preprocessedText();
}

std::string hexBytes(const std::string& bytes)
{
    std::string text;
    for (unsigned char byte : bytes) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X", byte);
        text += text.empty() ? "" : " ";
        text += hex;
    }
    return text;
}

std::string tagLines()
{
    std::string text;
    for (const ReportedError& error : reportedErrors) {
        text += formatTagLine(error);
    }
    return text;
}
