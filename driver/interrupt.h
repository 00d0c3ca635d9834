// The console-interrupt handler.
#pragma once

// Handles SIGINT: ignores further interrupts, writes "\n" to standard output,
// closes the open stream descriptors and ends the process with status 4.
// Leaves "tmpbra00" in place. Only signal-safe calls.
void onInterrupt(int signalNumber);
