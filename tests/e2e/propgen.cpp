// Property test: kelvad and the stand-in assembler on seeded random programs of near and far branches.
//
// Usage: propgen KELVAD TORNA [PROGRAMS [SEED]]
// Every program must converge (status 0) and then assemble without errors; a branch that no
// pass reported must be left as it was, every reported one must have changed, and the code
// may grow by at most 3 bytes per distinct reported branch line. Exit status 0 when all hold.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int MaxGrowthPerBranch = 3;  // a conditional becomes 5 bytes from 2, a BBS 6 from 3

const char* const Conditionals[] = {"BEQ", "BNE", "BCC", "BCS", "BMI", "BPL", "BVC", "BVS"};

std::string realTorna;  // absolute path of the stand-in assembler
std::string kelvad;     // absolute path of the tool

// Totals over all programs, for the closing figures.
struct Figures {
    int programs = 0;
    int passes = 0;
    int maxPasses = 0;
    int branches = 0;
    int reportedAtStart = 0;
    int cascaded = 0;
    long growth = 0;
};

// A generated program: its text and, by marker number, each branch line as written.
struct Program {
    std::string text;
    std::map<int, std::string> branchLines;
};

struct Generator {
    std::mt19937 rng;
    int below(int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); }
    bool chance(int percent) { return below(100) < percent; }
};

