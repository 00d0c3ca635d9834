// Closing the streams at the end of a run, on a fatal error and one slot at a time.
#include "common/cleanup.h"

#include <cstdio>

#include "common/globals.h"
#include "common/lineio.h"
#include "common/messages.h"

const char* const TempFileName = "tmpbra00";
void (*removeTemporaryFile)() = nullptr;

[[noreturn]] void fatalExit(int status) {
    closeStream(TagSlot);
    closeStream(SourceSlot);
    // Only a file still being written is incomplete; a closed one may be needed.
    if (outputOpen) {
        closeStream(OutputSlot);
        if (!optNoDelete && removeTemporaryFile)
            removeTemporaryFile();
    }
    throw ExitRequest{status};
}

[[noreturn]] void fatalOutOfMemory() {
    reportError(ErrorNoMemory, nullptr);
    fatalExit(ExitResource);
}

void closeAll() {
    for (int slot = 0; slot < SlotCount; ++slot)
        closeStream(slot);
    if (!traceOn)
        return;
    openDescriptors[SlotCount] = -1;
    fclose(traceStream);
    traceStream = nullptr;
    traceOn = 0;
}

void closeStream(int slot) {
    if (!openFlags[slot])
        return;
    if (slot == OutputSlot)
        flushOutput();
    // Forget the descriptor first, so an interrupt never closes it a second time.
    detachStream(slot);
    FILE* stream = streams[slot];
    int failed = ferror(stream) != 0;
    // The last buffered bytes of the output go out in fclose: its failure is a write error.
    if (fclose(stream) != 0 && slot == OutputSlot)
        failed = 1;
    streamErrors[slot] = failed;
    streams[slot] = nullptr;
    openFlags[slot] = 0;
}
