// A source file replaced through "tmpbra00": its text is old or whole new at every moment.
#pragma once

// Opens `fileName` for reading as the source slot's stream and notes which file
// it is. Error 3 with the name and status 1 when it cannot be opened.
void openSource(const char* fileName);

// Makes a fresh "tmpbra00" the output slot's stream and notes which file it is.
// Error 2 and status 1 when it cannot be made.
void openTemporary();

// Closes the source; a read that failed on the way ends the run (error 10, status 3).
void closeSourceChecked();

// Closes both streams and removes "tmpbra00": the source stays as it is.
void abandonFile();

// Closes both streams, checks them, and puts "tmpbra00" in place of `fileName`,
// the source that openSource opened, under the lock other runs take to replace
// it. Where `changedSince` (may be null) says the file changed since its text
// was reported on, "tmpbra00" goes and false is returned, the file untouched.
// Error 2 (status 3) when writing failed or "tmpbra00" is no longer ours; error
// 1 (status 1) when the text cannot go in place, "tmpbra00" then keeping it.
bool putTemporaryInPlace(const char* fileName, bool (*changedSince)(const char* name) = nullptr);
