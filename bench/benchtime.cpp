// Times the benchmark's commands: interleaved rounds, medians, peak memory and the assembler's share.
//
// benchtime ROUNDS CASEFILE
//
// Each line of CASEFILE is one case, five fields separated by tabs:
//     name  directory  preparation  assembler-log  command
// The preparation (a shell command, "-" for none) runs untimed in the directory before every
// run of the command. The command is split at blanks and started directly, without a shell, in
// the directory; "> FILE" at its end sends its standard output to FILE (otherwise to /dev/null).
// A log name other than "-" is the file where tornatimer notes each assembler run: it is removed
// before each run and read after it. One unmeasured round comes first; then ROUNDS rounds run every
// case once in turn, so that a slow spell of the machine touches all cases alike. A command that
// does not end with status 0 stops the benchmark.
//
// Prints one line per case: name, rounds, median/min/max wall time in ms, the largest peak
// resident size in KiB (of the command and the children it waited for), the median processor
// time in ms (user and system, of the command and the children it waited for: other work on
// the machine moves it less than the wall time), and for a case with a log the assembler runs
// per round, their median total time and the median of the rest.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Case {
    std::string name, directory, preparation, log;
    std::vector<std::string> words;  // the command, without the redirection
    std::string output;              // standard output file, empty for /dev/null
    std::vector<double> wallMs, cpuMs, childMs, ownMs;
    std::vector<long> assemblerRuns;
    long peakKb = 0;
};

[[noreturn]] void fail(const std::string& text) {
    fprintf(stderr, "benchtime: %s\n", text.c_str());
    exit(1);
}

double nowMs() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

std::vector<std::string> splitAt(const std::string& text, char separator) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(text);
    while (std::getline(in, field, separator))
        if (separator != ' ' || !field.empty())
            fields.push_back(field);
    return fields;
}

std::vector<Case> readCases(const char* path) {
    std::ifstream in(path);
    if (!in)
        fail(std::string("cannot read ") + path);
    std::vector<Case> cases;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> fields = splitAt(line, '\t');
        if (fields.size() != 5)
            fail("a case needs five tab-separated fields: " + line);
        Case c;
        c.name = fields[0];
        c.directory = fields[1];
        c.preparation = fields[2];
        c.log = fields[3];
        c.words = splitAt(fields[4], ' ');
        if (c.words.size() >= 2 && c.words[c.words.size() - 2] == ">") {
            c.output = c.words.back();
            c.words.resize(c.words.size() - 2);
        }
        if (c.words.empty())
            fail("a case without a command: " + line);
        cases.push_back(c);
    }
    return cases;
}

void prepare(const Case& c) {
    if (c.preparation == "-")
        return;
    pid_t child = fork();
    if (child == 0) {
        if (chdir(c.directory.c_str()) != 0)
            _exit(126);
        execl("/bin/sh", "sh", "-c", c.preparation.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        fail(c.name + ": the preparation failed: " + c.preparation);
}

// Starts the command with its standard streams in place; only the child runs this.
[[noreturn]] void startCommand(const Case& c) {
    if (chdir(c.directory.c_str()) != 0)
        _exit(126);
    int in = open("/dev/null", O_RDONLY);
    int out = c.output.empty() ? open("/dev/null", O_WRONLY)
                               : open(c.output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open("/dev/null", O_WRONLY);
    if (in < 0 || out < 0 || err < 0)
        _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    std::vector<char*> argv;
    for (const std::string& word : c.words)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
}

// Sums the assembler times that tornatimer logged; gives the number of runs.
long readAssemblerLog(const Case& c, double& totalMs) {
    std::ifstream in(c.directory + "/" + c.log);
    long runs = 0;
    long long microseconds;
    totalMs = 0;
    while (in >> microseconds) {
        totalMs += microseconds / 1e3;
        ++runs;
    }
    return runs;
}

void runOnce(Case& c, bool measured) {
    prepare(c);
    if (c.log != "-")
        unlink((c.directory + "/" + c.log).c_str());
    double start = nowMs();
    pid_t child = fork();
    if (child == 0)
        startCommand(c);
    if (child < 0)
        fail("cannot fork");
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) < 0)
        fail("wait4 failed");
    double took = nowMs() - start;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        fail(c.name + ": the command did not end with status 0");
    if (!measured)
        return;
    c.wallMs.push_back(took);
    c.cpuMs.push_back((usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                      (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3);
    c.peakKb = std::max(c.peakKb, usage.ru_maxrss);
    if (c.log == "-")
        return;
    double assemblerMs = 0;
    c.assemblerRuns.push_back(readAssemblerLog(c, assemblerMs));
    c.childMs.push_back(assemblerMs);
    c.ownMs.push_back(took - assemblerMs);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void printCase(const Case& c) {
    printf("%-12s %3zu %10.1f %10.1f %10.1f %9ld %8.1f", c.name.c_str(), c.wallMs.size(), median(c.wallMs),
           *std::min_element(c.wallMs.begin(), c.wallMs.end()),
           *std::max_element(c.wallMs.begin(), c.wallMs.end()), c.peakKb, median(c.cpuMs));
    if (!c.assemblerRuns.empty()) {
        long runsMin = *std::min_element(c.assemblerRuns.begin(), c.assemblerRuns.end());
        long runsMax = *std::max_element(c.assemblerRuns.begin(), c.assemblerRuns.end());
        if (runsMin != runsMax)
            fail(c.name + ": the number of assembler runs changed between rounds");
        printf(" %5ld %10.1f %10.1f", runsMin, median(c.childMs), median(c.ownMs));
    }
    printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3)
        fail("usage: benchtime ROUNDS CASEFILE");
    int rounds = atoi(argv[1]);
    if (rounds < 1)
        fail("ROUNDS must be at least 1");
    std::vector<Case> cases = readCases(argv[2]);
    for (Case& c : cases)
        runOnce(c, false);
    for (int round = 0; round < rounds; ++round)
        for (Case& c : cases)
            runOnce(c, true);
    printf("%-12s %3s %10s %10s %10s %9s %8s %5s %10s %10s\n", "case", "n", "median-ms", "min-ms", "max-ms",
           "peak-KiB", "cpu-ms", "asm", "asm-ms", "own-ms");
    for (const Case& c : cases)
        printCase(c);
    return 0;
}
