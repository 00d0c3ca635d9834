// Which files make up the program: the working source and the files it includes.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_set>
#include <vector>

struct FileFindings;

// The names of the program's files as they stand now: the working source first,
// then every file reached through the include lines, each once. A name that
// cannot be opened is left out (the assembler reports it).
std::vector<std::string> programFiles();

// True when the `size` bytes at `line` (its line end may follow) are an include
// line as the assembler reads it: an optional label, "INCLUDE" in any letter
// case, and an operand in double quotes; `name` then gets the text between them.
bool includeNameOf(const char* line, size_t size, std::string& name);

// The name under which the assembler opens the include file `name`: as written
// (from the current folder), then in each "-I<dir>" word it is given, in order.
// Empty when none leads to a file.
std::string findIncludeFile(const std::string& name);

// True when `name` leads to a regular file: what may be opened without blocking.
bool isSearchableFile(const std::string& name);

// Searches `first` and every file it includes, recursively, each name not yet in
// `searched` once (it is added), and hands each searched file's findings to
// `visit`. A name that cannot be opened is skipped.
using FileVisitor = void (*)(const std::string& name, const FileFindings& found);
void followIncludes(const std::string& first, std::unordered_set<std::string>& searched, FileVisitor visit);
