// Whether a source still holds the text that the pass's assembler run read.
#pragma once

#include <string>
#include <vector>

// Notes how the files `names` stand now, right before an assembler run; the
// notes of the run before are dropped.
void stampFiles(const std::vector<std::string>& names);

// True when the file stamped under `name` (or, for a name not stamped, the
// stamped file it leads to) is gone, replaced by another, or written or changed
// since: a report about it may describe another text. A file that no stamp
// knows is taken as it stands (one that cannot be examined is left to the
// open that reads it).
bool changedSinceStamp(const char* name);

// Notes that a report of this pass was found to describe another text than the
// file's present one; the first such file is kept for the message.
void noteStaleReport(const char* name);

// The file of the first stale report noted since forgetStaleReport, or empty.
const std::string& staleReportFile();
void forgetStaleReport();

// The label search's side: notes how the file `name` stands right before it is
// searched, so that a later change by another program is seen.
void noteSearchedText(const std::string& name);

// True when the file searched under `name` has changed since; false for a name
// never searched.
bool searchedTextChanged(const std::string& name);

// After this run replaced the file `name` with its own text: the labels it
// holds now are known, and the file needs no new search.
void noteOwnText(const char* name);
