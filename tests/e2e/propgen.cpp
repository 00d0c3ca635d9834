// Property test: kelvad and the stand-in assembler on seeded random programs of near and far branches.
//
// Usage: propgen KELVAD TORNA [PROGRAMS [SEED [repeat|nested|shrink|includes]]]
// Every program must converge (status 0) and then assemble without errors; a branch that no
// pass reported must be left as it was, every reported one must have changed, every other line
// must be kept in order, no generated label may be defined twice, and the code may grow by at
// most 3 bytes per distinct reported branch line. With "repeat" each repaired program is made
// longer (longer data gaps, a routine added) and repaired once more, as a build does after an
// edit, and the second run must hold the same. With "nested" the programs are nested
// structured statements instead (see NESTED MODE). With "shrink" each program is repaired
// with longer data gaps, the gaps are put back and "+shrink" runs, with and without -COMMENT,
// against a fresh repair of the program. With "includes" each program is cut into a
// main file and 1 to 3 include files (flat or nested, some found through -I), repaired, then
// twice edited in one file only (longer data gaps) and repaired again: the same must hold over
// all its files. Exit status 0 when all hold.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int MaxGrowthPerBranch = 3;  // a conditional becomes 5 bytes from 2, a BBS 6 from 3

const char* const Conditionals[] = {"BEQ", "BNE", "BCC", "BCS", "BMI", "BPL", "BVC", "BVS"};
const char* const OtherBranches[] = {"BRA", "BBS", "BBC"};
const char* const TornaVariable = "PROPGEN_TORNA";  // tells the recording assembler where torna is

std::string realTorna;  // absolute path of the stand-in assembler
std::string kelvad;     // absolute path of the tool
std::string self;       // absolute path of this program, which records the assembler runs

