// Creating the temporary output file and putting it in place of a source, on POSIX systems.
#include "driver/platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr size_t CopyChunk = 1 << 16;  // bytes moved per read when a rename is refused

// Copies every byte of `in` into `out`; true only if every read and write
// succeeded. Closes neither.
bool copyStreamBytes(FILE* in, FILE* out) {
    std::vector<char> chunk(CopyChunk);
    for (;;) {
        size_t got = fread(chunk.data(), 1, chunk.size(), in);
        if (got == 0)
            return !ferror(in);
        if (fwrite(chunk.data(), 1, got, out) != got)
            return false;
    }
}

// Copies every byte of the file `from` into `to` (emptied first); true only if
// every read, write and the final close succeeded.
bool copyFileBytes(const char* from, const char* to) {
    FILE* in = fopen(from, "rb");
    if (!in)
        return false;
    FILE* out = fopen(to, "wb");
    if (!out) {
        fclose(in);
        return false;
    }
    bool ok = copyStreamBytes(in, out);
    fclose(in);
    if (fclose(out) != 0)
        ok = false;
    return ok;
}

// Gives the new file `fd` the owner and group of `target`, as far as the system
// allows: a root run must not make a user's file root's, and a user may still
// pass on the group. Comes before the permission bits, since a change of owner
// clears the set-user-ID bit. Always true: a refusal keeps the run's own owner.
bool keepOwner(int fd, const char* target) {
    struct stat info;
    if (stat(target, &info) != 0)
        return true;
    if (fchown(fd, info.st_uid, info.st_gid) != 0)
        (void)!fchown(fd, static_cast<uid_t>(-1), info.st_gid);
    return true;
}

// How bringing the text over beside the target went.
enum BesideResult {
    BesideReplaced,  // the target holds the new text
    BesideRefused,   // no new file there, or it could not take the target's name
    BesideFailed,    // the copy failed (a full disk, say): writing into the target would fail too
};

// Copies `temp` into a new file in the directory of `target`, with `mode`, and
// renames it over `target` there: one step on the target's own file system.
// Nothing is left behind unless the result is BesideReplaced.
BesideResult replaceFromBeside(const char* temp, const char* target, mode_t mode) {
    std::string name = target;
    size_t slash = name.rfind('/');
    name = (slash == std::string::npos ? std::string() : name.substr(0, slash + 1)) + "tmpbra00.XXXXXX";
    int fd = mkstemp(name.data());
    if (fd < 0)
        return BesideRefused;
    FILE* out = fdopen(fd, "wb");
    FILE* in = out ? fopen(temp, "rb") : nullptr;
    bool ok = in && copyStreamBytes(in, out) && keepOwner(fd, target) && fchmod(fd, mode) == 0;
    if (in)
        fclose(in);
    if (out ? fclose(out) != 0 : close(fd) != 0)
        ok = false;
    if (ok && rename(name.c_str(), target) == 0)
        return BesideReplaced;
    unlink(name.c_str());
    return ok ? BesideRefused : BesideFailed;
}

// The same for the temporary `temp`, given the target's `info`.
void keepOwnerOf(const char* temp, const struct stat& info) {
    if (chown(temp, info.st_uid, info.st_gid) != 0)
        (void)!chown(temp, static_cast<uid_t>(-1), info.st_gid);
}

}  // namespace

FILE* openFreshOutput(const char* name) {
    // Whatever stands under the name goes first: a link is never written through,
    // and a hard-linked file elsewhere is never emptied. A directory stays and
    // makes the exclusive create below fail.
    struct stat info;
    if (lstat(name, &info) == 0 && !S_ISDIR(info.st_mode))
        unlink(name);
    int fd;
    do
        fd = open(name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return nullptr;
    FILE* stream = fdopen(fd, "wb");
    if (!stream)
        close(fd);
    return stream;
}

bool replaceFile(const char* temp, const char* target) {
    struct stat info;
    mode_t mode = 0644;
    if (stat(target, &info) == 0) {
        mode = info.st_mode & 07777;
        keepOwnerOf(temp, info);
        chmod(temp, mode);
    }
    if (rename(temp, target) == 0)
        return true;
    // Refused, typically because the target lies on another file system than the
    // temporary: bring the text over there first, so the target still changes in one step.
    BesideResult beside = replaceFromBeside(temp, target, mode);
    if (beside == BesideReplaced) {
        unlink(temp);
        return true;
    }
    // A copy that failed there would fail in the target too, after emptying it.
    if (beside == BesideFailed)
        return false;
    // Its directory takes no new file: write the text into the target itself.
    // Its own permission bits stay, and "tmpbra00" holds the whole text until the
    // copy is complete.
    if (!copyFileBytes(temp, target))
        return false;
    unlink(temp);
    return true;
}
