// Which files make up the program. For now only the working source: the files
// reached through include lines join it with the search of every included file.
#include "tagscan/programfiles.h"

#include <cstdio>

#include "common/globals.h"

std::vector<std::string> programFiles() {
    std::vector<std::string> files;
    if (FILE* stream = fopen(workName.c_str(), "rb")) {
        fclose(stream);
        files.push_back(workName);
    }
    return files;
}