// Totals over all programs, for the closing figures.
struct Figures {
    int programs = 0;
    int passes = 0;
    int maxPasses = 0;
    int branches = 0;
    int reportedAtStart = 0;
    int cascaded = 0;
    long growth = 0;
    int repeated = 0;       // programs repaired a second time after an edit
    int secondPasses = 0;   // passes of those second runs
    int earlierLabels = 0;  // generated labels already in the sources when a second run began
    int duplicateLabels = 0;
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

// Runs argv in dir with its standard output (and error) in `output`, without a shell;
// gives its exit status, or -1.
int runIn(const std::string& dir, const std::vector<std::string>& argv, const std::string& output)
{
    pid_t child = fork();
    if (child == 0) {
        if (chdir(dir.c_str()) != 0) {
            _exit(126);
        }
        int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out >= 0) {
            dup2(out, 1);
            dup2(out, 2);
        }
        std::vector<char*> words;
        for (const std::string& word : argv) {
            words.push_back(const_cast<char*>(word.c_str()));
        }
        words.push_back(nullptr);
        execv(words[0], words.data());
        _exit(127);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Code bytes from the stand-in's summary line "N errors, M bytes".
long summaryBytes(const std::string& output)
{
    size_t comma = output.rfind(", ");
    return comma == std::string::npos ? -1 : std::atol(output.c_str() + comma + 2);
}

// The stand-in as ./torna (this program under that name), keeping the source and tag file
// of every run for the checks.
void placeRecordingAssembler(const std::string& dir, const std::string& self)
{
    unlink((dir + "/runs").c_str());
    unlink((dir + "/torna").c_str());
    if (symlink(self.c_str(), (dir + "/torna").c_str()) != 0) {
        std::perror("propgen: symlink");
    }
}

const char* const FilesVariable = "PROPGEN_FILES";  // the files of a program cut into includes

// The snapshot name of a program file in one run.
std::string snapName(const std::string& run, const std::string& file)
{
    std::string name = file;
    std::replace(name.begin(), name.end(), '/', '_');
    return "snap." + run + ".f." + name;
}

// Keeps every file named in PROPGEN_FILES (blank-separated) as this run reads it.
void keepProgramFiles(const std::string& run)
{
    const char* files = std::getenv(FilesVariable);
    std::istringstream names(files != nullptr ? files : "");
    std::string file;
    while (names >> file) {
        writeFile(snapName(run, file), readFile(file));
    }
}

// What ./torna does: counts the run, runs the stand-in, and keeps the source, the output,
// the status and the tag file of the run for the checks.
int recordAssemblerRun(int argc, char** argv)
{
    const char* torna = std::getenv(TornaVariable);
    if (torna == nullptr || argc < 2) {
        return 2;
    }
    std::string run = std::to_string(std::atoi(readFile("runs").c_str()) + 1);
    writeFile("runs", run + "\n");
    std::string source = argv[argc - 1];
    writeFile("snap." + run + ".src", readFile(source));
    keepProgramFiles(run);
    std::vector<std::string> words{torna};
    words.insert(words.end(), argv + 1, argv + argc);
    std::fflush(stdout);
    std::string output = "snap." + run + ".out";
    pid_t child = fork();
    if (child == 0) {
        int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out >= 0) {
            dup2(out, 1);
        }
        std::vector<char*> pointers;
        for (std::string& word : words) {
            pointers.push_back(word.data());
        }
        pointers.push_back(nullptr);
        // In a sanitizer build the stand-in's leak check at exit would cost as much as its
        // run; kelvad's own runs keep theirs.
        std::string options = std::getenv("ASAN_OPTIONS") != nullptr ? std::getenv("ASAN_OPTIONS") : "";
        setenv("ASAN_OPTIONS", (options.empty() ? "" : options + ":").append("detect_leaks=0").c_str(), 1);
        execv(torna, pointers.data());
        _exit(127);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return 2;
    }
    std::string shown = readFile(output);
    std::fwrite(shown.data(), 1, shown.size(), stdout);
    writeFile("snap." + run + ".status", std::to_string(WEXITSTATUS(status)) + "\n");
    std::string tag = source.substr(0, source.find('.')) + ".tag";
    if (access(tag.c_str(), F_OK) == 0) {
        writeFile("snap." + run + ".tag", readFile(tag));
    }
    return WEXITSTATUS(status);
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

bool isBranchWord(std::string word)
{
    for (char& c : word) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    for (const char* branch : Conditionals) {
        if (word == branch) {
            return true;
        }
    }
    for (const char* branch : OtherBranches) {
        if (word == branch) {
            return true;
        }
    }
    return false;
}

// The program as it stands, each branch line (generated ones too) given a new marker
// instead of its comment, and every old marker dropped from the other lines.
Program markBranches(const std::string& text)
{
    Program program;
    int marker = 0;
    for (std::string line : splitLines(text)) {
        size_t comment = line.find(';');
        size_t tab = line.find('\t');
        size_t wordEnd = tab == std::string::npos ? tab : line.find('\t', tab + 1);
        bool branch = tab != std::string::npos && isBranchWord(line.substr(tab + 1, wordEnd - tab - 1));
        if ((branch || markerOf(line) != 0) && comment != std::string::npos) {
            line.erase(line.find_last_not_of('\t', comment - 1) + 1);
        }
        if (branch) {
            line += "\t;b" + std::to_string(++marker);
            program.branchLines[marker] = line;
        }
        program.text += line + "\n";
    }
    return program;
}

// Every line of `before` that holds no marker must stand in `after`, in the same order.
std::string checkLinesKept(const std::string& before, const std::string& after)
{
    std::vector<std::string> afterLines = splitLines(after);
    size_t next = 0;
    for (const std::string& line : splitLines(before)) {
        if (markerOf(line) != 0) {
            continue;
        }
        while (next < afterLines.size() && afterLines[next] != line) {
            ++next;
        }
        if (next == afterLines.size()) {
            return "a line that was not reported is lost or moved: " + line;
        }
        ++next;
    }
    return "";
}

// How many "..lopN:" labels the text defines, and how many of those names it defines twice or more.
int countGeneratedLabels(const std::string& text, int& duplicates)
{
    std::map<std::string, int> defined;
    int count = 0;
    for (const std::string& line : splitLines(text)) {
        size_t colon = line.find(':');
        if (line.compare(0, 5, "..lop") == 0 && colon != std::string::npos && colon > 5 &&
            line.find_first_not_of("0123456789", 5) == colon) {
            ++count;
            ++defined[line.substr(0, colon)];
        }
    }
    duplicates = 0;
    for (const auto& entry : defined) {
        duplicates += entry.second > 1 ? 1 : 0;
    }
    return count;
}

// True when a line put in before lines[at] would stand between a generated branch and its
// label: an edit there moves the label out of the reach that kelvad gave the branch.
bool insideExpansion(const std::vector<std::string>& lines, size_t at)
{
    std::set<std::string> open;
    for (size_t i = 0; i < at; ++i) {
        size_t head = lines[i].find("..lop", 1);
        if (head != std::string::npos && (lines[i][head - 1] == '\t' || lines[i][head - 1] == ',')) {
            open.insert(lines[i].substr(head, lines[i].find_first_of("\t;", head) - head));
        }
        size_t colon = lines[i].find(':');
        if (lines[i].compare(0, 5, "..lop") == 0 && colon != std::string::npos) {
            open.erase(lines[i].substr(0, colon));
        }
    }
    return !open.empty();
}

// The repaired program after an edit that pushes more branches out of reach: about half
// of its data gaps grow, and a routine with a long gap and branches to its labels is put in.
std::string lengthen(const std::string& text, Generator& gen)
{
    std::vector<std::string> lines = splitLines(text);
    std::vector<std::string> labels;
    for (std::string& line : lines) {
        size_t ds = line.find("\tDS\t");
        if (ds != std::string::npos && gen.chance(50)) {
            int size = std::atoi(line.c_str() + ds + 4) + 20 + gen.below(60);
            line = line.substr(0, ds + 4) + std::to_string(size);
        }
        size_t colon = line.find(':');
        if (colon != std::string::npos && line.compare(0, 5, "..lop") != 0 && line.find(';') > colon) {
            labels.push_back(line.substr(0, colon));
        }
    }
    std::string target = labels.empty() ? "ADDED" : labels[gen.below(static_cast<int>(labels.size()))];
    std::vector<std::string> routine = {"ADDED:\tLDA\t#2", "\tBNE\t" + target,
                                        "\tDS\t" + std::to_string(30 + gen.below(100)), "\tBCS\tADDED",
                                        "\tBEQ\t" + target, "\tRTS"};
    size_t at = 1 + gen.below(static_cast<int>(lines.size()));
    while (at < lines.size() && insideExpansion(lines, at)) {
        ++at;
    }
    lines.insert(lines.begin() + at, routine.begin(), routine.end());
    std::string edited;
    for (const std::string& line : lines) {
        edited += line + "\n";
    }
    return edited;
}

// What one run of kelvad did to a program, for the figures.
struct RunResult {
    int passes = 0;
    int atStart = 0;
    int cascaded = 0;
    long growth = 0;
    int duplicates = 0;
};

// Repairs `program` in the fresh directory `dir` and checks every property; gives an empty
// text when all hold, else what failed.
std::string repairAndCheck(const std::string& dir, const Program& program, RunResult& result)
{
    writeFile(dir + "/prog.qsm", program.text);
    placeRecordingAssembler(dir, self);
    int status = runIn(dir, {kelvad, "-.", "prog.qsm"}, "kelvad.out");
    if (status != 0) {
        return "kelvad ended with status " + std::to_string(status) + ": " + readFile(dir + "/kelvad.out");
    }
    std::string finalText = readFile(dir + "/prog.qsm");
    countGeneratedLabels(finalText, result.duplicates);
    if (result.duplicates != 0) {
        return std::to_string(result.duplicates) + " generated labels are defined twice";
    }
    // The loop ends on a tag file with nothing to repair: the last run assembled the result.
    int runs = std::atoi(readFile(dir + "/runs").c_str());
    std::string last = dir + "/snap." + std::to_string(runs);
    if (readFile(last + ".src") != finalText) {
        return "kelvad ended before its last rewrite was assembled";
    }
    std::string tag = readFile(last + ".tag");
    if (std::atoi(readFile(last + ".status").c_str()) != 0 || !tag.empty()) {
        return "the result does not assemble without errors:\n" + tag;
    }
    long startBytes = summaryBytes(readFile(dir + "/snap.1.out"));
    long endBytes = summaryBytes(readFile(last + ".out"));
    std::set<int> atStart;
    std::set<int> reported;
    std::string problem;
    if (!collectReports(dir, runs, atStart, reported, problem)) {
        return problem;
    }
    problem = checkResult(program, finalText, reported);
    if (problem.empty()) {
        problem = checkLinesKept(program.text, finalText);
    }
    if (!problem.empty()) {
        return problem;
    }
    long growth = endBytes - startBytes;
    if (startBytes < 0 || growth < 0 || growth > MaxGrowthPerBranch * static_cast<long>(reported.size())) {
        return "code grew by " + std::to_string(growth) + " bytes for " + std::to_string(reported.size()) +
               " reported branches";
    }
    result.passes = runs - 1;
    result.atStart = static_cast<int>(atStart.size());
    result.cascaded = static_cast<int>(reported.size() - atStart.size());
    result.growth = growth;
    return "";
}

std::string makeDirectory(const std::string& dir)
{
    if (mkdir(dir.c_str(), 0755) != 0) {
        std::perror(("propgen: mkdir " + dir).c_str());
    }
    return dir;
}

// Runs one program, and with `repeat` its edited result once more; gives an empty text when
// every property holds, else what failed.
std::string runProgram(const std::string& dir, unsigned seed, bool repeat, Figures& figures)
{
    Program program = generateProgram(seed);
    RunResult first;
    std::string problem = repairAndCheck(makeDirectory(dir + "/first"), program, first);
    if (!problem.empty()) {
        return "first run: " + problem;
    }
    ++figures.programs;
    figures.passes += first.passes;
    figures.maxPasses = std::max(figures.maxPasses, first.passes);
    figures.branches += static_cast<int>(program.branchLines.size());
    figures.reportedAtStart += first.atStart;
    figures.cascaded += first.cascaded;
    figures.growth += first.growth;
    if (!repeat) {
        return "";
    }
    Generator gen{std::mt19937(seed ^ 0x5eed)};
    Program edited = markBranches(lengthen(readFile(dir + "/first/prog.qsm"), gen));
    int ignored = 0;
    figures.earlierLabels += countGeneratedLabels(edited.text, ignored);
    RunResult second;
    problem = repairAndCheck(makeDirectory(dir + "/second"), edited, second);
    figures.duplicateLabels += second.duplicates;
    if (!problem.empty()) {
        return "second run: " + problem;
    }
    ++figures.repeated;
    figures.secondPasses += second.passes;
    return "";
}

// NESTED MODE: programs of nested structured statements. Every long form the tool writes
// must be needed: put back alone in its short form, the program must no longer assemble.

const char* const NestedConditions[] = {"EQ", "NE", "CS", "CC", "MI", "PL", "VS", "VC", "LE"};
const char* const KelvadComment = ";This is the line which kelvad generated";

// The program being generated: its lines, the open loops and switches, label numbers.
struct NestedDraft {
    Generator gen;
    std::vector<std::string> lines;
    int loops = 0;     // open DO and FOR statements
    int switches = 0;  // open SWITCH statements
    int labels = 0;
};

// A directive line, sometimes labelled, in lower case, or (as an earlier run left it) long.
void addDirective(NestedDraft& draft, std::string word, const std::string& operand, bool mayBeLong)
{
    Generator& gen = draft.gen;
    if (mayBeLong && gen.chance(8)) {
        word = "L" + word;
    }
    if (gen.chance(10)) {
        std::transform(word.begin(), word.end(), word.begin(), [](unsigned char c) { return std::tolower(c); });
    }
    std::string prefix = gen.chance(10) ? "N" + std::to_string(++draft.labels) + ":" : "";
    draft.lines.push_back(prefix + "\t" + word + (operand.empty() ? "" : "\t" + operand));
}

std::string nestedCondition(Generator& gen) { return NestedConditions[gen.below(9)]; }

// A gap of code: mostly short, sometimes long enough to put a short branch out of reach.
void addNestedGap(NestedDraft& draft)
{
    Generator& gen = draft.gen;
    int size = gen.chance(20) ? 90 + gen.below(60) : 1 + gen.below(40);
    draft.lines.push_back(gen.chance(30) ? fillerLine(gen) : "\tDS\t" + std::to_string(size));
}

void addNestedBlock(NestedDraft& draft, int depth);

void addNestedStatement(NestedDraft& draft, int depth)
{
    Generator& gen = draft.gen;
    int kind = gen.below(100);
    if (kind < 25) {
        addDirective(draft, "DO", "", true);
        ++draft.loops;
        addNestedBlock(draft, depth + 1);
        --draft.loops;
        addDirective(draft, "WHILE", nestedCondition(gen), false);
    } else if (kind < 50) {
        addDirective(draft, "FOR", gen.chance(50) ? "X," + std::to_string(1 + gen.below(9)) : "Y,3", true);
        ++draft.loops;
        addNestedBlock(draft, depth + 1);
        --draft.loops;
        addDirective(draft, "NEXT", "", false);
    } else if (kind < 75) {
        addDirective(draft, "SWITCH", gen.chance(50) ? "A" : "", true);
        ++draft.switches;
        int parts = 1 + gen.below(3);
        for (int part = 0; part < parts; ++part) {
            addDirective(draft, "CASE", std::to_string(part + 1), false);
            addNestedBlock(draft, depth + 1);
        }
        if (gen.chance(50)) {
            addDirective(draft, "DEFAULT", "", false);
            addNestedBlock(draft, depth + 1);
        }
        --draft.switches;
        addDirective(draft, "ENDS", "", false);
    } else if (kind < 90) {
        addDirective(draft, "IF", nestedCondition(gen), true);
        addNestedBlock(draft, depth + 1);
        if (gen.chance(50)) {
            addDirective(draft, "ELSE", "", true);
            addNestedBlock(draft, depth + 1);
        }
        addDirective(draft, "ENDIF", "", false);
    } else if (draft.loops + draft.switches > 0) {
        bool leave = draft.loops == 0 || gen.chance(50);
        addDirective(draft, leave ? "BREAK" : "CONTINUE", "", true);
    } else {
        addNestedGap(draft);
    }
}

void addNestedBlock(NestedDraft& draft, int depth)
{
    int items = 1 + draft.gen.below(4);
    for (int item = 0; item < items; ++item) {
        if (depth < 4 && draft.gen.chance(45)) {
            addNestedStatement(draft, depth);
        } else {
            addNestedGap(draft);
        }
    }
}

std::string generateNested(unsigned seed)
{
    NestedDraft draft{Generator{std::mt19937(seed)}, {"\tORG\t$1000"}};
    int statements = 1 + draft.gen.below(4);
    for (int i = 0; i < statements; ++i) {
        addNestedStatement(draft, 0);
        addNestedGap(draft);
    }
    draft.lines.push_back("\tRTS");
    std::string text;
    for (const std::string& line : draft.lines) {
        text += line + "\n";
    }
    return text;
}

// Totals of the nested mode.
struct NestedFigures {
    int programs = 0;
    int passes = 0;
    int longForms = 0;     // long forms the tool wrote
    int needless = 0;      // of those, long forms the program assembles without
    int needlessPrograms = 0;
};

// True when the stand-in assembles `text` without errors.
bool assemblesClean(const std::string& dir, const std::string& text)
{
    writeFile(dir + "/alone.qsm", text);
    unlink((dir + "/alone.tag").c_str());
    int status = runIn(dir, {realTorna, "-e", "-.", "alone.qsm"}, dir + "/alone.out");
    return status == 0 && readFile(dir + "/alone.tag").empty();
}

// The first word of a directive line after its label, upper-cased.
std::string directiveWord(const std::string& line)
{
    size_t start = line.find(':') == std::string::npos ? 0 : line.find(':') + 1;
    start = line.find_first_not_of(" \t", start);
    size_t end = start == std::string::npos ? start : line.find_first_of(" \t;", start);
    std::string word = start == std::string::npos ? "" : line.substr(start, end - start);
    std::transform(word.begin(), word.end(), word.begin(), [](unsigned char c) { return std::toupper(c); });
    return word;
}

// Repairs one nested program and checks that it assembles, that only directive lines took
// their long form, and that none of those long forms can go back alone.
std::string repairNested(const std::string& dir, const std::string& text, NestedFigures& figures)
{
    writeFile(dir + "/prog.qsm", text);
    placeRecordingAssembler(dir, self);
    int status = runIn(dir, {kelvad, "-.", "prog.qsm"}, "kelvad.out");
    if (status != 0) {
        return "kelvad ended with status " + std::to_string(status) + ": " + readFile(dir + "/kelvad.out");
    }
    std::string finalText = readFile(dir + "/prog.qsm");
    int runs = std::atoi(readFile(dir + "/runs").c_str());
    figures.passes += runs - 1;
    if (!assemblesClean(dir, finalText)) {
        return "the result does not assemble without errors";
    }
    std::vector<std::string> before = splitLines(text);
    std::vector<std::string> after = splitLines(finalText);
    if (before.size() != after.size()) {
        return "the program has " + std::to_string(after.size()) + " lines, it had " + std::to_string(before.size());
    }
    int needless = 0;
    for (size_t i = 0; i < before.size(); ++i) {
        if (before[i] == after[i]) {
            continue;
        }
        if (after[i].find(KelvadComment) == std::string::npos ||
            directiveWord(after[i]) != "L" + directiveWord(before[i])) {
            return "line " + std::to_string(i + 1) + " changed into something other than its long form: " + after[i];
        }
        ++figures.longForms;
        std::vector<std::string> shortened = after;
        shortened[i] = before[i];
        std::string shortText;
        for (const std::string& line : shortened) {
            shortText += line + "\n";
        }
        needless += assemblesClean(dir, shortText) ? 1 : 0;
    }
    figures.needless += needless;
    figures.needlessPrograms += needless ? 1 : 0;
    if (needless) {
        return std::to_string(needless) + " long forms can be shortened alone with the program still assembling";
    }
    return "";
}

// The shrink, on the same programs: each is repaired with longer data gaps, the gaps are put
// back as they were, and "+shrink" gives back what that repair no longer needs. Measured
// against a fresh repair of the program as generated, once with "-COMMENT" and once without.

// What one run of kelvad left; `problem` is empty when it converged and the result assembles
// without errors and defines no generated label twice.
struct KelvadRun {
    std::string problem;
    std::string text;         // the source afterwards
    std::string firstSource;  // the source as the first assembler run saw it
    std::string binary;       // what the last assembler run wrote
    int passes = 0;
    long bytes = -1;
};

KelvadRun runKelvadOn(const std::string& dir, const std::string& text, const std::vector<std::string>& words)
{
    KelvadRun run;
    writeFile(dir + "/prog.qsm", text);
    placeRecordingAssembler(dir, self);
    std::vector<std::string> argv{kelvad, "-.", "prog.qsm"};
    argv.insert(argv.end(), words.begin(), words.end());
    int status = runIn(dir, argv, "kelvad.out");
    run.text = readFile(dir + "/prog.qsm");
    int runs = std::atoi(readFile(dir + "/runs").c_str());
    std::string last = dir + "/snap." + std::to_string(runs);
    run.firstSource = readFile(dir + "/snap.1.src");
    run.binary = readFile(dir + "/prog.bin");
    run.passes = runs - 1;
    run.bytes = summaryBytes(readFile(last + ".out"));
    int duplicates = 0;
    countGeneratedLabels(run.text, duplicates);
    if (status != 0) {
        run.problem = "kelvad ended with status " + std::to_string(status) + ": " + readFile(dir + "/kelvad.out");
    } else if (readFile(last + ".src") != run.text || std::atoi(readFile(last + ".status").c_str()) != 0 ||
               !readFile(last + ".tag").empty() || run.bytes < 0) {
        run.problem = "the result does not assemble without errors";
    } else if (duplicates != 0) {
        run.problem = std::to_string(duplicates) + " generated labels are defined twice";
    }
    return run;
}

// The code bytes of `text` as the stand-in assembles it, or -1.
long assembledBytes(const std::string& dir, const std::string& text)
{
    writeFile(dir + "/prog.qsm", text);
    runIn(dir, {realTorna, "-.", "prog.qsm"}, "torna.out");
    return summaryBytes(readFile(dir + "/torna.out"));
}

bool isGapLine(const std::string& line)
{
    return line.find("\tDS\t") != std::string::npos && line.compare(0, 1, ";") != 0;
}

// The program with about half of its data gaps grown.
std::string widenGaps(const std::string& text, Generator& gen)
{
    std::string wide;
    for (std::string line : splitLines(text)) {
        size_t ds = line.find("\tDS\t");
        if (isGapLine(line) && gen.chance(50)) {
            line = line.substr(0, ds + 4) + std::to_string(std::atoi(line.c_str() + ds + 4) + 20 + gen.below(60));
        }
        wide += line + "\n";
    }
    return wide;
}

// `repaired` with its gap lines, in order, as `original` has them.
std::string restoreGaps(const std::string& repaired, const std::string& original)
{
    std::vector<std::string> gaps;
    for (const std::string& line : splitLines(original)) {
        if (isGapLine(line)) {
            gaps.push_back(line);
        }
    }
    std::string restored;
    size_t next = 0;
    for (const std::string& line : splitLines(repaired)) {
        restored += (isGapLine(line) && next < gaps.size() ? gaps[next++] : line) + "\n";
    }
    return restored;
}

// What a program does, line by line: comments and trailing blanks dropped, the word in upper
// case, and BRA as JMP (the same jump, longer).
std::string normalized(const std::string& text)
{
    std::string result;
    for (std::string line : splitLines(text)) {
        line = line.substr(0, line.find(';'));
        line.erase(line.find_last_not_of(" \t") + 1);
        size_t tab = line.find('\t');
        if (tab != std::string::npos) {
            size_t wordEnd = std::min(line.find('\t', tab + 1), line.size());
            for (size_t i = tab + 1; i < wordEnd; ++i) {
                line[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(line[i])));
            }
            if (line.compare(tab + 1, wordEnd - tab - 1, "BRA") == 0) {
                line.replace(tab + 1, 3, "JMP");
            }
        }
        result += line + "\n";
    }
    return result;
}

// Totals of one setting, for the closing figures.
struct ShrinkFigures {
    int programs = 0;
    long repairedBytes = 0;  // of the repaired programs with their gaps put back
    long givenBack = 0;      // bytes the shrink gave back
    long freshGivesBack = 0; // bytes a fresh repair of the generated program is smaller
    int passes = 0;          // of the shrink runs
    int maxPasses = 0;
    long labelsBefore = 0;   // generated labels in the sources before the shrink
    int grown = 0;           // programs larger after the shrink, each where a fresh repair is larger too
};

std::string shrinkOnce(const std::string& dir, const Program& program, const std::string& wide,
                       const KelvadRun& fresh, bool comment, ShrinkFigures& figures)
{
    std::vector<std::string> words;
    if (comment) {
        words.push_back("-COMMENT");
    }
    std::string setting = comment ? "-comment" : "";
    KelvadRun wideRun = runKelvadOn(makeDirectory(dir + "/wide" + setting), wide, words);
    if (!wideRun.problem.empty()) {
        return "repair with longer gaps: " + wideRun.problem;
    }
    std::string repaired = restoreGaps(wideRun.text, program.text);
    long repairedBytes = assembledBytes(makeDirectory(dir + "/repaired" + setting), repaired);
    words.push_back("+shrink");
    KelvadRun shrunk = runKelvadOn(makeDirectory(dir + "/shrunk" + setting), repaired, words);
    if (!shrunk.problem.empty()) {
        return "shrink: " + shrunk.problem;
    }
    // Larger than before only where a fresh repair of the same text is larger too: a chain
    // that formed in the repair with longer gaps may not form in a fresh one.
    if (repairedBytes < 0 || (shrunk.bytes > repairedBytes && fresh.bytes <= repairedBytes)) {
        return "the shrink made the program larger: " + std::to_string(repairedBytes) + " bytes, then " +
               std::to_string(shrunk.bytes);
    }
    if (comment && shrunk.firstSource != program.text) {
        return "with -COMMENT the shrink did not give back the program as it was written";
    }
    if (comment && shrunk.binary != fresh.binary) {
        return "with -COMMENT the shrink does not give the binary of a fresh repair";
    }
    if (!comment && normalized(shrunk.firstSource) != normalized(program.text)) {
        return "the shrink changed what the program does";
    }
    int ignored = 0;
    ++figures.programs;
    figures.repairedBytes += repairedBytes;
    figures.givenBack += repairedBytes - shrunk.bytes;
    figures.freshGivesBack += repairedBytes - fresh.bytes;
    figures.passes += shrunk.passes;
    figures.maxPasses = std::max(figures.maxPasses, shrunk.passes);
    figures.labelsBefore += countGeneratedLabels(repaired, ignored);
    figures.grown += shrunk.bytes > repairedBytes ? 1 : 0;
    return "";
}

// Runs one program through both settings; gives an empty text when every property holds.
std::string runShrinkProgram(const std::string& dir, unsigned seed, ShrinkFigures figures[2])
{
    Program program = generateProgram(seed);
    KelvadRun fresh = runKelvadOn(makeDirectory(dir + "/fresh"), program.text, {});
    if (!fresh.problem.empty()) {
        return "fresh repair: " + fresh.problem;
    }
    Generator gen{std::mt19937(seed ^ 0x5a11)};
    std::string wide = widenGaps(program.text, gen);
    for (int comment = 1; comment >= 0; --comment) {
        std::string problem = shrinkOnce(dir, program, wide, fresh, comment != 0, figures[comment]);
        if (!problem.empty()) {
            return std::string(comment ? "-COMMENT: " : "") + problem;
        }
    }
    return "";
}

// Runs `one` on `programs` programs from `seed`, each in a folder of its own under `top`; a
// failed program's folder is kept for a look. Returns the number of failed programs.
int forEachProgram(const std::string& top, int programs, unsigned seed,
                   const std::function<std::string(const std::string& dir, unsigned seed)>& one)
{
    int failures = 0;
    for (int i = 0; i < programs; ++i) {
        std::string dir = makeDirectory(top + "/p" + std::to_string(i));
        std::string problem = one(dir, seed + static_cast<unsigned>(i));
        if (problem.empty()) {
            std::filesystem::remove_all(dir);
            continue;
        }
        std::printf("program %d (seed %u, kept in %s): %s\n", i, seed + i, dir.c_str(), problem.c_str());
        ++failures;
    }
    return failures;
}

// Runs the nested mode over `programs` programs; exit status 0 when every check holds.
int runNestedPrograms(const std::string& pattern, int programs, unsigned seed)
{
    NestedFigures figures;
    int failures = forEachProgram(pattern, programs, seed, [&](const std::string& dir, unsigned programSeed) {
        ++figures.programs;
        return repairNested(dir, generateNested(programSeed), figures);
    });
    std::printf("nested programs %d, passes %d, long forms written %d, of which shortened alone "
                "the program still assembles %d (in %d programs)\n",
                figures.programs, figures.passes, figures.longForms, figures.needless, figures.needlessPrograms);
    if (failures == 0) {
        rmdir(pattern.c_str());
    }
    return failures == 0 ? 0 : 1;
}

void printShrinkFigures(const char* setting, const ShrinkFigures& figures)
{
    double share = figures.freshGivesBack > 0 ? 100.0 * figures.givenBack / figures.freshGivesBack : 100.0;
    std::printf("shrink %s: programs %d, %ld bytes repaired with longer gaps and %ld generated labels, "
                "given back %ld bytes of the %ld a fresh repair saves (%.1f %%), passes %d (at most %d in one run), "
                "larger afterwards %d (as a fresh repair is)\n",
                setting, figures.programs, figures.repairedBytes, figures.labelsBefore, figures.givenBack,
                figures.freshGivesBack, share, figures.passes, figures.maxPasses, figures.grown);
}

// The shrink mode: every program in both settings; with -COMMENT every byte comes back, without
// it at least 95 % (a BRA with a comment of its own became a JMP that nothing marks).
int runShrinkMode(const std::string& pattern, int programs, unsigned seed)
{
    ShrinkFigures figures[2];
    int failures = forEachProgram(pattern, programs, seed, [&](const std::string& dir, unsigned programSeed) {
        return runShrinkProgram(dir, programSeed, figures);
    });
    printShrinkFigures("with -COMMENT", figures[1]);
    printShrinkFigures("without -COMMENT", figures[0]);
    if (figures[1].givenBack != figures[1].freshGivesBack) {
        std::printf("with -COMMENT the shrink gave back other than a fresh repair saves\n");
        ++failures;
    }
    if (20 * figures[0].givenBack < 19 * figures[0].freshGivesBack) {
        std::printf("without -COMMENT the shrink gave back less than 95 %% of what a fresh repair saves\n");
        ++failures;
    }
    if (failures == 0) {
        rmdir(pattern.c_str());
    }
    return failures == 0 ? 0 : 1;
}

// Programs cut into a main file and includes (the "includes" mode). A program of several
// files is handled as one text in which each included file's lines stand between a begin and
// an end line, so that the checks of one file hold over all of them.
const std::string BeginMark = ";@begin ";  // then the directive word, the name as written, the path
const std::string EndMark = ";@end";

// Totals of the includes mode.
struct IncludeFigures {
    int programs = 0;
    int nested = 0;
    int inFolder = 0;          // programs with an include found through -Ilib
    int includes[4] = {};      // programs by their number of includes
    int runs = 0;
    std::map<int, int> statuses;  // kelvad's exit statuses, by status
    int firstPasses = 0;
    int editedPasses = 0;
    int earlierLabels = 0;     // generated labels in the sources when an edited run began
    int duplicateLabels = 0;
};

// +1 for a line that opens a structured statement, -1 for one that closes it.
int structuredStep(const std::string& line)
{
    size_t tab = line.find('\t');
    if (tab == std::string::npos) {
        return 0;
    }
    std::string word = line.substr(tab + 1, line.find('\t', tab + 1) - tab - 1);
    for (char& c : word) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    for (const char* open : {"IF", "LIF", "SWITCH", "LSWITCH", "FOR", "LFOR", "DO", "LDO"}) {
        if (word == open) {
            return 1;
        }
    }
    for (const char* close : {"ENDIF", "ENDS", "NEXT", "WHILE"}) {
        if (word == close) {
            return -1;
        }
    }
    return 0;
}

// The program cut into a main file and 1 to 3 includes, flat or nested, some of them in
// ./lib; only where no structured statement is open, since owner lines belong to their file.
std::string cutIntoIncludes(const Program& program, Generator& gen, IncludeFigures& figures)
{
    std::vector<std::string> lines = splitLines(program.text);
    std::vector<size_t> cuts;
    int depth = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i >= 2 && depth == 0) {
            cuts.push_back(i);
        }
        depth += structuredStep(lines[i]);
    }
    std::shuffle(cuts.begin(), cuts.end(), gen.rng);
    cuts.resize(std::min<size_t>(cuts.size(), 1 + gen.below(3)));
    std::sort(cuts.begin(), cuts.end());
    bool nested = gen.chance(50);
    bool inFolder = false;
    std::string text;
    size_t next = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (next < cuts.size() && cuts[next] == i) {
            if (!nested && next > 0) {
                text += EndMark + "\n";
            }
            std::string name = "part" + std::to_string(++next) + ".inc";
            bool folder = gen.chance(35);
            inFolder = inFolder || folder;
            text += BeginMark + (gen.chance(30) ? "include " : "INCLUDE ") + name + " " +
                    (folder ? "lib/" : "") + name + "\n";
        }
        text += lines[i] + "\n";
    }
    for (size_t open = nested ? cuts.size() : std::min<size_t>(cuts.size(), 1); open > 0; --open) {
        text += EndMark + "\n";
    }
    ++figures.includes[cuts.size()];
    figures.nested += nested ? 1 : 0;
    figures.inFolder += inFolder ? 1 : 0;
    return text;
}

