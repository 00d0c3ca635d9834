// Settles which files a pass may rewrite: each file once, never one of the run's own.
#pragma once

// Refuses (error 3 with the name, status 1) every listed name that leads to no
// regular file or to one of the run's own files ("tmpbra00", the tag file, the
// trace file), and makes the records that name one file (by identity, not by
// spelling) one record under the first name, its errors in line order (on a
// line listed twice, the first record's error). Names that cannot be examined
// are left to the scan, whose open reports them. Opens nothing for reading.
void checkListedFiles();
