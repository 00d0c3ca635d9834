// Knowing a file by what it is rather than by its name, on POSIX systems.
#include "platform/platform.h"

#include <sys/stat.h>

#include <cstdlib>
#include <string>

namespace {

FileIdentity identityOf(const struct stat& info) {
    return FileIdentity{static_cast<unsigned long long>(info.st_dev),
                        static_cast<unsigned long long>(info.st_ino)};
}

}  // namespace

bool sameFile(const FileIdentity& a, const FileIdentity& b) {
    return a.device == b.device && a.index == b.index;
}

FileKind identifyFile(const char* name, FileIdentity& identity) {
    struct stat info;
    if (stat(name, &info) != 0)
        return FileUnknown;
    identity = identityOf(info);
    return S_ISREG(info.st_mode) ? FileRegular : FileSpecial;
}

bool identifyStream(FILE* stream, FileIdentity& identity) {
    struct stat info;
    if (!stream || fstat(fileno(stream), &info) != 0)
        return false;
    identity = identityOf(info);
    return true;
}

std::string replaceableName(const char* name) {
    struct stat info;
    if (lstat(name, &info) != 0 || !S_ISLNK(info.st_mode))
        return name;
    // A link is followed to its end, so the file itself gets the new text.
    char* resolved = realpath(name, nullptr);
    if (!resolved)
        return name;
    std::string path = resolved;
    free(resolved);
    return path;
}

bool sameStamp(const FileStamp& a, const FileStamp& b) {
    return sameFile(a.identity, b.identity) && a.size == b.size && a.modified == b.modified && a.changed == b.changed;
}

bool stampFile(const char* name, FileStamp& stamp) {
    struct stat info;
    if (stat(name, &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    constexpr unsigned long long Billion = 1000000000ULL;
    stamp.identity = identityOf(info);
    stamp.size = static_cast<unsigned long long>(info.st_size);
    stamp.modified = static_cast<unsigned long long>(info.st_mtim.tv_sec) * Billion + info.st_mtim.tv_nsec;
    stamp.changed = static_cast<unsigned long long>(info.st_ctim.tv_sec) * Billion + info.st_ctim.tv_nsec;
    return true;
}
