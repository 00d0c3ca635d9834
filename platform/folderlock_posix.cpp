// The lock that keeps two runs from sharing one folder's "tmpbra00" at once, on POSIX systems.
#include "platform/platform.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

// A descriptor of the folder `path` to lock, or -1 with errno set. A lock on the
// folder itself leaves no file behind. The descriptor stays open to the end of
// the process and is handed to the assembler too (no close-on-exec): a run
// killed outright leaves the folder locked until the assembler it started has
// ended, so no later run meets that assembler's files. A folder its user may not
// list cannot be opened this way (every open mode of a folder needs read
// permission, and a lock on one opened for its path alone is refused), and a
// lock file there would not exclude the runs of a user who locks the folder
// itself: the caller stops such a run.
int openLockDescriptor(const char* path) {
    int fd;
    do
        fd = open(path, O_RDONLY | O_DIRECTORY);
    while (fd < 0 && errno == EINTR);
    return fd;
}

}  // namespace

FolderLock lockWorkingFolder() {
    int fd = openLockDescriptor(".");
    if (fd < 0)
        return FolderLockRefused;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0)
        return FolderLockTaken;
    // A file system without locks (ENOLCK, EOPNOTSUPP).
    if (errno != EWOULDBLOCK)
        return FolderLockUnsupported;
    // Someone else's run: say why this one seems to hang, once.
    fputs("kelvad: waiting for another run in this folder\n", stderr);
    fflush(stderr);
    while (flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR)
            return FolderLockUnsupported;
    }
    return FolderLockTaken;
}
