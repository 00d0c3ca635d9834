// The console-interrupt handler.
#include "driver/interrupt.h"

#include <csignal>

#include "common/globals.h"
#include "common/messages.h"
#include "platform/platform.h"

namespace {
constexpr int StandardOutput = 1;
}

void onInterrupt(int signalNumber) {
    ignoreInterrupt();
    // The assembler goes first and this run waits for it, so no later run meets its files.
    stopRunningProgram();
    // Messages are flushed as they are written, so this lands after all of them.
    if (signalNumber == SIGINT)
        writeDescriptor(StandardOutput, "\n", 1);
    // The streams' descriptors, not the streams: stdio is not safe in a handler.
    for (int slot = 0; slot <= SlotCount; ++slot) {
        int fd = openDescriptors[slot];
        if (fd >= 0)
            closeDescriptor(fd);
    }
    if (signalNumber != SIGINT)
        endBySignal(signalNumber);
    exitAtOnce(ExitInterrupt);
}
