// The lock under which runs in any folder check and replace one file, on POSIX systems.
#include "platform/platform.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace {

int lockedFile = -1;  // descriptor holding the lock, or -1

}  // namespace

void lockFileToReplace(const char* name) {
    unlockFileToReplace();
    // The lock is on the file that stands under the name now. A run that waited
    // for it while another replaced the file finds, once it has it, a file with
    // another stamp, and takes that for the change it is. O_NONBLOCK: a FIFO put
    // there meanwhile must not hold the run.
    int fd = open(name, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return;
    while (flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            close(fd);
            return;
        }
    }
    lockedFile = fd;
}

void unlockFileToReplace() {
    if (lockedFile < 0)
        return;
    close(lockedFile);
    lockedFile = -1;
}
