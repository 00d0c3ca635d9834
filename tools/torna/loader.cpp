// Reads the source into programLines: include files inlined, structured statements expanded.
#include "loader.h"

#include <cstdio>
#include <vector>

#include "diag.h"
#include "globals.h"
#include "lineparse.h"
#include "structured.h"
#include "text.h"

namespace {

constexpr int MaxIncludeDepth = 16;  // also stops a file that includes itself

bool endSeen;  // END was met: later lines are kept as they stand, unexpanded

// Reads a whole file in binary mode; false if it cannot be opened or read.
bool readWholeFile(const std::string& path, std::string& bytes)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    char buffer[4096];
    size_t got;
    bytes.clear();
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes.append(buffer, got);
    }
    bool failed = std::ferror(file) != 0;
    std::fclose(file);
    return !failed;
}

// Splits the bytes into lines; "\n" or "\r\n" is the line end, never part of the text.
std::vector<ProgramLine> splitLines(const std::string& bytes, int fileIndex)
{
    std::vector<ProgramLine> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t newline = bytes.find('\n', start);
        std::string text = bytes.substr(start, newline == std::string::npos ? std::string::npos : newline - start);
        std::string lineEnd = newline == std::string::npos ? "" : "\n";
        if (!lineEnd.empty() && !text.empty() && text.back() == '\r') {
            text.pop_back();
            lineEnd = "\r\n";
        }
        lines.push_back(ProgramLine{fileIndex, static_cast<long>(lines.size() + 1), text, lineEnd, LineSource});
        start = newline == std::string::npos ? bytes.size() : newline + 1;
    }
    return lines;
}

// The path under which an include file opens: as named, then in each -I directory; "" if none.
std::string findIncludeFile(const std::string& name)
{
    std::vector<std::string> candidates{name};
    for (const std::string& dir : includeDirs) {
        bool hasSeparator = !dir.empty() && (dir.back() == '/' || dir.back() == '\\');
        candidates.push_back(hasSeparator ? dir + name : dir + "/" + name);
    }
    for (const std::string& path : candidates) {
        FILE* file = std::fopen(path.c_str(), "rb");
        if (file != nullptr) {
            std::fclose(file);
            return path;
        }
    }
    return "";
}

bool loadFile(const std::string& path, int depth);

void includeFile(const ProgramLine& line, const ParsedLine& parsed, int depth)
{
    const std::string& fileName = sourceFileNames[line.fileIndex];
    if (!parsed.label.empty()) {
        programLines.push_back(ProgramLine{line.fileIndex, line.lineNo, parsed.label + ":", line.lineEnd,
                                           LineGenerated});
    }
    const std::string& operand = parsed.operand;
    if (operand.size() < 3 || operand.front() != '"' || operand.back() != '"') {
        reportError(fileName, line.lineNo, ErrBadOperand, operand);
        return;
    }
    std::string name = operand.substr(1, operand.size() - 2);
    if (depth >= MaxIncludeDepth) {
        reportError(fileName, line.lineNo, ErrIncludeDepth, name);
        return;
    }
    // The tag file names the include by the path that opened, so the optimizer can open it too.
    std::string path = findIncludeFile(name);
    if (path.empty() || !loadFile(path, depth + 1)) {
        reportError(fileName, line.lineNo, ErrIncludeNotFound, name);
    }
}

void loadLine(const ProgramLine& line, int depth)
{
    if (endSeen) {
        programLines.push_back(line);
        return;
    }
    ParsedLine parsed = parseLine(line.text);
    std::string upper = upperCase(parsed.word);
    if (upper == "INCLUDE") {
        includeFile(line, parsed, depth);
        return;
    }
    if (isStructuredWord(upper)) {
        if (!optPreprocessed) {
            expandStructured(line, parsed, upper);
            return;
        }
        reportError(sourceFileNames[line.fileIndex], line.lineNo, ErrStructInPreprocessed, parsed.word);
        programLines.push_back(ProgramLine{line.fileIndex, line.lineNo, line.text, line.lineEnd, LineEcho});
        return;
    }
    if (upper == "END") {
        endSeen = true;
    }
    programLines.push_back(line);
}

void loadBytes(const std::string& path, const std::string& bytes, int depth)
{
    int fileIndex = static_cast<int>(sourceFileNames.size());
    sourceFileNames.push_back(path);
    for (const ProgramLine& line : splitLines(bytes, fileIndex)) {
        loadLine(line, depth);
    }
}

bool loadFile(const std::string& path, int depth)
{
    std::string bytes;
    if (!readWholeFile(path, bytes)) {
        return false;
    }
    loadBytes(path, bytes, depth);
    return true;
}

}  // namespace

bool loadProgram(const std::string& mainName)
{
    std::string bytes;
    if (!readWholeFile(mainName, bytes)) {
        return false;
    }
    loadProgramText(mainName, bytes);
    return true;
}

void loadProgramText(const std::string& mainName, const std::string& bytes)
{
    endSeen = false;
    programLines.clear();
    sourceFileNames.clear();
    resetStructured();
    loadBytes(mainName, bytes, 0);
    reportOpenStatements();
}
