// The shrink of a program's files: labels counted over all of them, each changed file replaced.
#pragma once

#include <string>
#include <vector>

// Restores the groups of every file named (the program's files: labels are
// counted over all of them first), each file that changes replaced through
// "tmpbra00" like any rewritten source. Names that lead to no regular file, or
// to a file already named, are passed over. Ends the run like a rewrite does
// when a file cannot be read or replaced.
void shrinkFiles(const std::vector<std::string>& names);
