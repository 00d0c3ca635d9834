// The trace file "kelvad.ifo": its header and its checkpoint lines.
#pragma once

// Opens "kelvad.ifo" afresh and writes its header: the title, the version and
// the `count` words from the "+info" word on. Error 2 and fatalExit(3) when it
// cannot be opened; error 2 alone (parsing goes on) when the header cannot be written.
void openTraceFile(int count, char** words);

// Writes the checkpoint line "KELVAD(<number>)" and flushes it, when tracing.
void writeCheckpoint(int number);
