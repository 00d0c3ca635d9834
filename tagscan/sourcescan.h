// Finds each reported line in its source file and annotates its branch error.
#pragma once

// Reads every file of fileList (settled by checkListedFiles first) as far as its
// last error: plain errors get the inverse code of their branch word, structured
// errors their keyword and owner line (the innermost open statement of their kind);
// each file's errors then stand in the order of the lines they now name. Ends the
// run through fatalExit on errors 3, 7, 14, 15 and 16 (status 1), and 10 (status 3)
// when a source shows a read error.
void scanSources();
