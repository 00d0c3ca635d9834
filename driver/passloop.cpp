// The pass loop: assemble, read the tag file, scan, rewrite, and again.
#include "driver/passloop.h"

#include <cstdio>
#include <string>

#include "common/cleanup.h"
#include "common/errorlist.h"
#include "common/globals.h"
#include "common/lineio.h"
#include "common/messages.h"
#include "platform/platform.h"
#include "rewrite/presenttext.h"
#include "rewrite/rewritepass.h"
#include "rewrite/shrinkfiles.h"
#include "tagscan/labelscan.h"
#include "tagscan/listedfiles.h"
#include "tagscan/programfiles.h"
#include "tagscan/sourcescan.h"
#include "tagscan/tagreader.h"

namespace {

const char* const AssemblerName = "torna";
constexpr int MaxReassemblies = 3;  // runs of one pass again, for files changed under it

int reassemblies;  // of the pass under way

// Runs the assembler; any result but 0 and 1 ends the tool with that status.
void assembleOrExit(const char* const* argv) {
    fputs("\n\n", stderr);
    fflush(stderr);
    int status = runAssembler(AssemblerName, argv);
    if (status != 0 && status != 1)
        fatalExit(status);
}

std::string tagPath() {
    return srcName + ".tag";
}

// An assembler that writes its tag file only when it has something to report
// would leave the last pass's report in place: every tag file read must be new.
void removeOldTagFile() {
    if (removeStaleFile(tagPath().c_str()))
        return;
    reportError(ErrorCannotRemove, tagPath().c_str());
    fatalExit(ExitSource);
}

// Opens the tag file of this pass as the tag slot's stream; false when there is none.
bool openTagFile() {
    FILE* stream = fopen(tagPath().c_str(), "rb");
    if (!stream)
        return false;
    attachStream(TagSlot, stream);
    return true;
}

// Notes how every file of the program stands before the pass's assembler run.
void stampProgram() {
    searchWorkingProgram();
    stampFiles(searchedFileNames());
    forgetStaleReport();
}

// Notes a listed file written or replaced while the assembler ran.
void findChangedFiles() {
    for (const SourceFileRecord* file = fileList.next; file; file = file->next)
        if (changedSinceStamp(file->fileName))
            noteStaleReport(file->fileName);
}

// True when a report of this pass describes another text than its file's
// present one: the pass is assembled again, a few times at most, uncounted;
// after that the run ends with error 22 (status 1).
bool mustReassemble() {
    if (staleReportFile().empty())
        return false;
    releaseFileList();
    if (++reassemblies > MaxReassemblies) {
        reportError(ErrorFileChanged, staleReportFile().c_str());
        fatalExit(ExitSource);
    }
    return true;
}

}  // namespace

void runPasses() {
    startLabelScan();
    reassemblies = 0;
    // Before any run, so that the label search and every run see the files as
    // the shrink left them.
    if (optShrink)
        shrinkFiles(programFiles());
    assembleOrExit(argvFirst);
    for (;;) {
        if (passCount == 0)
            return;
        removeOldTagFile();
        stampProgram();
        assembleOrExit(argvPass);
        if (!openTagFile())
            return;
        if (readTagFile() == 0)
            return;
        // Before any listed file is read: a FIFO would block, and one file under
        // two names must be searched and rewritten once.
        checkListedFiles();
        findChangedFiles();
        if (mustReassemble())
            continue;
        skipEarlierLabels();
        stopOnGeneratedTargets();
        scanSources();
        if (mustReassemble())
            continue;
        if (optAsm)
            rewriteAsmSources();
        else
            rewriteSources();
        if (mustReassemble())
            continue;
        reassemblies = 0;
        if (optNoLoop)
            return;
        --passCount;
    }
}

int runAssembler(const char* program, const char* const* argv) {
    // The child writes to the same standard output: what is ours must come first.
    fflush(stdout);
    int status = runProgram(program, argv);
    if (status < 0) {
        reportError(ErrorNotExecuted, program);
        return ExitNoAssembler;
    }
    return status;
}
