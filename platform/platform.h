// The calls that differ between operating systems, behind one small interface.
#pragma once

#include <cstdio>
#include <string>

// Puts the standard streams in binary mode where the system would translate line
// ends, so messages are the same bytes everywhere; nothing to do on POSIX systems.
void makeStandardStreamsBinary();

// Installs `handler` for the stop requests: the console interrupt (SIGINT, Ctrl+C),
// SIGTERM and SIGHUP (on Windows also Ctrl+Break and the console's close, log-off
// and shut-down events, all handed on as SIGINT or SIGTERM).
void installInterruptHandler(void (*handler)(int));

// Sets the stop requests to be ignored (first step of the handler).
void ignoreInterrupt();

// Kills the program that runProgram is running, with whatever it started, and
// waits until it has ended; nothing when none runs. Safe inside the handler.
void stopRunningProgram();

// Ends the process as `signalNumber` would have ended it without a handler (on
// Windows, with status 128 + the number). Safe inside the handler.
[[noreturn]] void endBySignal(int signalNumber);

// Makes a write beyond the file-size limit fail like any other write instead of
// ending the process; programs started later get the default back.
void ignoreFileSizeSignal();

// Writes raw bytes to a descriptor; true when every byte went out. Safe inside a
// signal handler.
bool writeDescriptor(int fd, const char* text, size_t size);

// Closes a descriptor and ends the process at once with `status`; both are safe
// inside a signal handler.
void closeDescriptor(int fd);
[[noreturn]] void exitAtOnce(int status);

// Starts `program` (looked up in the current directory, then in PATH) with
// `argv` as its complete argument list, waits, and returns its exit status;
// 128 + the signal number for a child ended by a signal (on Windows, 255 for an
// exit code above INT_MAX, as an exception leaves); -1 if it could not be started.
int runProgram(const char* program, const char* const* argv);

// How taking the folder's lock went.
enum FolderLock {
    FolderLockTaken,        // held until the process ends
    FolderLockUnsupported,  // the file system has no locks: the run goes unguarded
    FolderLockRefused,      // the folder cannot be opened for its lock (errno says why, 0 if unknown)
};

// Takes the lock on the current folder, waiting while another run holds it (saying
// so once on standard error), and keeps it until the process ends, however it
// ends: the system drops it then, so no stale lock is ever left. Runs sharing a
// folder share "tmpbra00".
FolderLock lockWorkingFolder();

// What a file is, whatever name reaches it: the device (volume serial number on
// Windows) and the inode (file index) of the file itself, links followed.
struct FileIdentity {
    unsigned long long device;
    unsigned long long index;
};

bool sameFile(const FileIdentity& a, const FileIdentity& b);

// What tells one text of a file from another without reading it: the file a
// name leads to, its size, and the times of its last write and last change (in
// the system's own units; the change time also moves when the file is written
// through another name, or its write time is set back).
struct FileStamp {
    FileIdentity identity;
    unsigned long long size;
    unsigned long long modified;
    unsigned long long changed;
};

bool sameStamp(const FileStamp& a, const FileStamp& b);

// The stamp of the regular file `name` leads to, links followed; false when it
// leads to no regular file or cannot be examined.
bool stampFile(const char* name, FileStamp& stamp);

// Waits for the lock under which runs of this tool, in any folder, check and
// replace the file `name` leads to, and holds it until unlockFileToReplace. One
// such lock is held at a time and only while one file is checked and replaced,
// so two runs never wait for each other. Where there is no lock to be had (no
// such file, a file system without locks), the run goes on unguarded.
void lockFileToReplace(const char* name);
void unlockFileToReplace();

// What a name leads to, links followed.
enum FileKind {
    FileUnknown,  // nothing, or it cannot be examined
    FileRegular,  // a plain file
    FileSpecial,  // a directory, device, FIFO, socket: never read or replaced
};

// Examines `name` without opening it for reading (a FIFO would block) and gives
// its kind and, unless FileUnknown, its identity.
FileKind identifyFile(const char* name, FileIdentity& identity);

// The identity of an open stream's file; false when the system cannot tell.
bool identifyStream(FILE* stream, FileIdentity& identity);

// The name under which the file that `name` reaches can be replaced: for a
// symbolic link, the path of the file at the end of its chain, so that the
// link stays a link; any other name as it is.
std::string replaceableName(const char* name);

// Opens `name` for writing as a fresh file: an existing symbolic link is removed,
// never followed. Null if it cannot be created.
FILE* openFreshOutput(const char* name);

// Puts the text of `temp` in place of `target` so that `target` always holds its
// old or its whole new text, also after a power cut, keeping target's permission
// bits. The new text is flushed before it takes the name, the directory after.
// Tries a rename in one step; then a copy to a new file in target's directory
// renamed over it; then, where that directory takes no new file (but not when the
// copy itself failed), a copy into `target` itself: on POSIX systems only with
// the space reserved and a flushed copy of the old text in "tmpbra01" first,
// interrupts held until it is done (if it fails half-way and the old text cannot
// be put back, error 19 and a fatal exit); on Windows that copy is refused.
// With `own`, only that file goes in place: where another file stands under the
// name `temp` meanwhile, nothing is done. Returns false, with `temp` left in
// place and `target` untouched, when none works.
bool replaceFile(const char* temp, const char* target, const FileIdentity* own = nullptr);

// Removes the file `name`, so that what stands under the name later is new: a
// read-only file goes too, as a POSIX unlink lets it; a link goes, not what it
// names. True when no file stands under the name afterwards (also when none
// did); false when it cannot be removed or is a directory.
bool removeStaleFile(const char* name);

// True when a run cut short during a copy into a source left "tmpbra01" in the
// current folder; `owner` then gets the name of the source whose old text it
// holds (empty when that is not known). Without one, removes what such a run
// may have left around it. Call it holding the folder's lock.
bool findLeftoverOldText(std::string& owner);

// The cause of the last failed replaceFile, in words for a line on standard
// error ("it has other hard links, ..."); empty when none is known.
std::string replaceProblem();

// Removes the file `name` only while it is still the file `own`: a file another
// program has put under the name since is left alone.
void removeOwnFile(const char* name, const FileIdentity& own);
