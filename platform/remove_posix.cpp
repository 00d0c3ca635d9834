// Removing a file that must not be read again, on POSIX systems.
#include "platform/platform.h"

#include <unistd.h>

#include <cerrno>

bool removeStaleFile(const char* name) {
    if (unlink(name) == 0)
        return true;
    // No such entry, or a path through something that is no directory: nothing to remove.
    return errno == ENOENT || errno == ENOTDIR;
}
