// Prints the stand-in's numbered error messages and records them for the tag file.
#include "diag.h"

#include <cstdio>

namespace {

struct MessageRow {
    int code;
    const char* text;
};

// Texts hold no ':' and no '"', so the tag line's last colon follows the number.
const MessageRow ErrorMessages[] = {
    {ErrUnknownMnemonic, "unknown mnemonic"},
    {ErrBadOperand, "bad operand"},
    {ErrUndefinedSymbol, "undefined symbol"},
    {ErrDuplicateLabel, "duplicate label"},
    {ErrIncludeNotFound, "include file not found"},
    {ErrUnmatched, "unmatched structured statement"},
    {ErrStructInPreprocessed, "structured statement in preprocessed source"},
    {ErrValueRange, "value out of range"},
    {ErrForwardReference, "value not known in the first pass"},
    {ErrAddressingMode, "addressing mode not available"},
    {ErrIncludeDepth, "include files nested too deeply"},
    {ErrBranchRange, "branch out of range"},
};

const MessageRow FatalMessages[] = {
    {FatalUnknownOption, "unknown option"},
    {FatalNoSource, "no source file given"},
    {FatalTwoSources, "more than one source file"},
    {FatalCannotOpen, "cannot open source file"},
    {FatalCannotWrite, "cannot write file"},
};

const char* findMessage(const MessageRow* rows, size_t count, int code)
{
    for (size_t i = 0; i < count; ++i) {
        if (rows[i].code == code) {
            return rows[i].text;
        }
    }
    return "";
}

}  // namespace

std::string errorMessage(int code)
{
    return findMessage(ErrorMessages, sizeof ErrorMessages / sizeof ErrorMessages[0], code);
}

std::string safeErrorText(const std::string& text)
{
    std::string safe;
    for (unsigned char c : text) {
        if (c == '"') {
            safe += '\'';
        } else if (c == ':') {
            safe += '.';
        } else if (c < 0x20 || c == 0x7f) {
            safe += '?';
        } else {
            safe += static_cast<char>(c);
        }
    }
    return safe;
}

std::string formatConsoleLine(const ReportedError& error)
{
    char number[32];
    std::snprintf(number, sizeof number, "(%ld): E%03d: ", error.lineNo, error.code);
    return error.fileName + number + errorMessage(error.code) + " \"" + error.text + "\"\n";
}

void reportError(const std::string& fileName, long lineNo, int code, const std::string& text)
{
    ReportedError error{fileName, lineNo, code, safeErrorText(text)};
    std::fputs(formatConsoleLine(error).c_str(), stdout);
    reportedErrors.push_back(error);
    ++errorCount;
}

int reportFatal(int code, const std::string& text)
{
    const char* message = findMessage(FatalMessages, sizeof FatalMessages / sizeof FatalMessages[0], code);
    if (text.empty()) {
        std::printf("torna: %s\n", message);
    } else {
        std::printf("torna: %s '%s'\n", message, text.c_str());
    }
    return StatusFatal;
}

void lineError(int code, const std::string& text)
{
    if (!finalWalk) {
        return;
    }
    const ProgramLine& line = programLines[currentIndex];
    reportError(sourceFileNames[line.fileIndex], line.lineNo, code, text);
}
