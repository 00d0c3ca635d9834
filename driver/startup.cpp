// The start-up sequence of a run, from initGlobals to the normal end.
#include "driver/startup.h"

#include "common/cleanup.h"
#include "common/globals.h"
#include "common/messages.h"
#include "driver/banner.h"
#include "driver/interrupt.h"
#include "driver/options.h"
#include "driver/passloop.h"
#include "driver/runfolder.h"
#include "driver/trace.h"
#include "platform/platform.h"

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
