// The console-interrupt handler.
#include "driver/interrupt.h"

#include "common/globals.h"
#include "common/messages.h"
#include "platform/platform.h"

namespace {
constexpr int StandardOutput = 1;
}

void onInterrupt(int) {
    ignoreInterrupt();
    // Messages are flushed as they are written, so this lands after all of them.
    writeDescriptor(StandardOutput, "\n", 1);
    // The streams' descriptors, not the streams: stdio is not safe in a handler.
    for (int slot = 0; slot <= SlotCount; ++slot) {
        int fd = openDescriptors[slot];
        if (fd >= 0)
            closeDescriptor(fd);
    }
    exitAtOnce(ExitInterrupt);
}
