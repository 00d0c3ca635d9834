// A replaced file's extended attributes, access control list and file flags, with
// the Linux calls: the list is the attribute "system.posix_acl_access", so one
// loop over the attributes carries it.
#include "platform/properties.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const AccessListName = "system.posix_acl_access";

// The file flags a replaced file takes over: those any owner may set. Immutable
// and append-only would refuse the rename itself.
constexpr int KeptFlags = FS_NODUMP_FL | FS_NOATIME_FL | FS_SYNC_FL | FS_COMPR_FL | FS_NOCOMP_FL;

// The layout of an access control list in its attribute: a version word, then
// entries of a tag, a permission and an id, little-endian.
constexpr size_t AccessListHeader = 4;
constexpr size_t AccessListEntry = 8;
constexpr uint16_t GroupObjectTag = 0x04;
constexpr uint16_t MaskTag = 0x10;

// The names in a list as listxattr gives it (each ends in NUL).
std::vector<std::string> splitNames(const std::vector<char>& list) {
    std::vector<std::string> names;
    for (size_t at = 0; at < list.size();) {
        names.emplace_back(list.data() + at);
        at += names.back().size() + 1;
    }
    return names;
}

// Calls `get(buffer, size)` (a listxattr or getxattr) until the buffer is big enough;
// false when the attribute or the list cannot be read.
template <typename Get>
bool readSized(std::vector<char>& buffer, Get get) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        ssize_t size = get(nullptr, 0);
        if (size < 0)
            return false;
        buffer.resize(size);
        ssize_t got = size == 0 ? 0 : get(buffer.data(), buffer.size());
        if (got >= 0) {
            buffer.resize(got);
            return true;
        }
        if (errno != ERANGE)
            return false;
    }
    return false;
}

std::vector<std::string> sourceNames(const char* source) {
    std::vector<char> list;
    if (!readSized(list, [&](char* buffer, size_t size) { return listxattr(source, buffer, size); }))
        return {};
    return splitNames(list);
}

std::vector<std::string> ownNames(int fd) {
    std::vector<char> list;
    if (!readSized(list, [&](char* buffer, size_t size) { return flistxattr(fd, buffer, size); }))
        return {};
    return splitNames(list);
}

uint16_t littleEndian16(const char* at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(at[0]) | static_cast<unsigned char>(at[1]) << 8);
}

// The permission bits the owning group of a file with this access list really
// has: its own entry within the mask. 7 where the list tells nothing.
mode_t owningGroupRights(const std::vector<char>& list) {
    mode_t group = 7, mask = 7;
    for (size_t at = AccessListHeader; at + AccessListEntry <= list.size(); at += AccessListEntry) {
        uint16_t tag = littleEndian16(list.data() + at);
        mode_t rights = littleEndian16(list.data() + at + 2) & 7;
        if (tag == GroupObjectTag)
            group = rights;
        else if (tag == MaskTag)
            mask = rights;
    }
    return group & mask;
}

// Copies the file flags anyone owning the file may set; a file system without
// flags, or one that refuses them, leaves the new file's own.
void keepFlags(const char* source, int fd) {
    int from = open(source, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (from < 0)
        return;
    int sourceFlags = 0, flags = 0;
    bool known = ioctl(from, FS_IOC_GETFLAGS, &sourceFlags) == 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    close(from);
    int wanted = (flags & ~KeptFlags) | (sourceFlags & KeptFlags);
    if (known && wanted != flags)
        ioctl(fd, FS_IOC_SETFLAGS, &wanted);
}

}  // namespace

bool keepProperties(const char* source, int fd, mode_t mode) {
    std::vector<std::string> names = sourceNames(source);
    bool safe = true;
    // An attribute of the new file's own that the source lacks goes: an access list
    // from the folder's default could grant what the source did not.
    for (const std::string& name : ownNames(fd))
        if (std::find(names.begin(), names.end(), name) == names.end() && fremovexattr(fd, name.c_str()) != 0 &&
            name == AccessListName)
            safe = false;
    std::vector<char> value;
    for (const std::string& name : names) {
        bool read = readSized(value, [&](char* buffer, size_t size) { return getxattr(source, name.c_str(), buffer, size); });
        if (read && fsetxattr(fd, name.c_str(), value.data(), value.size(), 0) == 0)
            continue;
        // With a list, the group bits of the mode are its mask: without the list they
        // would be the owning group's, wider than it had. Narrow them.
        if (name == AccessListName) {
            mode_t narrowed = (mode & ~static_cast<mode_t>(070)) | (read ? owningGroupRights(value) << 3 : 0);
            if (fchmod(fd, narrowed & mode) != 0)
                safe = false;
        }
    }
    keepFlags(source, fd);
    return safe;
}
