// A source file replaced through "tmpbra00": its text is old or whole new at every moment.
#include "rewrite/replacement.h"

#include <cstdio>
#include <string>

#include "common/cleanup.h"
#include "common/globals.h"
#include "common/lineio.h"
#include "common/messages.h"
#include "platform/platform.h"

namespace {

// What was read and what was written: the replacement goes ahead only while
// the names still lead to these files.
FileIdentity sourceRead, temporaryWritten;
bool sourceKnown, temporaryKnown;

// True while `name` still leads to the file `identity` (or nothing could be told).
bool stillLeadsTo(const char* name, bool known, const FileIdentity& identity) {
    FileIdentity now;
    return !known || (identifyFile(name, now) == FileRegular && sameFile(now, identity));
}

// Removes "tmpbra00" while it is the file this run wrote.
void removeTemporaryWritten() {
    if (temporaryKnown)
        removeOwnFile(TempFileName, temporaryWritten);
}

}  // namespace

void openSource(const char* fileName) {
    FILE* stream = fopen(fileName, "rb");
    if (!stream) {
        reportError(ErrorCannotOpen, fileName);
        fatalExit(ExitSource);
    }
    attachStream(SourceSlot, stream);
    sourceKnown = identifyStream(stream, sourceRead);
}

void openTemporary() {
    removeTemporaryFile = removeTemporaryWritten;
    FILE* stream = openFreshOutput(TempFileName);
    if (!stream) {
        reportError(ErrorNoTempFile, nullptr);
        fatalExit(ExitSource);
    }
    attachStream(OutputSlot, stream);
    temporaryKnown = identifyStream(stream, temporaryWritten);
}

void closeSourceChecked() {
    closeStream(SourceSlot);
    if (streamErrors[SourceSlot]) {
        reportError(ErrorNoMemory, nullptr);
        fatalExit(ExitResource);
    }
}

void abandonFile() {
    closeSourceChecked();
    closeStream(OutputSlot);
    removeTemporaryWritten();
}

bool putTemporaryInPlace(const char* fileName, bool (*changedSince)(const char* name)) {
    closeSourceChecked();
    closeStream(OutputSlot);
    if (streamErrors[OutputSlot]) {
        reportError(ErrorNoTempFile, nullptr);
        fatalExit(ExitResource);
    }
    // A link stays a link: the file it leads to gets the new text. The text is
    // never lost: if it cannot go in place (or the name now leads to another
    // file than the one read), "tmpbra00" keeps it. Only the file written here
    // goes in place: a "tmpbra00" made by someone else since is not ours to
    // rename, and the source is left as it was.
    std::string target = replaceableName(fileName);
    const FileIdentity* own = temporaryKnown ? &temporaryWritten : nullptr;
    // Runs in other folders may share the file: for them the check and the
    // replacement are one step.
    lockFileToReplace(target.c_str());
    if (changedSince && changedSince(fileName)) {
        unlockFileToReplace();
        removeTemporaryWritten();
        return false;
    }
    bool replaced =
        stillLeadsTo(target.c_str(), sourceKnown, sourceRead) && replaceFile(TempFileName, target.c_str(), own);
    unlockFileToReplace();
    if (replaced)
        return true;
    // Error 1 says that "tmpbra00" keeps the text: true only while it is ours.
    if (!stillLeadsTo(TempFileName, temporaryKnown, temporaryWritten)) {
        reportError(ErrorNoTempFile, nullptr);
        fatalExit(ExitResource);
    }
    reportError(ErrorCannotCreate, fileName);
    reportCause(replaceProblem().c_str());
    fatalExit(ExitSource);
}
