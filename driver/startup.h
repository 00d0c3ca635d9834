// The start-up sequence of a run, from initGlobals to the normal end.
#pragma once

// Runs the tool on its command line and returns 0 at the normal end; every
// other end comes as an ExitRequest thrown by fatalExit.
int runKelvad(int argc, char** argv);
