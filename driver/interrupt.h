// The console-interrupt handler.
#pragma once

// Handles the stop requests: ignores further ones, kills the running assembler
// and waits for it, closes the open stream descriptors; for SIGINT writes "\n"
// to standard output and ends the process with status 4, for SIGTERM and SIGHUP
// ends it as the signal would. Leaves "tmpbra00" in place. Only signal-safe calls.
void onInterrupt(int signalNumber);
