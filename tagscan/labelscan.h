// Keeps this run's generated labels apart from those that earlier runs left in the sources.
#pragma once

#include <string>
#include <vector>

// What one read of a source file finds.
struct FileFindings {
    int highest = 0;                    // highest N of a "..lopN:" line (at most 65535), 0 for none
    std::vector<std::string> includes;  // names of its include lines, as written, in order
    int wanted = 0;                     // a label number to look for, 0 for none
    bool definesWanted = false;         // a line defines "..lop<wanted>"
};

// Raises labelNo to the highest number of a "..lopN:" line in the working source,
// every file of fileList, and every file these include, each searched once per
// run; one that cannot be opened holds nothing to find. Ends the run through
// fatalExit with error 10 (status 3) when a file shows a read error.
void skipEarlierLabels();

// Searches the working source and the files it includes, as skipEarlierLabels
// does, without looking at fileList: the program as it stands before a run.
// Every file searched earlier in the run that has changed since (not by this
// run) is searched again.
void searchWorkingProgram();

// The names of every file searched so far in this run.
const std::vector<std::string>& searchedFileNames();

// Ends the run with error 17 (status 1) when fileList reports a branch to a label
// of the generated form ("..lop" and digits): such a label may be defined twice,
// and a branch to it is never expanded. Standard error names the searched files
// that define it.
void stopOnGeneratedTargets();

// Starts a run afresh: no file searched yet, no label of this run written.
void startLabelScan();

// Reads the rest of the slot's stream once: the labels of earlier runs (a line
// of optional blanks, "..lop", decimal digits and a colon) and the include
// lines. Ends the run with error 10 (status 3) when it holds a line too long
// for memory.
void searchStream(int slot, FileFindings& found);

// Searches the file `name` with searchStream; false, with nothing found, when
// it is no regular file or cannot be opened.
bool searchFile(const std::string& name, FileFindings& found);

// The highest N of such a label line in the rest of the slot's stream, 0 for none.
int highestLabelIn(int slot);
