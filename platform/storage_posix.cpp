// Flushing and reserving space with plain POSIX calls, for systems other than
// Linux (and Linux builds with its extensions switched off).
#include "platform/storage.h"

#include <unistd.h>

#include <cerrno>

bool flushDescriptor(int fd) {
    int result;
    do
        result = fsync(fd);
    while (result != 0 && errno == EINTR);
    return result == 0 || errno == EINVAL || errno == ENOTSUP;
}

// Without a way to reserve blocks, a full disk could show half-way through the
// copy into a source; refusing it keeps the source whole.
bool reserveSpace(int, off_t) {
    return false;
}
