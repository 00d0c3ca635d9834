// The start-up sequence of a run, from initGlobals to the normal end.
#include "driver/startup.h"

#include "common/globals.h"
#include "driver/banner.h"
#include "common/cleanup.h"
#include "driver/interrupt.h"
#include "common/messages.h"
#include "driver/options.h"
#include "driver/passloop.h"
#include "driver/runfolder.h"
#include "platform/platform.h"
#include "driver/trace.h"

namespace {
constexpr int EndCheckpoint = 84;
}

int runKelvad(int argc, char** argv) {
    initGlobals();
    makeStandardStreamsBinary();
    installInterruptHandler(onInterrupt);
    ignoreFileSizeSignal();
    checkCommandLength(argc, argv);
    parseArgs(argc, argv);
    if (bannerOn)
        printBanner();
    // From the first assembler run on (from the trace file's opening with "+info"),
    // this run alone uses the folder's "tmpbra00", "tmpbra01" and "kelvad.ifo".
    takeFolderLock();
    refuseLeftoverOldText();
    runPasses();
    writeCheckpoint(EndCheckpoint);
    closeAll();
    return ExitOk;
}
