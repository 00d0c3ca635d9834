// How the POSIX side gets data onto stable storage: plain POSIX calls everywhere,
// with the Linux file system calls where the build has them.
#pragma once

#include <sys/types.h>

// True when the system has the data of `fd` on stable storage. A file system that
// cannot flush at all (it says so with EINVAL or ENOTSUP) counts as done.
bool flushDescriptor(int fd);

// Reserves room for `size` bytes in `fd` without changing its length, so a full
// disk shows before a byte of it is overwritten. False where that cannot be
// promised; the copy into a source is then refused.
bool reserveSpace(int fd, off_t size);
