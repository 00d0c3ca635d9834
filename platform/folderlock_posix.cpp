// The lock that keeps two runs from sharing one folder's "tmpbra00" at once, on POSIX systems.
#include "platform/platform.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

void lockWorkingFolder() {
    // A lock on the folder itself leaves no file behind. The descriptor stays open
    // to the end of the process and is not handed to the assembler (close-on-exec),
    // so the lock lasts exactly as long as this run.
    int fd = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    // A file system without locks (ENOLCK, EOPNOTSUPP) leaves the run unguarded, as before.
    while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
}
