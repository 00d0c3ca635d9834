// Keeps this run's generated labels apart from those that earlier runs left in the sources.
#pragma once

// Raises labelNo to the highest number of a "..lopN:" line in the working source
// and in every file of fileList that this run has not searched yet, so that no
// label this run writes is defined twice. Each file is searched once per run; one
// that cannot be opened holds nothing to find. Ends the run through fatalExit
// with error 10 (status 3) when a file shows a read error.
void skipEarlierLabels();

// Ends the run with error 17 (status 1) when fileList reports a branch to a label
// that this run wrote within reach of every branch to it: the name then stands
// for a second definition too, from an earlier run in a file not searched.
void stopOnRedefinedLabels();

// Starts a run afresh: no file searched yet, no label of this run written.
void startLabelScan();

// The highest N of a line beginning "..lopN:" (decimal digits, at most 65535
// counted) in the rest of the slot's stream, 0 for none.
int highestLabelIn(int slot);