// Writes the files of a program held as one text into dir; gives their paths, main file first.
std::vector<std::string> writeProgramFiles(const std::string& dir, const std::string& text)
{
    std::vector<std::string> paths{"prog.qsm"};
    std::vector<std::string> open{""};
    std::vector<std::string> openPaths{"prog.qsm"};
    mkdir((dir + "/lib").c_str(), 0755);
    for (const std::string& line : splitLines(text)) {
        if (line.compare(0, BeginMark.size(), BeginMark) == 0) {
            std::istringstream fields(line.substr(BeginMark.size()));
            std::string directive, name, path;
            fields >> directive >> name >> path;
            open.back() += "\t" + directive + "\t\"" + name + "\"\n";
            open.emplace_back();
            openPaths.push_back(path);
            paths.push_back(path);
        } else if (line == EndMark) {
            writeFile(dir + "/" + openPaths.back(), open.back());
            open.pop_back();
            openPaths.pop_back();
        } else {
            open.back() += line + "\n";
        }
    }
    writeFile(dir + "/prog.qsm", open.front());
    return paths;
}

// The files of a program in dir read back into one text, the include lines followed as the
// stand-in follows them (the current folder, then ./lib).
std::string readProgramFiles(const std::string& dir, const std::string& path)
{
    std::string text;
    for (const std::string& line : splitLines(readFile(dir + "/" + path))) {
        size_t open = line.find("\t\"");
        std::string directive = line.substr(1, open == std::string::npos ? 0 : open - 1);
        if (line[0] != '\t' || (directive != "INCLUDE" && directive != "include")) {
            text += line + "\n";
            continue;
        }
        std::string name = line.substr(open + 2, line.size() - open - 3);
        std::string found = access((dir + "/" + name).c_str(), F_OK) == 0 ? name : "lib/" + name;
        text += BeginMark + directive + " " + name + " " + found + "\n" + readProgramFiles(dir, found) + EndMark + "\n";
    }
    return text;
}

