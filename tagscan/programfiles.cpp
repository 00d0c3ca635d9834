// Which files make up the program: the include lines followed as the assembler follows them.
#include "tagscan/programfiles.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "common/globals.h"
#include "common/textutil.h"
#include "platform/platform.h"
#include "tagscan/labelscan.h"

namespace {

std::string_view takeWord(std::string_view text, size_t& pos) {
    while (pos < text.size() && isAssemblerBlank(text[pos]))
        ++pos;
    size_t start = pos;
    while (pos < text.size() && !isAssemblerBlank(text[pos]))
        ++pos;
    return text.substr(start, pos - start);
}

// The line up to its comment: a ';' outside double quotes.
std::string_view codeOf(std::string_view text) {
    bool inString = false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '"')
            inString = !inString;
        else if (text[i] == ';' && !inString)
            return text.substr(0, i);
    }
    return text;
}

// Can the assembler open `path`? A directory or device counts as found, as its
// open would; only a regular file is tried, so a FIFO never blocks the run.
bool assemblerOpens(const std::string& path) {
    FileIdentity identity;
    FileKind kind = identifyFile(path.c_str(), identity);
    if (kind != FileRegular)
        return kind == FileSpecial;
    FILE* stream = fopen(path.c_str(), "rb");
    if (stream)
        fclose(stream);
    return stream != nullptr;
}

std::vector<std::string>* collected;  // where programFiles gathers the names

void collectName(const std::string& name, const FileFindings&) {
    collected->push_back(name);
}

}  // namespace

bool includeNameOf(const char* line, size_t size, std::string& name) {
    std::string_view text(line, size);
    if (!text.empty() && text.back() == '\n')
        text.remove_suffix(1);
    text = codeOf(text);
    size_t pos = 0;
    std::string_view word = takeWord(text, pos);
    if (!word.empty() && word.back() == ':') {
        word = takeWord(text, pos);
    } else {
        // "NAME EQU value": the first word is a name, not a directive.
        size_t afterSecond = pos;
        if (equalsUpper(takeWord(text, afterSecond), "EQU"))
            return false;
    }
    if (!equalsUpper(word, "INCLUDE"))
        return false;
    std::string_view operand = trimAssemblerBlanks(text.substr(pos));
    if (operand.size() < 3 || operand.front() != '"' || operand.back() != '"')
        return false;
    name.assign(operand.substr(1, operand.size() - 2));
    return true;
}

std::string findIncludeFile(const std::string& name) {
    if (assemblerOpens(name))
        return name;
    for (const char* const* word = argvPass; *word; ++word) {
        if (strncmp(*word, "-I", 2) != 0 || (*word)[2] == '\0')
            continue;
        std::string dir = *word + 2;
        std::string path = dir.back() == '/' || dir.back() == '\\' ? dir + name : dir + "/" + name;
        if (assemblerOpens(path))
            return path;
    }
    return std::string();
}

bool isSearchableFile(const std::string& name) {
    FileIdentity identity;
    return identifyFile(name.c_str(), identity) == FileRegular;
}

void followIncludes(const std::string& first, std::unordered_set<std::string>& searched, FileVisitor visit) {
    std::vector<std::string> pending{first};
    while (!pending.empty()) {
        std::string name = std::move(pending.back());
        pending.pop_back();
        if (!searched.insert(name).second)
            continue;
        FileFindings found;
        if (!searchFile(name, found))
            continue;
        visit(name, found);
        // Taken from the back: the includes are searched in the order they stand.
        for (auto include = found.includes.rbegin(); include != found.includes.rend(); ++include) {
            std::string path = findIncludeFile(*include);
            if (!path.empty())
                pending.push_back(path);
        }
    }
}

std::vector<std::string> programFiles() {
    std::vector<std::string> files;
    std::unordered_set<std::string> searched;
    collected = &files;
    followIncludes(workName, searched, collectName);
    collected = nullptr;
    return files;
}
