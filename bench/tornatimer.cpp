// Runs the real stand-in assembler in place of ./torna and logs how long each run took.
//
// Installed as ./torna beside the source: runs $KELVAD_BENCH_TORNA with the same arguments,
// appends the run's wall time in microseconds to $KELVAD_BENCH_LOG and ends with its status,
// so the benchmark can tell the assembler's share of a whole run from the tool's own.
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

long long nowMicroseconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000LL + now.tv_nsec / 1000;
}

}  // namespace

int main(int, char** argv) {
    const char* real = getenv("KELVAD_BENCH_TORNA");
    const char* logPath = getenv("KELVAD_BENCH_LOG");
    if (!real || !logPath) {
        fputs("tornatimer: needs KELVAD_BENCH_TORNA and KELVAD_BENCH_LOG\n", stderr);
        return 2;
    }
    long long start = nowMicroseconds();
    pid_t child;
    if (posix_spawn(&child, real, nullptr, nullptr, argv, environ) != 0) {
        perror(real);
        return 127;
    }
    int status = 0;
    if (waitpid(child, &status, 0) < 0) {
        perror("waitpid");
        return 2;
    }
    long long took = nowMicroseconds() - start;
    FILE* log = fopen(logPath, "ab");
    if (log) {
        fprintf(log, "%lld\n", took);
        fclose(log);
    }
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}
