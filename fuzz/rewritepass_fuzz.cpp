// Fuzz target: generated sources and tag file through the scan and one rewrite pass, checking what must survive.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "fuzzsupport.h"

#include "common/cleanup.h"
#include "common/errorlist.h"
#include "common/globals.h"
#include "common/lineio.h"
#include "common/messages.h"
#include "common/records.h"
#include "rewrite/mnemonics.h"
#include "rewrite/rewritepass.h"
#include "tagscan/sourcescan.h"
#include "tagscan/tagreader.h"

namespace {

struct LineTemplate {
    const char* text;    // the line without comment tag and line end; null: bytes from the input
    const char* target;  // what the tag file names as its target when the line is reported
};

// Lines of every sort the passes treat differently, hostile ones included.
const LineTemplate LineTemplates[] = {
    {"\tBEQ\tFAR", "FAR"},      {"\tbne\tFAR", "FAR"},       {"\tBCS\tNEAR", "NEAR"},
    {"\tBRA\tFAR", "FAR"},      {"\tJMP\tFAR", "FAR"},       {"\tBEQ\t.X1", ".X1"},
    {"\tBRA\t.L1", ".L1"},      {"\tBBS\t1,Z,FAR", "FAR"},   {"\tBBC\t2,Z", "FAR"},
    {"\tNOP", "FAR"},           {"\tBCC\t*+4", "FAR"},       {"\tBEQ\t*+6", "FAR"},
    {"START:\tBEQ\tFAR\t;c", "FAR"}, {"\tIF\tX", ".I1"},     {"\tELSE", ".I2"},
    {"\tSWITCH\tA", ".S1"},     {"\tCASE\t1", ".S2"},        {"\tDEFAULT", ".S3"},
    {"\tFOR\tI", ".F1"},        {"\tNEXT", ".F2"},           {"\tDO", ".D1"},
    {"\tWHILE\tZ", ".D2"},      {"\tBREAK", ".D3"},          {"\tCONTINUE", ".F3"},
    {"", "FAR"},                {";only a comment", "FAR"},  {"\tbeq\t.x", ".x"},
    {"A_label_far_longer_than_any_prefix_buffer_of_forty_bytes:\t\tBEQ\tFAR", "FAR"},
    {"  lab:  bra  .Y2 ;", ".Y2"}, {nullptr, "FAR"},
};

// Targets that may stand in the tag file instead of the line's own.
const char* const OtherTargets[] = {"FAR", ".I9", ".S9", ".F9", ".D9", "NEAR", "", "x*2"};

const char* const FileNames[] = {"a.qsm", "b.qsm", "missing.qsm"};
constexpr int SourceFiles = 2;  // the last name is never written
const std::string Generated = ";This is the line which kelvad generated";

struct SourceFile {
    std::vector<std::string> lines;  // as written, line ends included
    std::set<long> mayChange;        // reported lines, owner lines and the lines a BRA may grow
    std::string text;
};

struct TagLine {
    int file;
    long lineNo;
    std::string target;
};

std::string upperCase(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c -= 'a' - 'A';
    return text;
}

std::string bodyOf(const std::string& line) {
    size_t end = line.size();
    if (end && line[end - 1] == '\n' && --end && line[end - 1] == '\r')
        --end;
    return line.substr(0, end);
}

// One source file of up to 40 lines, each but the reported ones unique through
// a comment tag, and its reports.
void generateFile(FuzzedDataProvider& input, int file, bool crlf, SourceFile& source, std::vector<TagLine>& tags) {
    int count = input.ConsumeIntegralInRange(1, 40);
    const char* end = crlf ? "\r\n" : "\n";
    for (int number = 1; number <= count; ++number) {
        const LineTemplate& kind = LineTemplates[input.ConsumeIntegralInRange<size_t>(0, std::size(LineTemplates) - 1)];
        std::string text = kind.text ? kind.text : input.ConsumeRandomLengthString(80);
        text = text.substr(0, text.find('\n'));
        bool reported = input.ConsumeIntegralInRange(0, 3) == 0;
        std::string target = kind.target;
        if (reported && input.ConsumeIntegralInRange(0, 7) == 0)
            target = OtherTargets[input.ConsumeIntegralInRange<size_t>(0, std::size(OtherTargets) - 1)];
        // A relative-address target is no error: its line must stay as it is.
        bool named = reported && target.find('*') == std::string::npos;
        if (!named || input.ConsumeBool())
            text += " ;#" + std::to_string(file) + "." + std::to_string(number);
        // Only a last line may lack its line end, and no line is empty without one.
        if (number < count || text.empty() || input.ConsumeBool())
            text += end;
        source.lines.push_back(text);
        source.text += text;
        if (named)
            source.mayChange.insert(number);
        if (reported)
            tags.push_back({file, number, target});
    }
}

// Tag lines the generator did not plan: out of order, repeated, past the end,
// below line 1, in a file that does not exist.
void addStrayTags(FuzzedDataProvider& input, const std::vector<SourceFile>& sources, std::vector<TagLine>& tags) {
    int stray = input.ConsumeIntegralInRange(0, 3);
    for (int i = 0; i < stray; ++i) {
        int file = input.ConsumeIntegralInRange(0, input.ConsumeIntegralInRange(0, 15) == 0 ? 2 : 1);
        long size = file < SourceFiles ? static_cast<long>(sources[file].lines.size()) : 3;
        long lineNo = input.ConsumeIntegralInRange<long>(-1, size + 2);
        const char* target = OtherTargets[input.ConsumeIntegralInRange<size_t>(0, std::size(OtherTargets) - 1)];
        tags.push_back({file, lineNo, target});
    }
}

void writeTagFile(const std::vector<TagLine>& tags) {
    std::string text;
    for (const TagLine& tag : tags)
        text += std::string(FileNames[tag.file]) + " " + std::to_string(tag.lineNo) +
                " E18: Branch out of range \"" + tag.target + "\"\n";
    writeWholeFile("prog.tag", text);
}

// After the scan: the owner lines the errors moved to may change too, and so
// may the two lines before a reported BRA (its "*+n" skips grow).
void noteChangeableLines(std::vector<SourceFile>& sources) {
    for (SourceFileRecord* record = fileList.next; record; record = record->next) {
        for (int file = 0; file < SourceFiles; ++file) {
            if (std::string(record->fileName) != FileNames[file])
                continue;
            for (BranchError* error = record->errorHead; error; error = error->next)
                if (error->lineFound)
                    sources[file].mayChange.insert(error->lineNo);
        }
    }
    for (SourceFile& source : sources) {
        std::set<long> grown = source.mayChange;
        for (long line : source.mayChange)
            if (line >= 1 && line <= static_cast<long>(source.lines.size()) &&
                upperCase(source.lines[line - 1]).find("BRA") != std::string::npos) {
                grown.insert(line - 1);
                grown.insert(line - 2);
            }
        source.mayChange = grown;
    }
}

// A line the rewrite may have written in place of changeable lines: generated,
// a label, a jump, a "-COMMENT" copy, or one of those lines unchanged.
bool isWrittenForGap(const std::string& line, const SourceFile& source, size_t from, size_t to) {
    std::string body = bodyOf(line);
    if (body.size() >= Generated.size() && body.compare(body.size() - Generated.size(), Generated.size(), Generated) == 0)
        return true;
    if (body.compare(0, 5, "..lop") == 0 && body.back() == ':')
        return true;
    if (body.find("JMP") != std::string::npos)
        return true;
    for (size_t i = from; i < to; ++i) {
        const std::string& own = source.lines[i];
        if (line == own)
            return true;
        // The "-COMMENT" copy: ';', the line as read, and a line end if it had none.
        std::string rest = line.compare(0, 1, ";") == 0 && line.compare(1, own.size(), own) == 0
                               ? line.substr(1 + own.size()) : "-";
        if (rest.empty() || rest == "\n" || rest == "\r\n")
            return true;
    }
    return false;
}

// Every line no error names is in the rewritten file once, in its order, with
// at least one written line for every line between; nothing foreign is added.
void checkKeptLines(const SourceFile& source, const std::vector<std::string>& written, const char* name) {
    std::map<std::string, size_t> where;
    std::map<std::string, int> copies;
    for (size_t at = 0; at < written.size(); ++at) {
        where[written[at]] = at;
        ++copies[written[at]];
    }
    long lastInput = -1, lastOutput = -1;
    auto checkGap = [&](long input, long output) {
        if (output - lastOutput - 1 < input - lastInput - 1)
            failInvariant(std::string(name) + ": lines lost before line " + std::to_string(input + 1));
        for (long at = lastOutput + 1; at < output; ++at)
            if (!isWrittenForGap(written[at], source, lastInput + 1, input))
                failInvariant(std::string(name) + ": foreign line written: " + written[at]);
    };
    for (size_t i = 0; i < source.lines.size(); ++i) {
        if (source.mayChange.count(static_cast<long>(i) + 1))
            continue;
        const std::string& line = source.lines[i];
        if (copies[line] != 1)
            failInvariant(std::string(name) + ": line " + std::to_string(i + 1) + " written " +
                          std::to_string(copies[line]) + " times: " + line);
        long at = static_cast<long>(where[line]);
        if (at <= lastOutput)
            failInvariant(std::string(name) + ": line " + std::to_string(i + 1) + " out of order");
        checkGap(static_cast<long>(i), at);
        lastInput = static_cast<long>(i);
        lastOutput = at;
    }
    checkGap(static_cast<long>(source.lines.size()), static_cast<long>(written.size()));
}

// Every label a rewritten file branches to is defined there once, every one
// defined is used, and no label is defined twice in the run.
void checkLabels(const std::vector<std::vector<std::string>>& written) {
    std::set<int> everDefined;
    for (const std::vector<std::string>& lines : written) {
        std::map<int, int> defined, used;
        for (const std::string& line : lines) {
            std::string body = bodyOf(line);
            if (body.compare(0, 5, "..lop") == 0 && body.back() == ':') {
                ++defined[atoi(body.c_str() + 5)];
                continue;
            }
            for (size_t at = body.find("..lop"); at != std::string::npos; at = body.find("..lop", at + 5))
                ++used[atoi(body.c_str() + at + 5)];
        }
        for (const auto& [label, uses] : used)
            if (defined[label] != 1)
                failInvariant("label ..lop" + std::to_string(label) + " used but defined " +
                              std::to_string(defined[label]) + " times");
        for (const auto& [label, definitions] : defined) {
            if (!used.count(label))
                failInvariant("label ..lop" + std::to_string(label) + " defined but never used");
            if (!everDefined.insert(label).second)
                failInvariant("label ..lop" + std::to_string(label) + " defined in two files");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    quietStandardOutput();
    enterScratchDirectory();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    initGlobals();
    jumpChain = JumpChainWords;
    optAsm = input.ConsumeBool();
    optComment = input.ConsumeBool();
    bool crlf = input.ConsumeIntegralInRange(0, 3) == 0;

    std::vector<SourceFile> sources(SourceFiles);
    std::vector<TagLine> tags;
    int files = input.ConsumeIntegralInRange(1, SourceFiles);
    for (int file = 0; file < files; ++file)
        generateFile(input, file, crlf, sources[file], tags);
    addStrayTags(input, sources, tags);
    for (int file = 0; file < SourceFiles; ++file) {
        if (file < files)
            writeWholeFile(FileNames[file], sources[file].text);
        else
            remove(FileNames[file]);
    }
    writeTagFile(tags);

    FILE* tag = fopen("prog.tag", "rb");
    if (!tag)
        failInvariant("cannot open the tag file");
    attachStream(TagSlot, tag);
    bool rewriting = false, ended = false;
    try {
        if (readTagFile()) {
            scanSources();
            noteChangeableLines(sources);
            rewriting = true;
            optAsm ? rewriteAsmSources() : rewriteSources();
        }
    } catch (const ExitRequest& request) {
        ended = true;
        if (request.status != ExitSource && request.status != ExitResource)
            failInvariant("the pass ended with status " + std::to_string(request.status));
    }
    releaseFileList();
    for (int slot = 0; slot < SlotCount; ++slot)
        if (openFlags[slot])
            failInvariant("a stream left open");
    if (!ended && fopen("tmpbra00", "rb"))
        failInvariant("tmpbra00 left after a pass that ended normally");
    remove("tmpbra00");

    // KELVAD_FUZZ_SHOW=1 with one input shows what went in and what came out.
    if (getenv("KELVAD_FUZZ_SHOW")) {
        fprintf(stderr, "asm %d comment %d\n--- prog.tag\n%s", optAsm, optComment, readWholeFile("prog.tag").c_str());
        for (int file = 0; file < files; ++file) {
            std::string shown = "--- " + std::string(FileNames[file]) + " before\n" + sources[file].text +
                                "\n--- after\n" + readWholeFile(FileNames[file]) + "\n";
            fwrite(shown.data(), 1, shown.size(), stderr);
        }
    }
    bool labelsOwn = true;
    std::vector<std::vector<std::string>> written;
    for (int file = 0; file < files; ++file) {
        const SourceFile& source = sources[file];
        std::string now = readWholeFile(FileNames[file]);
        if (source.text.find("..lop") != std::string::npos)
            labelsOwn = false;
        if (now == source.text)
            continue;
        if (!rewriting)
            failInvariant(std::string(FileNames[file]) + " changed before the rewrite began");
        written.push_back(splitLines(now));
        checkKeptLines(source, written.back(), FileNames[file]);
    }
    if (labelsOwn)
        checkLabels(written);
    return 0;
}
