// The least a safe in-place rewrite must do, for the benchmark to measure the tool against.
//
// benchfloor [--no-fsync] SOURCE
//
// Reads SOURCE in 256 KiB pieces, writes each piece unchanged to the new file "tmpbra00" in the
// current directory, flushes that file to the disk with fsync (left out with --no-fsync, the
// figure for a pass that does not flush), and renames it over SOURCE. Plain system calls, no
// stdio buffer between them: nothing a rewrite could leave out.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr size_t PieceSize = 1 << 18;
const char* const NewName = "tmpbra00";

char piece[PieceSize];

int fail(const char* what) {
    fprintf(stderr, "benchfloor: %s: %s\n", what, strerror(errno));
    return 1;
}

bool writeAll(int fd, const char* data, size_t size) {
    while (size) {
        ssize_t done = write(fd, data, size);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        data += done;
        size -= static_cast<size_t>(done);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    bool flush = !(argc == 3 && strcmp(argv[1], "--no-fsync") == 0);
    if (argc != (flush ? 2 : 3)) {
        fputs("usage: benchfloor [--no-fsync] SOURCE\n", stderr);
        return 2;
    }
    const char* source = argv[argc - 1];
    int in = open(source, O_RDONLY);
    if (in < 0)
        return fail(source);
    int out = open(NewName, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0)
        return fail(NewName);
    for (;;) {
        ssize_t got = read(in, piece, PieceSize);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return fail(source);
        if (got == 0)
            break;
        if (!writeAll(out, piece, static_cast<size_t>(got)))
            return fail(NewName);
    }
    if (flush && fsync(out) != 0)
        return fail(NewName);
    if (close(out) != 0 || close(in) != 0)
        return fail(NewName);
    if (rename(NewName, source) != 0)
        return fail(source);
    return 0;
}
