// Creating the temporary output file and putting it in place of a source, on POSIX systems.
#include "platform/platform.h"
#include "platform/storage.h"

#include "platform/oldtext.h"
#include "platform/properties.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/cleanup.h"
#include "common/messages.h"

namespace {

constexpr size_t CopyChunk = 1 << 16;  // bytes moved per read when a rename is refused
const char* const BesideName = "tmpbra00.beside";  // the copy beside a source on another file system
constexpr int BesideAttempts = 8;  // names taken from under the run before it gives up the copy beside

// Why the last replaceFile failed, for the line after error 1.
std::string problem;

void noteProblem(const std::string& what) {
    problem = what;
}

void noteSystemProblem(const char* what) {
    problem = std::string(what) + ": " + strerror(errno);
}

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

// True when something stands under `name` (or it cannot be told).
bool lstatExists(const char* name) {
    struct stat info;
    return lstat(name, &info) == 0 || errno != ENOENT;
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

// Opens the one file `name` that copies beside a source in its folder go through,
// emptied, or -1. A run killed during the copy leaves it, and the next copy there
// takes it over: a lock on it tells a file in use from one left behind, and a file
// found under the name after the lock must still be the one locked (the run before
// may just have renamed it over its source). A file system without locks leaves it
// unguarded, as the folder lock does.
int openBesideFile(const std::string& name) {
    for (int attempt = 0; attempt < BesideAttempts; ++attempt) {
        int fd = open(name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        // A symbolic link there is removed, never followed.
        if (fd < 0 && errno == ELOOP && unlink(name.c_str()) == 0)
            continue;
        if (fd < 0)
            return -1;
        int locked;
        while ((locked = flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
        }
        struct stat info;
        if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
            close(fd);
            return -1;
        }
        bool named = stillNamed(name.c_str(), info);
        // Another name for the file (a hard link made there) must not see the copy.
        if (named && info.st_nlink == 1 && ftruncate(fd, 0) == 0)
            return fd;
        if (named)
            unlink(name.c_str());
        close(fd);
        if (locked != 0 && !named)
            return -1;
    }
    return -1;
}

// Copies `temp` into the file "tmpbra00.beside" in the directory of `target`,
// with `mode` and the target's other properties, and renames it over `target`
// there: one step on the target's own file system. Nothing is left behind unless
// the result is BesideReplaced.
BesideResult replaceFromBeside(int text, const char* target, mode_t mode) {
    std::string name = target;
    size_t slash = name.rfind('/');
    name = (slash == std::string::npos ? std::string() : name.substr(0, slash + 1)) + BesideName;
    int fd = openBesideFile(name);
    if (fd < 0) {
        noteSystemProblem("no new file can go beside it");
        return BesideRefused;
    }
    FILE* out = fdopen(fd, "wb");
    int reader = out && lseek(text, 0, SEEK_SET) == 0 ? dup(text) : -1;
    FILE* in = reader >= 0 ? fdopen(reader, "rb") : nullptr;
    if (!in && reader >= 0)
        close(reader);
    bool ok = in && copyStreamBytes(in, out) && fflush(out) == 0 && keepOwner(fd, target) &&
              fchmod(fd, mode) == 0 && keepProperties(target, fd, mode) && flushDescriptor(fd);
    if (!ok)
        noteSystemProblem("copying the text beside it failed");
    if (in)
        fclose(in);
    // The rename comes before the close, which drops the lock on the name.
    bool renamed = ok && rename(name.c_str(), target) == 0;
    if (ok && !renamed)
        noteSystemProblem("the copy beside it could not take its name");
    if (!renamed)
        unlink(name.c_str());
    if (out ? fclose(out) != 0 : close(fd) != 0)
        ok = false;
    if (renamed) {
        flushDirectoryOf(target);
        return BesideReplaced;
    }
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

// Creates `name` afresh (whatever stood there goes) for reading and writing.
int createFresh(const char* name) {
    unlink(name);
    return open(name, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
}

// Writes the name of the file whose old text "tmpbra01" will hold, flushed, so a
// later run that finds "tmpbra01" can tell whose it is.
bool noteOldTextOwner(const char* target) {
    int fd = createFresh(OldTextOwnerName);
    if (fd < 0)
        return false;
    std::string line = std::string(target) + "\n";
    bool ok = writeDescriptor(fd, line.data(), line.size()) && flushDescriptor(fd);
    return close(fd) == 0 && ok;
}

// Gives the whole, flushed copy its name "tmpbra01". The name was free when the
// copy began, and other runs wait for the folder's lock.
bool nameOldText() {
    return !lstatExists(OldTextName) && rename(OldTextPartName, OldTextName) == 0;
}

// A flushed copy of the text of `fd` in "tmpbra01", open for reading; -1 if it
// cannot be made (nothing is then left behind). It is written under another name
// and takes its own only when whole, so "tmpbra01" never holds a part of the old
// text; the name of `target` goes before it, in "tmpbra01.name".
int keepOldText(int fd, const char* target, std::vector<char>& chunk) {
    if (!noteOldTextOwner(target)) {
        noteSystemProblem("'tmpbra01.name' cannot be written");
        unlink(OldTextOwnerName);
        return -1;
    }
    int old = createFresh(OldTextPartName);
    if (old >= 0 && overwriteFrom(fd, old, chunk) && nameOldText()) {
        flushDirectoryOf(OldTextName);
        return old;
    }
    noteSystemProblem("the copy of its old text in 'tmpbra01' cannot be made");
    if (old >= 0)
        close(old);
    unlink(OldTextPartName);
    unlink(OldTextOwnerName);
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
    struct stat targetInfo;
    in = dup(text);
    out = in < 0 ? -1 : open(target, O_RDWR | O_CLOEXEC);
    old = -1;
    // Writing into the file would give its other names the new text too.
    if (out >= 0 && fstat(out, &targetInfo) == 0 && targetInfo.st_nlink > 1)
        noteProblem("it has other hard links, which would get the new text too");
    else if (out >= 0 && fstat(in, &info) == 0 && !reserveSpace(out, info.st_size))
        noteSystemProblem("no room can be reserved for the new text");
    else if (out >= 0 && fstat(in, &info) == 0 && (old = keepOldText(out, target, chunk)) >= 0)
        return true;
    else if (out < 0)
        noteSystemProblem("it cannot be opened for writing");
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
    if (lstatExists(OldTextName)) {
        noteProblem("'tmpbra01' is in the way, the old text of the file 'tmpbra01.name' names: copy it over "
                    "that file, remove it, and run again");
        return false;
    }
    std::vector<char> chunk(CopyChunk);
    sigset_t saved;
    holdStopSignals(&saved);
    int in, out, old;
    if (!prepareCopy(text, target, chunk, in, out, old)) {
        sigprocmask(SIG_SETMASK, &saved, nullptr);
        return false;
    }
    bool copied = overwriteFrom(in, out, chunk);
    if (!copied)
        noteSystemProblem("writing the new text into it failed; its old text is back");
    bool restored = copied || overwriteFrom(old, out, chunk);
    close(in);
    close(out);
    close(old);
    if (restored) {
        unlink(OldTextName);
        unlink(OldTextOwnerName);
        flushDirectoryOf(OldTextName);
    }
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
        if (!keepProperties(target, text, mode)) {
            noteProblem("its access control list can be neither copied nor made up for");
            return false;
        }
    }
    if (!flushDescriptor(text)) {
        noteSystemProblem("the new text cannot be flushed to the disk");
        return false;
    }
    if (!stillNamed(temp, textInfo))
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

std::string replaceProblem() {
    return problem;
}

void removeOwnFile(const char* name, const FileIdentity& own) {
    struct stat info;
    if (lstat(name, &info) == 0 && own.device == static_cast<unsigned long long>(info.st_dev) &&
        own.index == static_cast<unsigned long long>(info.st_ino))
        unlink(name);
}

bool replaceFile(const char* temp, const char* target, const FileIdentity* own) {
    problem.clear();
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