// checkLinesKept in the shape of checkResult.
std::string checkLinesKeptOf(const Program& program, const std::string& finalText, const std::set<int>&)
{
    return checkLinesKept(program.text, finalText);
}

// Markers of the branch lines each run's tag file reports, looked up in that run's copy of
// the file the line names; false if a reported line has none.
bool collectFileReports(const std::string& dir, int runs, std::set<int>& atStart, std::set<int>& all,
                        std::string& problem)
{
    for (int run = 1; run <= runs; ++run) {
        std::string number = std::to_string(run);
        for (const std::string& tagLine : splitLines(readFile(dir + "/snap." + number + ".tag"))) {
            if (tagLine.find(" E18: ") == std::string::npos) {
                continue;
            }
            std::string file = tagLine.substr(0, tagLine.find(' '));
            std::vector<std::string> source = splitLines(readFile(dir + "/" + snapName(number, file)));
            size_t lineNo = std::strtoul(tagLine.c_str() + file.size() + 1, nullptr, 10);
            int marker = lineNo >= 1 && lineNo <= source.size() ? markerOf(source[lineNo - 1]) : 0;
            if (marker == 0) {
                problem = "run " + number + " reported a line without a marker: " + tagLine;
                return false;
            }
            (run == 1 ? atStart : all).insert(marker);
        }
    }
    all.insert(atStart.begin(), atStart.end());
    return true;
}

