// The shrink of a program's files: labels counted over all of them, each changed file replaced.
#include "rewrite/shrinkfiles.h"

#include <cstdio>

#include "common/globals.h"
#include "common/lineio.h"
#include "platform/platform.h"
#include "rewrite/replacement.h"
#include "rewrite/shrink.h"

namespace {

// Reads what is left of the source slot's stream; a read that fails ends the run
// before anything is written from it.
std::string readWholeSource() {
    std::string text;
    char buffer[1 << 16];
    while (size_t got = fread(buffer, 1, sizeof buffer, streams[SourceSlot]))
        text.append(buffer, got);
    if (ferror(streams[SourceSlot]))
        closeSourceChecked();
    return text;
}

// The named files that lead to regular files, each file once.
std::vector<std::string> distinctRegularFiles(const std::vector<std::string>& names) {
    std::vector<std::string> files;
    std::vector<FileIdentity> seen;
    for (const std::string& name : names) {
        FileIdentity identity;
        if (identifyFile(name.c_str(), identity) != FileRegular)
            continue;
        bool again = false;
        for (const FileIdentity& earlier : seen)
            again |= sameFile(identity, earlier);
        if (again)
            continue;
        seen.push_back(identity);
        files.push_back(name);
    }
    return files;
}

}  // namespace

void shrinkFiles(const std::vector<std::string>& names) {
    std::vector<std::string> files = distinctRegularFiles(names);
    LabelUses uses;
    for (const std::string& name : files) {
        openSource(name.c_str());
        countLabelUses(readWholeSource(), uses);
        closeSourceChecked();
    }
    for (const std::string& name : files) {
        openSource(name.c_str());
        std::string text = readWholeSource();
        std::string shrunk = shrinkText(text, uses);
        // A file with nothing to give back stays the very same file.
        if (shrunk == text) {
            closeSourceChecked();
            continue;
        }
        openTemporary();
        writeText(outputStream, shrunk);
        putTemporaryInPlace(name.c_str());
    }
}
