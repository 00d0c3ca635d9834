// What a run cut short during a copy into a source leaves in its folder, on every system.
#include "platform/oldtext.h"

#include <cstdio>
#include <string>

#include "platform/platform.h"

const char* const OldTextName = "tmpbra01";
const char* const OldTextPartName = "tmpbra01.part";
const char* const OldTextOwnerName = "tmpbra01.name";

namespace {

// The first line of the file `name`, or empty.
std::string firstLine(const char* name) {
    std::string line;
    FILE* file = fopen(name, "rb");
    if (!file)
        return line;
    for (int c; (c = fgetc(file)) != EOF && c != '\n';)
        line += static_cast<char>(c);
    fclose(file);
    return line;
}

}  // namespace

bool findLeftoverOldText(std::string& owner) {
    FileIdentity identity;
    if (identifyFile(OldTextName, identity) != FileUnknown) {
        owner = firstLine(OldTextOwnerName);
        return true;
    }
    // Without "tmpbra01", its companions are of a copy that never began or that ended.
    removeStaleFile(OldTextPartName);
    removeStaleFile(OldTextOwnerName);
    return false;
}
