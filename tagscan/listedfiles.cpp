// Settles which files a pass may rewrite: each file once, never one of the run's own.
#include "tagscan/listedfiles.h"

#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "common/cleanup.h"
#include "common/errorlist.h"
#include "common/globals.h"
#include "common/messages.h"
#include "common/records.h"
#include "platform/platform.h"

namespace {


using IdentityKey = std::pair<unsigned long long, unsigned long long>;

IdentityKey keyOf(const FileIdentity& identity) {
    return {identity.device, identity.index};
}

// The files this run writes or reads for itself, as they stand now.
std::vector<FileIdentity> ownFiles() {
    std::vector<FileIdentity> own;
    FileIdentity identity;
    std::string tagPath = srcName + ".tag";
    for (const char* name : {TempFileName, tagPath.c_str()})
        if (identifyFile(name, identity) != FileUnknown)
            own.push_back(identity);
    if (traceOn && identifyStream(traceStream, identity))
        own.push_back(identity);
    return own;
}

bool isOwnFile(const FileIdentity& identity, const std::vector<FileIdentity>& own) {
    for (const FileIdentity& mine : own)
        if (sameFile(identity, mine))
            return true;
    return false;
}

// Drops every error whose line an earlier error of the (sorted) list already has.
void dropRepeatedLines(SourceFileRecord* file) {
    for (BranchError* error = file->errorHead; error && error->next;) {
        BranchError* repeat = error->next;
        if (repeat->lineNo != error->lineNo) {
            error = repeat;
            continue;
        }
        // Unlinked only: errors and their texts go back with the list's pools.
        error->next = repeat->next;
    }
    BranchError* tail = file->errorHead;
    while (tail && tail->next)
        tail = tail->next;
    file->errorTail = tail;
}

// Moves the errors of `from` to `into` and releases `from`'s record. A stable
// sort keeps `into`'s own error first where both list one line.
void absorbRecord(SourceFileRecord* into, SourceFileRecord* from) {
    if (!into->errorHead)
        into->errorHead = from->errorHead;
    else
        into->errorTail->next = from->errorHead;
    if (from->errorTail)
        into->errorTail = from->errorTail;
    sortErrorsByLine(into);
    dropRepeatedLines(into);
    free(from->fileName);
    free(from);
}

}  // namespace

void checkListedFiles() {
    std::vector<FileIdentity> own = ownFiles();
    std::map<IdentityKey, SourceFileRecord*> firstNamed;
    SourceFileRecord* previous = &fileList;
    while (SourceFileRecord* file = previous->next) {
        FileIdentity identity;
        FileKind kind = identifyFile(file->fileName, identity);
        if (kind == FileSpecial || (kind == FileRegular && isOwnFile(identity, own))) {
            reportError(ErrorCannotOpen, file->fileName);
            fatalExit(ExitSource);
        }
        if (kind == FileUnknown) {
            previous = file;
            continue;
        }
        auto first = firstNamed.emplace(keyOf(identity), file);
        if (first.second) {
            previous = file;
            continue;
        }
        previous->next = file->next;
        absorbRecord(first.first->second, file);
    }
}