// Repairs a program of several files in the fresh directory dir and checks every property
// over all its files; gives an empty text when all hold, else what failed.
std::string repairFilesAndCheck(const std::string& dir, const Program& program, IncludeFigures& figures,
                                int& passes, std::string& finalText)
{
    std::vector<std::string> paths = writeProgramFiles(dir, program.text);
    std::string names;
    for (const std::string& path : paths) {
        names += path + " ";
    }
    placeRecordingAssembler(dir, self);
    setenv(FilesVariable, names.c_str(), 1);
    int status = runIn(dir, {kelvad, "-.", "-Ilib", "prog.qsm"}, "kelvad.out");
    unsetenv(FilesVariable);
    ++figures.runs;
    ++figures.statuses[status];
    if (status != 0) {
        return "kelvad ended with status " + std::to_string(status) + ": " + readFile(dir + "/kelvad.out");
    }
    finalText = readProgramFiles(dir, "prog.qsm");
    int duplicates = 0;
    countGeneratedLabels(finalText, duplicates);
    figures.duplicateLabels += duplicates;
    if (duplicates != 0) {
        return std::to_string(duplicates) + " generated labels are defined twice over the files";
    }
    int runs = std::atoi(readFile(dir + "/runs").c_str());
    std::string last = std::to_string(runs);
    for (const std::string& path : paths) {
        if (readFile(dir + "/" + snapName(last, path)) != readFile(dir + "/" + path)) {
            return "kelvad ended before its last rewrite of " + path + " was assembled";
        }
    }
    std::string tag = readFile(dir + "/snap." + last + ".tag");
    if (std::atoi(readFile(dir + "/snap." + last + ".status").c_str()) != 0 || !tag.empty()) {
        return "the result does not assemble without errors:\n" + tag;
    }
    std::set<int> atStart, reported;
    std::string problem;
    bool found = collectFileReports(dir, runs, atStart, reported, problem);
    for (auto check : {&checkResult, &checkLinesKeptOf}) {
        if (found && problem.empty()) {
            problem = check(program, finalText, reported);
        }
    }
    long growth = summaryBytes(readFile(dir + "/snap." + last + ".out")) - summaryBytes(readFile(dir + "/snap.1.out"));
    if (problem.empty() && (growth < 0 || growth > MaxGrowthPerBranch * static_cast<long>(reported.size()))) {
        problem = "code grew by " + std::to_string(growth) + " bytes for " + std::to_string(reported.size()) +
                  " reported branches";
    }
    passes = runs - 1;
    return problem;
}

