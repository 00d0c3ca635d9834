// Creating the temporary output file and putting it in place of a source, on POSIX systems.
#include "driver/platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

namespace {

constexpr size_t CopyChunk = 1 << 16;  // bytes moved per read when a rename is refused

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
    std::vector<char> chunk(CopyChunk);
    bool ok = true;
    for (;;) {
        size_t got = fread(chunk.data(), 1, chunk.size(), in);
        if (got == 0)
            break;
        if (fwrite(chunk.data(), 1, got, out) != got) {
            ok = false;
            break;
        }
    }
    if (ferror(in))
        ok = false;
    fclose(in);
    if (fclose(out) != 0)
        ok = false;
    return ok;
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
    if (stat(target, &info) == 0)
        chmod(temp, info.st_mode & 07777);
    if (rename(temp, target) == 0)
        return true;
    // Refused, typically because the target lies on another file system than the
    // temporary: write the text into the target itself. Its own permission bits stay.
    if (!copyFileBytes(temp, target))
        return false;
    unlink(temp);
    return true;
}
