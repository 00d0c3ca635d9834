// Writes the benchmark's large inputs: a source with its prepared tag file, and a program for the stand-in.
//
// benchgen source LINES ERRORS SOURCE TAGFILE
//     SOURCE: LINES lines of routines (labels, comments, branches, data lines); TAGFILE: ERRORS
//     error-18 lines naming branch lines of SOURCE, spread evenly over it, in line order.
// benchgen program LINES SOURCE
//     about LINES lines for the stand-in assembler: routines whose branches are in reach, and
//     cascades in which each lengthened branch pushes the one before it out of reach, so the
//     tool needs several passes (the deepest cascade needs MaxCascade + 2 assembler passes).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int BlockLines = 20;    // lines of one routine
constexpr int MaxCascade = 4;     // branches in the longest cascade
constexpr int SlotBytes = 64;     // a cascade branch and its filler; two slots = a branch's full reach
constexpr int SectionBytes = 56000;  // code placed after one ORG before the next one starts

// One routine of the pass benchmark; %1$ld is its number, %2$ld the next one's.
// Two of its five branches are BRA: the tool numbers its labels up to 65,535 in a
// run, and a conditional branch takes one, so 100,000 errors must not all be conditional.
const char* const RoutineRows[BlockLines] = {
    "; Routine %1$ld: move a record out\n",
    "R%1$ld:\tLDX\t#$1F\t\t; length less one\n",
    "L%1$ld:\tLDA\t$0300,X\t\t; from the input\n",
    "\tSTA\t$0400,X\t\t; to the output\n",
    "\tDEX\n",
    "\tBPL\tL%1$ld\n",
    "\tLDA\tFLAGS\n",
    "\tAND\t#$40\t\t; end of the block?\n",
    "\tBEQ\tN%1$ld\t\t; not yet\n",
    "\tJSR\tFLUSH\t\t; write the block out\n",
    "\tBRA\tF%1$ld\t\t; and start afresh\n",
    "N%1$ld:\tINC\tCOUNT\n",
    "\tLDA\tCOUNT\n",
    "\tCMP\t#$80\t\t; room for another?\n",
    "\tBCS\tF%1$ld\t\t; buffer full\n",
    "\tSTY\tINDEX\n",
    "\tBRA\tR%2$ld\t\t; on to the next record\n",
    "F%1$ld:\tJSR\tRESET\t\t; start a new buffer\n",
    "\tRTS\n",
    "T%1$ld:\tDB\t$01,$02,$04,$08,$10,$20,$40,$80\n",
};

// Rows of RoutineRows that hold a branch, with the label letter of its target.
struct BranchRow {
    int row;
    char target;  // the target is this letter and the routine's number ('R': the next routine)
};

const BranchRow BranchRows[] = {{5, 'L'}, {8, 'N'}, {10, 'F'}, {14, 'F'}, {16, 'R'}};
constexpr long BranchRowCount = sizeof BranchRows / sizeof BranchRows[0];

// Bytes each routine row assembles to, for placing the routines of a program.
const int RoutineBytes[BlockLines] = {0, 2, 3, 3, 1, 2, 2, 2, 2, 3, 2, 2, 2, 2, 2, 2, 2, 3, 1, 8};

// Filler of one cascade slot after its 2-byte branch: 62 bytes in lines of code and data.
const char* const SlotFiller[] = {
    "\tLDA\t$0300,Y\t; next byte\n",   // 3
    "\tSTA\t$0500,Y\n",                // 3
    "\tINY\n",                         // 1
    "\tDS\t55\t\t; work area\n",       // 55
};
constexpr int SlotFillerBytes = 3 + 3 + 1 + 55;
static_assert(2 + SlotFillerBytes == SlotBytes, "a slot is a branch and its filler");

const char* const Conditionals[] = {"BEQ", "BNE", "BCC", "BCS", "BMI", "BPL", "BVC", "BVS"};

[[noreturn]] void failUsage() {
    fputs("usage: benchgen source LINES ERRORS SOURCE TAGFILE\n"
          "       benchgen program LINES SOURCE\n",
          stderr);
    exit(2);
}

FILE* openOutput(const char* path) {
    FILE* stream = fopen(path, "wb");
    if (!stream) {
        perror(path);
        exit(1);
    }
    setvbuf(stream, nullptr, _IOFBF, 1 << 20);
    return stream;
}

void closeOutput(FILE* stream, const char* path) {
    if (ferror(stream) | fclose(stream)) {
        fprintf(stderr, "%s: write failed\n", path);
        exit(1);
    }
}

long parseCount(const char* text) {
    char* end;
    long value = strtol(text, &end, 10);
    if (*end || value < 0)
        failUsage();
    return value;
}

const char* baseName(const char* path) {
    const char* slash = strrchr(path, '/');
    return slash ? slash + 1 : path;
}

// Line `line` (from 1) of the pass benchmark source.
void writeRoutineLine(FILE* stream, long line) {
    long routine = (line - 1) / BlockLines + 1;
    fprintf(stream, RoutineRows[(line - 1) % BlockLines], routine, routine + 1);
}