std::string branchWord(Generator& gen, bool allowBra)
{
    std::string word = allowBra && gen.chance(15) ? "BRA" : Conditionals[gen.below(8)];
    if (gen.chance(10)) {
        for (char& c : word) {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return word;
}

// A label near the position (a few items either way) or anywhere.
int pickTarget(Generator& gen, const std::vector<int>& labelPos, int pos)
{
    if (gen.chance(50)) {
        std::vector<int> near;
        for (size_t j = 0; j < labelPos.size(); ++j) {
            if (labelPos[j] >= pos - 3 && labelPos[j] <= pos + 3) {
                near.push_back(static_cast<int>(j));
            }
        }
        if (!near.empty()) {
            return near[gen.below(static_cast<int>(near.size()))];
        }
    }
    return gen.below(static_cast<int>(labelPos.size()));
}

std::string fillerLine(Generator& gen)
{
    switch (gen.below(6)) {
    case 0: return "\tNOP";
    case 1: return "\tLDA\t#" + std::to_string(gen.below(256));
    case 2: return "\tSTA\t$" + std::to_string(1200 + gen.below(100));
    case 3: return "\tLDX\t$12";
    case 4: return "\tINX";
    default: return "\tDB\t1,2,3";
    }
}

// The program being generated: where its labels stand and the lines so far.
struct Draft {
    Generator gen;
    std::vector<int> labelPos;  // item position of each label
    bool dotLabels;             // labels begin with '.', so the optimizer's dot-operand rule applies
    std::vector<std::string> lines;
    Program program;
    int marker = 0;
};

std::string labelName(const Draft& draft, int label)
{
    return (draft.dotLabels ? ".L" : "L") + std::to_string(label);
}

// A branch line with its marker comment, by which the checks find it again.
void addBranch(Draft& draft, const std::string& prefix, const std::string& word, const std::string& operand)
{
    std::string line = prefix + "\t" + word + "\t" + operand + "\t;b" + std::to_string(++draft.marker);
    draft.program.branchLines[draft.marker] = line;
    draft.lines.push_back(line);
}

// The labels placed at pos: every one but the last on a line of its own; gives the prefix
// for the item's line (the last label, or nothing if it got a line of its own too).
std::string placeLabels(Draft& draft, int pos)
{
    std::string prefix;
    for (size_t j = 0; j < draft.labelPos.size(); ++j) {
        if (draft.labelPos[j] == pos) {
            if (!prefix.empty()) {
                draft.lines.push_back(prefix);
            }
            prefix = labelName(draft, static_cast<int>(j)) + ":";
        }
    }
    if (!prefix.empty() && draft.gen.chance(50)) {
        draft.lines.push_back(prefix);
        prefix.clear();
    }
    return prefix;
}

void addItem(Draft& draft, const std::string& prefix, int pos)
{
    Generator& gen = draft.gen;
    int kind = gen.below(100);
    std::string target = labelName(draft, pickTarget(gen, draft.labelPos, pos));
    if (kind < 30) {
        draft.lines.push_back(prefix + fillerLine(gen));
    } else if (kind < 45) {
        draft.lines.push_back(prefix + "\tDS\t" + std::to_string(1 + gen.below(50)));
    } else if (kind < 75) {
        addBranch(draft, prefix, branchWord(gen, true), target);
    } else if (kind < 87) {
        // A chain: adjacent branches to one target, sometimes ended by a BRA.
        int length = 2 + gen.below(3);
        for (int k = 0; k < length; ++k) {
            addBranch(draft, k == 0 ? prefix : "", branchWord(gen, k == length - 1), target);
        }
    } else {
        std::string operand = std::to_string(gen.below(8)) + ",$" + std::to_string(10 + gen.below(80)) + "," + target;
        addBranch(draft, prefix, gen.chance(50) ? "BBS" : "BBC", operand);
    }
}

Program generateProgram(unsigned seed)
{
    Draft draft{Generator{std::mt19937(seed)}, {}, false, {"\tORG\t$1000"}, {}};
    int items = 30 + draft.gen.below(90);
    int labels = 4 + draft.gen.below(12);
    draft.dotLabels = draft.gen.chance(30);
    for (int j = 0; j < labels; ++j) {
        draft.labelPos.push_back(draft.gen.below(items + 1));
    }
    for (int pos = 0; pos < items; ++pos) {
        addItem(draft, placeLabels(draft, pos), pos);
    }
    draft.lines.push_back(placeLabels(draft, items) + "\tRTS");
    for (const std::string& line : draft.lines) {
        draft.program.text += line + "\n";
    }
    return draft.program;
}

std::string readFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void writeFile(const std::string& path, const std::string& text)
{
    std::ofstream file(path, std::ios::binary);
    file << text;
}

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    std::string line;
    while (std::getline(stream, line)) {
        lines.push_back(line);
    }
    return lines;
}

// The marker number at the end of a line (";b17"), or 0.
int markerOf(const std::string& line)
{
    size_t at = line.rfind(";b");
    if (at == std::string::npos || at + 2 >= line.size()) {
        return 0;
    }
    return std::atoi(line.c_str() + at + 2);
}

int runCommand(const std::string& dir, const std::string& command)
{
    std::string full = "cd '" + dir + "' && " + command;
    int status = std::system(full.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Code bytes from the stand-in's summary line "N errors, M bytes".
long summaryBytes(const std::string& output)
{
    size_t comma = output.rfind(", ");
    return comma == std::string::npos ? -1 : std::atol(output.c_str() + comma + 2);
}

// Assembles prog.qsm in dir; gives the stand-in's status, its tag file and code bytes.
int assembleIn(const std::string& dir, std::string& tag, long& bytes)
{
    int status = runCommand(dir, "'" + realTorna + "' -. -e prog.qsm > own.out");
    tag = readFile(dir + "/prog.tag");
    bytes = summaryBytes(readFile(dir + "/own.out"));
    return status;
}

// The stand-in as ./torna, keeping the source and tag file of every run for the checks.
void writeRecordingAssembler(const std::string& dir)
{
    std::string script =
        "#!/bin/sh\n"
        "n=$(($(cat runs 2>/dev/null || echo 0) + 1)); echo $n > runs\n"
        "for last; do :; done\n"
        "cp \"$last\" snap.$n.src\n"
        "'" + realTorna + "' \"$@\"; status=$?\n"
        "cp \"${last%%.*}.tag\" snap.$n.tag 2>/dev/null\n"
        "exit $status\n";
    writeFile(dir + "/torna", script);
    runCommand(dir, "chmod +x torna");
}

// Markers of the branch lines each run's tag file reports; false if a reported line has none.
bool collectReports(const std::string& dir, int runs, std::set<int>& atStart, std::set<int>& all,
                    std::string& problem)
{
    for (int run = 1; run <= runs; ++run) {
        std::vector<std::string> source = splitLines(readFile(dir + "/snap." + std::to_string(run) + ".src"));
        for (const std::string& tagLine : splitLines(readFile(dir + "/snap." + std::to_string(run) + ".tag"))) {
            if (tagLine.find(" E18: ") == std::string::npos) {
                continue;
            }
            size_t lineNo = std::strtoul(tagLine.c_str() + tagLine.find(' ') + 1, nullptr, 10);
            int marker = lineNo >= 1 && lineNo <= source.size() ? markerOf(source[lineNo - 1]) : 0;
            if (marker == 0) {
                problem = "run " + std::to_string(run) + " reported a line without a marker: " + tagLine;
                return false;
            }
            (run == 1 ? atStart : all).insert(marker);
        }
    }
    all.insert(atStart.begin(), atStart.end());
    return true;
}

// Checks the rewritten program against the original; gives an empty text when all holds.
std::string checkResult(const Program& program, const std::string& finalText, const std::set<int>& reported)
{
    std::map<int, int> seen;
    std::map<int, std::string> finalLines;
    for (const std::string& line : splitLines(finalText)) {
        int marker = markerOf(line);
        if (marker != 0) {
            ++seen[marker];
            finalLines[marker] = line;
        }
    }
    for (const auto& [marker, original] : program.branchLines) {
        if (seen[marker] > 1) {
            return "marker b" + std::to_string(marker) + " stands on more than one line";
        }
        bool unchanged = seen[marker] == 1 && finalLines[marker] == original;
        if (reported.count(marker) == 0 && !unchanged) {
            return "branch b" + std::to_string(marker) + " was never reported but changed: " + original;
        }
        if (reported.count(marker) != 0 && unchanged) {
            return "branch b" + std::to_string(marker) + " was reported but left short: " + original;
        }
    }
    return "";
}

// Runs one program; gives an empty text when every property holds, else what failed.
std::string runProgram(const std::string& dir, unsigned seed, Figures& figures)
{
    Program program = generateProgram(seed);
    writeFile(dir + "/prog.qsm", program.text);
    std::string tag;
    long startBytes = 0;
    assembleIn(dir, tag, startBytes);
    writeRecordingAssembler(dir);
    int status = runCommand(dir, "'" + kelvad + "' -. prog.qsm > kelvad.out 2>&1");
    if (status != 0) {
        return "kelvad ended with status " + std::to_string(status);
    }
    long endBytes = 0;
    if (assembleIn(dir, tag, endBytes) != 0 || !tag.empty()) {
        return "the result does not assemble without errors:\n" + tag;
    }
    int runs = std::atoi(readFile(dir + "/runs").c_str());
    std::set<int> atStart;
    std::set<int> reported;
    std::string problem;
    if (!collectReports(dir, runs, atStart, reported, problem)) {
        return problem;
    }
    problem = checkResult(program, readFile(dir + "/prog.qsm"), reported);
    if (!problem.empty()) {
        return problem;
    }
    long growth = endBytes - startBytes;
    if (startBytes < 0 || growth < 0 || growth > MaxGrowthPerBranch * static_cast<long>(reported.size())) {
        return "code grew by " + std::to_string(growth) + " bytes for " + std::to_string(reported.size()) +
               " reported branches";
    }
    ++figures.programs;
    figures.passes += runs - 1;
    figures.maxPasses = std::max(figures.maxPasses, runs - 1);
    figures.branches += static_cast<int>(program.branchLines.size());
    figures.reportedAtStart += static_cast<int>(atStart.size());
    figures.cascaded += static_cast<int>(reported.size() - atStart.size());
    figures.growth += growth;
    return "";
}

std::string absolutePath(const char* path)
{
    char* resolved = realpath(path, nullptr);
    if (resolved == nullptr) {
        return "";
    }
    std::string text = resolved;
    std::free(resolved);
    return text;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: propgen KELVAD TORNA [PROGRAMS [SEED]]\n");
        return 2;
    }
    kelvad = absolutePath(argv[1]);
    realTorna = absolutePath(argv[2]);
    int programs = argc > 3 ? std::atoi(argv[3]) : 300;
    unsigned seed = argc > 4 ? static_cast<unsigned>(std::strtoul(argv[4], nullptr, 10)) : 1;
    if (kelvad.empty() || realTorna.empty()) {
        std::fprintf(stderr, "propgen: kelvad or torna not found\n");
        return 2;
    }
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr ? tmp : "/tmp") + "/kelvad-prop.XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("propgen: mkdtemp");
        return 2;
    }
    Figures figures;
    int failures = 0;
    for (int i = 0; i < programs; ++i) {
        std::string dir = pattern + "/p" + std::to_string(i);
        runCommand(pattern, "mkdir p" + std::to_string(i));
        std::string problem = runProgram(dir, seed + static_cast<unsigned>(i), figures);
        if (!problem.empty()) {
            std::printf("program %d (seed %u, kept in %s): %s\n", i, seed + i, dir.c_str(), problem.c_str());
            ++failures;
        } else {
            runCommand(pattern, "rm -rf p" + std::to_string(i));
        }
    }
    std::printf("programs %d, passes %d (at most %d in one run), branch lines %d, lengthened %d "
                "(%d out of reach at the start, %d pushed out later), code growth %ld bytes\n",
                figures.programs, figures.passes, figures.maxPasses, figures.branches,
                figures.reportedAtStart + figures.cascaded, figures.reportedAtStart, figures.cascaded,
                figures.growth);
    if (failures == 0) {
        rmdir(pattern.c_str());
    }
    return failures == 0 ? 0 : 1;
}
