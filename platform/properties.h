// A replaced file's properties beyond its text, owner and permission bits: access
// control lists, extended attributes and file flags, where the system has them.
#pragma once

#include <sys/types.h>

// Gives the new file `fd` (already given `mode`, the permission bits of `source`)
// the extended attributes of `source` that the process can read and set, its
// access control list among them, and drops those of its own that `source` lacks
// (an access control list taken over from its folder's default). Where the list
// of `source` cannot be set, the group bits are narrowed to what its owning group
// may do, so the new file grants no one more than `source` did. False when even
// that fails: the file must not take the name.
bool keepProperties(const char* source, int fd, mode_t mode);