// The data gaps of one file only made longer (about half of them), as an edit of that file.
std::string growGapsOfOneFile(const std::string& text, Generator& gen)
{
    std::vector<std::string> lines = splitLines(text);
    int files = 1;
    for (const std::string& line : lines) {
        files += line.compare(0, BeginMark.size(), BeginMark) == 0 ? 1 : 0;
    }
    int chosen = gen.below(files);
    std::vector<int> open{0};
    int begun = 0;
    std::string edited;
    for (std::string line : lines) {
        size_t ds = line.find("\tDS\t");
        if (line.compare(0, BeginMark.size(), BeginMark) == 0) {
            open.push_back(++begun);
        } else if (line == EndMark) {
            open.pop_back();
        } else if (ds != std::string::npos && open.back() == chosen && gen.chance(50)) {
            int size = std::atoi(line.c_str() + ds + 4) + 20 + gen.below(60);
            line = line.substr(0, ds + 4) + std::to_string(size);
        }
        edited += line + "\n";
    }
    return edited;
}

// Cuts one program into files, repairs it, then twice makes one file's data gaps longer and
// repairs it again; gives an empty text when every property holds, else what failed.
std::string runIncludeProgram(const std::string& dir, unsigned seed, IncludeFigures& figures)
{
    Generator gen{std::mt19937(seed ^ 0x1c1d)};
    Program program = generateProgram(seed);
    program.text = cutIntoIncludes(program, gen, figures);
    std::string finalText;
    for (int round = 0; round < 3; ++round) {
        int passes = 0;
        std::string roundDir = makeDirectory(dir + "/round" + std::to_string(round));
        if (round > 0) {
            program = markBranches(growGapsOfOneFile(finalText, gen));
            int ignored = 0;
            figures.earlierLabels += countGeneratedLabels(program.text, ignored);
        }
        std::string problem = repairFilesAndCheck(roundDir, program, figures, passes, finalText);
        if (!problem.empty()) {
            return "round " + std::to_string(round) + ": " + problem;
        }
        (round == 0 ? figures.firstPasses : figures.editedPasses) += passes;
    }
    ++figures.programs;
    return "";
}

