// The trace file "kelvad.ifo": its header and its checkpoint lines.
#include "driver/trace.h"

#include <cstdio>

#include "common/cleanup.h"
#include "common/globals.h"
#include "common/messages.h"
#include "driver/banner.h"
#include "platform/platform.h"

namespace {

const char* const TraceFileName = "kelvad.ifo";

}  // namespace

void openTraceFile(int count, char** words) {
    // A second "+info" starts the file again; the first stream must not linger.
    if (traceOn) {
        openDescriptors[SlotCount] = -1;
        fclose(traceStream);
        traceOn = 0;
    }
    // A file of this run's own: whatever stands under the name goes first, so a link
    // (symbolic or hard) to a source never gets the trace; not handed to the assembler.
    traceStream = openFreshOutput(TraceFileName);
    if (!traceStream) {
        reportError(ErrorNoTempFile, nullptr);
        fatalExit(ExitResource);
    }
    traceOn = 1;
    openDescriptors[SlotCount] = fileno(traceStream);
    fputs("===== kelvad ======\n", traceStream);
    fprintf(traceStream, "\t%s\n", VersionText);
    fputs("argment : ", traceStream);
    for (int i = 0; i < count; ++i)
        fprintf(traceStream, "%s ", words[i]);
    fputs("-----------------------\n", traceStream);
    // The header is buffered: a write that fails shows only once it is flushed.
    if (fflush(traceStream) != 0 || ferror(traceStream))
        reportError(ErrorNoTempFile, nullptr);
}

void writeCheckpoint(int number) {
    if (!traceOn)
        return;
    fprintf(traceStream, "%s(%d)\n", "KELVAD", number);
    fflush(traceStream);
}
