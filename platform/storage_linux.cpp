// Flushing and reserving space with the Linux calls: data-only flushes, the file
// system's type, and a reservation that keeps the file's length.
#include "platform/storage.h"

#include <fcntl.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace {

// File systems that write an overwritten block to a new place, so space reserved
// beforehand does not cover the copy into a source: the copy is refused there.
// The magic numbers are 32 bits wide whatever the width of `long`.
const uint32_t CopyOnWriteFileSystems[] = {
    0x9123683EU,  // btrfs
    0x2FC12FC1U,  // zfs
    0xCA451A4EU,  // bcachefs
};

}  // namespace

bool flushDescriptor(int fd) {
    int result;
    do
        result = fdatasync(fd);
    while (result != 0 && errno == EINTR);
    return result == 0 || errno == EINVAL || errno == ENOTSUP;
}

bool reserveSpace(int fd, off_t size) {
    struct statfs system;
    if (fstatfs(fd, &system) != 0)
        return false;
    for (uint32_t type : CopyOnWriteFileSystems)
        if (static_cast<uint32_t>(system.f_type) == type)
            return false;
    return size == 0 || fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, size) == 0;
}