// The first line at or after `line` that holds the branch of `branch`, with its
// target text in `target`.
long nextBranchLine(long line, const BranchRow& branch, std::string& target) {
    long routine = (line - 1) / BlockLines;
    if (routine * BlockLines + branch.row + 1 < line)
        ++routine;
    target = branch.target + std::to_string(branch.target == 'R' ? routine + 2 : routine + 1);
    return routine * BlockLines + branch.row + 1;
}

void writeSource(long lines, long errors, const char* sourcePath, const char* tagPath) {
    FILE* source = openOutput(sourcePath);
    for (long line = 1; line <= lines; ++line)
        writeRoutineLine(source, line);
    closeOutput(source, sourcePath);

    FILE* tag = openOutput(tagPath);
    std::string target;
    long last = 0;
    for (long k = 0; k < errors; ++k) {
        // Evenly spread, each branch row in turn, in line order.
        long wanted = 1 + (lines - 2 * BlockLines) * k / errors;
        long line = nextBranchLine(wanted > last ? wanted : last + 1, BranchRows[k % BranchRowCount], target);
        if (line > lines) {
            fprintf(stderr, "benchgen: %ld errors do not fit in %ld lines\n", errors, lines);
            exit(1);
        }
        fprintf(tag, "%s %ld E18: branch out of range \"%s\"\n", baseName(sourcePath), line, target.c_str());
        last = line;
    }
    closeOutput(tag, tagPath);
}

// A routine of the stand-in program: every branch in reach.
long writeProgramRoutine(FILE* stream, long routine, bool last) {
    long bytes = 0;
    for (int row = 0; row < BlockLines; ++row) {
        // The last routine of a section returns instead of running into the next one.
        const char* text = last && row == 16 ? "\tRTS\n" : RoutineRows[row];
        fprintf(stream, text, routine, routine + 1);
        bytes += last && row == 16 ? 1 : RoutineBytes[row];
    }
    return bytes;
}

// A cascade of `depth` branches in slots of SlotBytes: branch i reaches exactly to
// the slot two ahead (the largest forward reach), so lengthening the branch in the
// next slot pushes it out. The slot after the last branch holds a branch to the far
// end of the section, which the first pass reports.
long writeCascade(FILE* stream, long routine, int depth, long section) {
    fprintf(stream, "; Cascade %ld of %d branches\n", routine, depth);
    fprintf(stream, "R%ld:\n", routine);
    for (int slot = 1; slot <= depth + 2; ++slot) {
        std::string label = slot >= 3 ? "C" + std::to_string(routine) + "_" + std::to_string(slot - 2) + ":" : "";
        if (slot <= depth)
            fprintf(stream, "%s\t%s\tC%ld_%d\n", label.c_str(), Conditionals[(routine + slot) % 8], routine, slot);
        else if (slot == depth + 1)
            fprintf(stream, "%s\tBEQ\tFAR%ld\t; error exit\n", label.c_str(), section);
        else
            fprintf(stream, "%s\tBRA\tR%ld\n", label.c_str(), routine + 1);
        for (const char* filler : SlotFiller)
            fputs(filler, stream);
    }
    return (depth + 2) * SlotBytes;
}

void writeProgram(long lines, const char* sourcePath) {
    FILE* stream = openOutput(sourcePath);
    fputs("; Generated program for the stand-in assembler\n"
          "FLAGS\tEQU\t$80\n"
          "COUNT\tEQU\t$81\n"
          "INDEX\tEQU\t$82\n"
          "\tORG\t$0200\n"
          "FLUSH:\tLDA\t#0\n"
          "\tSTA\tCOUNT\n"
          "\tRTS\n"
          "RESET:\tLDX\t#$FF\n"
          "\tTXS\n"
          "\tRTS\n",
          stream);
    long written = 11;
    long routine = 1, section = 1;
    long bytes = SectionBytes;  // a new section starts at once
    int cascades = 0;
    while (written < lines) {
        if (bytes >= SectionBytes) {
            if (routine > 1)
                fprintf(stream, "FAR%ld:\tRTS\n", section++);
            fprintf(stream, "; Section %ld\n\tORG\t$1000\n", section);
            written += routine > 1 ? 3 : 2;
            bytes = 0;
        }
        // The last routine of a section or of the program returns instead of running on.
        bool lastBlock = written + BlockLines >= lines;
        bool nearEnd = lastBlock || bytes + 2 * (MaxCascade + 2) * SlotBytes + 100 >= SectionBytes;
        // One block in eight is a cascade, of depth 1 to MaxCascade in turn.
        if (routine % 8 == 0 && !nearEnd) {
            int depth = 1 + cascades++ % MaxCascade;
            bytes += writeCascade(stream, routine, depth, section);
            written += 2 + (depth + 2) * 5;
        } else {
            bytes += writeProgramRoutine(stream, routine, nearEnd);
            written += BlockLines;
        }
        ++routine;
        if (lastBlock)
            break;
        if (nearEnd)
            bytes = SectionBytes;
    }
    fprintf(stream, "FAR%ld:\tRTS\n\tEND\n", section);
    closeOutput(stream, sourcePath);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 6 && strcmp(argv[1], "source") == 0)
        writeSource(parseCount(argv[2]), parseCount(argv[3]), argv[4], argv[5]);
    else if (argc == 4 && strcmp(argv[1], "program") == 0)
        writeProgram(parseCount(argv[2]), argv[3]);
    else
        failUsage();
    return 0;
}