// The includes mode: `programs` programs from `seed`; the exit status of the test.
int runIncludesMode(const std::string& top, int programs, unsigned seed)
{
    IncludeFigures figures;
    int failures = forEachProgram(top, programs, seed, [&](const std::string& dir, unsigned programSeed) {
        return runIncludeProgram(dir, programSeed, figures);
    });
    std::string statuses;
    for (const auto& [status, count] : figures.statuses) {
        statuses += " " + std::to_string(count) + " with status " + std::to_string(status);
    }
    std::printf("programs of several files %d (1, 2, 3 includes: %d, %d, %d; nested %d; an include in -Ilib %d)\n"
                "kelvad runs %d:%s; passes %d in first runs, %d in edited runs\n"
                "generated labels in the sources when edited runs began %d, labels defined twice %d\n",
                figures.programs, figures.includes[1], figures.includes[2], figures.includes[3], figures.nested,
                figures.inFolder, figures.runs, statuses.c_str(), figures.firstPasses, figures.editedPasses,
                figures.earlierLabels, figures.duplicateLabels);
    if (failures == 0) {
        rmdir(top.c_str());
    }
    return failures == 0 ? 0 : 1;
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
    std::string name = argv[0];
    if (name.substr(name.rfind('/') + 1) == "torna") {
        return recordAssemblerRun(argc, argv);
    }
    if (argc < 3) {
        std::fprintf(stderr, "usage: propgen KELVAD TORNA [PROGRAMS [SEED [repeat|nested|shrink|includes]]]\n");
        return 2;
    }
    kelvad = absolutePath(argv[1]);
    realTorna = absolutePath(argv[2]);
    self = absolutePath("/proc/self/exe");
    int programs = argc > 3 ? std::atoi(argv[3]) : 300;
    unsigned seed = argc > 4 ? static_cast<unsigned>(std::strtoul(argv[4], nullptr, 10)) : 1;
    bool repeat = argc > 5 && std::string(argv[5]) == "repeat";
    if (kelvad.empty() || realTorna.empty() || self.empty()) {
        std::fprintf(stderr, "propgen: kelvad, torna or propgen itself not found\n");
        return 2;
    }
    setenv(TornaVariable, realTorna.c_str(), 1);
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr ? tmp : "/tmp") + "/kelvad-prop.XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("propgen: mkdtemp");
        return 2;
    }
    if (argc > 5 && std::string(argv[5]) == "nested") {
        return runNestedPrograms(pattern, programs, seed);
    }
    if (argc > 5 && std::string(argv[5]) == "shrink") {
        return runShrinkMode(pattern, programs, seed);
    }
    if (argc > 5 && std::string(argv[5]) == "includes") {
        return runIncludesMode(pattern, programs, seed);
    }
    Figures figures;
    int failures = forEachProgram(pattern, programs, seed, [&](const std::string& dir, unsigned programSeed) {
        return runProgram(dir, programSeed, repeat, figures);
    });
    std::printf("programs %d, passes %d (at most %d in one run), branch lines %d, lengthened %d "
                "(%d out of reach at the start, %d pushed out later), code growth %ld bytes\n",
                figures.programs, figures.passes, figures.maxPasses, figures.branches,
                figures.reportedAtStart + figures.cascaded, figures.reportedAtStart, figures.cascaded,
                figures.growth);
    if (repeat) {
        std::printf("edited and repaired again %d, passes %d, generated labels from the first run %d, "
                    "duplicate labels %d\n",
                    figures.repeated, figures.secondPasses, figures.earlierLabels, figures.duplicateLabels);
    }
    if (failures == 0) {
        rmdir(pattern.c_str());
    }
    return failures == 0 ? 0 : 1;
}
