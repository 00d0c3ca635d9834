// Creating the temporary output file and putting it in place of a source, on POSIX systems.
#include "platform/platform.h"
#include "platform/storage.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/cleanup.h"
#include "common/messages.h"

namespace {

constexpr size_t CopyChunk = 1 << 16;  // bytes moved per read when a rename is refused
const char* const OldTextName = "tmpbra01";  // the old text of a source while the new is copied into it

// Flushes the directory holding `path`, so a rename into it survives a power cut.
// Nothing depends on it succeeding: either name then leads to a complete text.
void flushDirectoryOf(const char* path) {
    std::string name = path;
    size_t slash = name.rfind('/');
    name = slash == std::string::npos ? std::string(".") : name.substr(0, slash + 1);
    int fd = open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    fsync(fd);
    close(fd);
}

// True while `name` is still the file `info` describes: another program may put a
// file of its own under the name at any time, and only ours may be renamed or removed.
bool stillNamed(const char* name, const struct stat& info) {
    struct stat now;
    return lstat(name, &now) == 0 && now.st_dev == info.st_dev && now.st_ino == info.st_ino;
}

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
BesideResult replaceFromBeside(int text, const char* target, mode_t mode) {
    std::string name = target;
    size_t slash = name.rfind('/');
    name = (slash == std::string::npos ? std::string() : name.substr(0, slash + 1)) + "tmpbra00.XXXXXX";
    int fd = mkstemp(name.data());
    if (fd < 0)
        return BesideRefused;
    FILE* out = fdopen(fd, "wb");
    int reader = out && lseek(text, 0, SEEK_SET) == 0 ? dup(text) : -1;
    FILE* in = reader >= 0 ? fdopen(reader, "rb") : nullptr;
    if (!in && reader >= 0)
        close(reader);
    bool ok = in && copyStreamBytes(in, out) && keepOwner(fd, target) && fchmod(fd, mode) == 0 &&
              fflush(out) == 0 && flushDescriptor(fd);
    if (in)
        fclose(in);
    if (out ? fclose(out) != 0 : close(fd) != 0)
        ok = false;
    if (ok && rename(name.c_str(), target) == 0) {
        flushDirectoryOf(target);
        return BesideReplaced;
    }
    unlink(name.c_str());
    return ok ? BesideRefused : BesideFailed;
}

// Puts every byte of `in` over the start of `out`, cuts `out` to that length and
// flushes it; true only if all of it succeeded.
bool overwriteFrom(int in, int out, std::vector<char>& chunk) {
    if (lseek(in, 0, SEEK_SET) < 0 || lseek(out, 0, SEEK_SET) < 0)
        return false;
    off_t total = 0;
    for (;;) {
        ssize_t got = read(in, chunk.data(), chunk.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            break;
        if (!writeDescriptor(out, chunk.data(), got))
            return false;
        total += got;
    }
    return ftruncate(out, total) == 0 && flushDescriptor(out);
}

// A flushed copy of the text of `fd` in "tmpbra01", open for reading; -1 if it
// cannot be made (nothing is then left behind).
int keepOldText(int fd, std::vector<char>& chunk) {
    int old = open(OldTextName, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (old < 0)
        return -1;
    if (overwriteFrom(fd, old, chunk)) {
        flushDirectoryOf(OldTextName);
        return old;
    }
    close(old);
    unlink(OldTextName);
    return -1;
}

// Holds the console interrupt and the stop requests of build tools and closed
// terminals, so none lands in the middle of a copy into a source.
void holdStopSignals(sigset_t* saved) {
    sigset_t held;
    sigemptyset(&held);
    sigaddset(&held, SIGINT);
    sigaddset(&held, SIGTERM);
    sigaddset(&held, SIGHUP);
    sigprocmask(SIG_BLOCK, &held, saved);
}

// Opens what the copy into `target` needs, reserves the space and keeps the old
// text: `in` the new text, `out` the target, `old` the kept copy. False, with
// nothing left open or behind, where it cannot be done.
bool prepareCopy(int text, const char* target, std::vector<char>& chunk, int& in, int& out, int& old) {
    struct stat info;
    in = dup(text);
    out = in < 0 ? -1 : open(target, O_RDWR | O_CLOEXEC);
    old = -1;
    if (out >= 0 && fstat(in, &info) == 0 && reserveSpace(out, info.st_size) && (old = keepOldText(out, chunk)) >= 0)
        return true;
    for (int fd : {in, out})
        if (fd >= 0)
            close(fd);
    return false;
}

// Writes the text of `temp` into `target` itself, for a target whose directory
// takes no new file. Before a byte is overwritten, the space is reserved and the
// old text is kept, flushed, in "tmpbra01"; a failure half-way puts it back; the
// stop signals wait until it is done. False, the target untouched, where that
// cannot be done; if even putting it back fails, error 19 names the target, and
// "tmpbra01" keeps its old text.
bool copyIntoTarget(int text, const struct stat& textInfo, const char* temp, const char* target) {
    // One left by an earlier run may be the only copy of some file's old text.
    struct stat info;
    if (lstat(OldTextName, &info) == 0 || errno != ENOENT)
        return false;
    std::vector<char> chunk(CopyChunk);
    sigset_t saved;
    holdStopSignals(&saved);
    int in, out, old;
    if (!prepareCopy(text, target, chunk, in, out, old)) {
        sigprocmask(SIG_SETMASK, &saved, nullptr);
        return false;
    }
    bool copied = overwriteFrom(in, out, chunk);
    bool restored = copied || overwriteFrom(old, out, chunk);
    close(in);
    close(out);
    close(old);
    if (restored)
        unlink(OldTextName);
    if (copied && stillNamed(temp, textInfo))
        unlink(temp);
    sigprocmask(SIG_SETMASK, &saved, nullptr);
    if (!restored) {
        reportError(ErrorOldTextKept, target);
        fatalExit(ExitSource);
    }
    return copied;
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

namespace {

// Puts the text open as `text` (the file `textInfo`, named `temp`) in place of
// `target`; see replaceFile.
bool replaceWithText(int text, const struct stat& textInfo, const char* temp, const char* target) {
    struct stat info;
    mode_t mode = 0644;
    if (stat(target, &info) == 0) {
        mode = info.st_mode & 07777;
        keepOwner(text, target);
        fchmod(text, mode);
    }
    if (!flushDescriptor(text) || !stillNamed(temp, textInfo))
        return false;
    if (rename(temp, target) == 0) {
        flushDirectoryOf(target);
        return true;
    }
    // Refused, typically because the target lies on another file system than the
    // temporary: bring the text over there first, so the target still changes in one step.
    BesideResult beside = replaceFromBeside(text, target, mode);
    if (beside == BesideReplaced) {
        if (stillNamed(temp, textInfo))
            unlink(temp);
        return true;
    }
    // A copy that failed there would fail in the target too, after emptying it.
    if (beside == BesideFailed)
        return false;
    // Its directory takes no new file (or the target is a file mounted on its own):
    // write the text into the target itself, which keeps its own permission bits.
    return copyIntoTarget(text, textInfo, temp, target);
}

}  // namespace

bool replaceFile(const char* temp, const char* target, const FileIdentity* own) {
    // Everything but the rename itself works on the file opened here, never again
    // on its name, so a file put under the name meanwhile is found out.
    int text = open(temp, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (text < 0)
        return false;
    struct stat textInfo;
    bool ours = fstat(text, &textInfo) == 0 &&
                (!own || (own->device == static_cast<unsigned long long>(textInfo.st_dev) &&
                          own->index == static_cast<unsigned long long>(textInfo.st_ino)));
    bool replaced = ours && replaceWithText(text, textInfo, temp, target);
    close(text);
    return replaced;
}
