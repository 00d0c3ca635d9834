// Gives back what earlier runs no longer need: every group of lines the tool wrote, put back.
#include "rewrite/shrink.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "common/globals.h"
#include "common/keyword.h"
#include "common/textutil.h"
#include "rewrite/linesplit.h"
#include "rewrite/mnemonics.h"

namespace {

constexpr std::string_view LabelHead = "..lop";
constexpr size_t LongestLabelNumber = 5;  // digits of 65535, the last number written
constexpr int LastLabelNo = 65535;
constexpr int FirstBitTestCode = 9;
constexpr int LastBranchCode = 10;  // codes 1 to 10: conditional and bit-test branches
constexpr size_t NoLine = static_cast<size_t>(-1);
constexpr size_t SkipLinesAbove = 3;  // held lines a "*+n" fix-up may touch, and a comment copy

// One line of the text: its body and its line end ("\n", "\r\n", or none on a last line).
struct Line {
    std::string_view body;
    std::string_view end;
};

std::vector<Line> splitIntoLines(const std::string& text) {
    std::vector<Line> lines;
    std::string_view rest = text;
    while (!rest.empty()) {
        size_t newline = rest.find('\n');
        size_t size = newline == std::string_view::npos ? rest.size() : newline + 1;
        size_t body = size;
        if (body && rest[body - 1] == '\n' && --body && rest[body - 1] == '\r')
            --body;
        lines.push_back({rest.substr(0, body), rest.substr(body, size - body)});
        rest.remove_prefix(size);
    }
    return lines;
}

std::string_view generatedBody() {
    return std::string_view(GeneratedComment, strlen(GeneratedComment) - 1);
}

bool startsWith(std::string_view text, std::string_view head) {
    return text.substr(0, head.size()) == head;
}

bool endsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string trimEnd(std::string_view text) {
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return std::string(text);
}

// Every line the tool composes ends with the generated-line comment and a line end.
bool endsGenerated(const Line& line) {
    return !line.end.empty() && endsWith(line.body, generatedBody());
}

// The number of a label as the tool writes it ("..lop", 1 to 65535 without
// leading zeros, compared in any letter case when `anyCase`), or 0.
int labelNumberOf(std::string_view name, bool anyCase = false) {
    std::string upper;
    std::string_view head = name.substr(0, LabelHead.size());
    if (anyCase) {
        copyUpper(upper, std::string(head));
        head = upper;
    }
    if (head != (anyCase ? "..LOP" : LabelHead))
        return 0;
    name.remove_prefix(LabelHead.size());
    if (name.empty() || name.size() > LongestLabelNumber || name[0] == '0')
        return 0;
    int number = 0;
    for (char c : name) {
        if (c < '0' || c > '9')
            return 0;
        number = number * 10 + (c - '0');
    }
    return number <= LastLabelNo ? number : 0;
}

std::string labelName(int number) {
    return std::string(LabelHead) + std::to_string(number);
}

bool isLabelLine(const std::vector<Line>& lines, size_t at, int number) {
    return at < lines.size() && !lines[at].end.empty() && lines[at].body == labelName(number) + ":";
}

struct Parts {
    std::string prefix, word, operand, comment;
};

Parts splitBody(std::string_view body) {
    Parts parts;
    splitLineParts(parts.prefix, parts.word, parts.operand, parts.comment, std::string(body) + "\n");
    return parts;
}

// A comment line ";" + text directly above a line it may be the copy of.
bool isCommentLine(const std::vector<Line>& lines, size_t at) {
    return at < lines.size() && !lines[at].body.empty() && lines[at].body[0] == ';';
}

// True when the comment line is a copy of a line with this prefix, word (in any
// letter case) and operand (trailing blanks aside).
bool copyMatches(const Line& copy, const std::string& prefix, const std::string& word, const std::string& operand) {
    Parts parts = splitBody(copy.body.substr(1));
    std::string upperWord, upperWanted;
    copyUpper(upperWord, parts.word);
    copyUpper(upperWanted, word);
    return parts.prefix == prefix && upperWord == upperWanted && trimEnd(parts.operand) == operand;
}

// A branch line that the expansion wrote: prefix, upper-case word, the bit and
// address of a bit-test branch with their comma, "..lopN", the generated comment.
struct Branch {
    std::string prefix, word, head;
    int label = 0;
};

bool readBranch(const std::vector<Line>& lines, size_t at, Branch& branch) {
    if (at >= lines.size() || !endsGenerated(lines[at]))
        return false;
    Parts parts = splitBody(lines[at].body);
    int code = parts.word.size() == 3 ? lookupInverse(parts.word.c_str()) : 0;
    if (code < 1 || code > LastBranchCode || !endsWith(parts.operand, "\t"))
        return false;
    std::string_view operand(parts.operand);
    operand.remove_suffix(1);
    size_t labelStart = 0;
    if (code >= FirstBitTestCode) {
        size_t comma = operand.rfind(',');
        if (comma == std::string_view::npos)
            return false;
        labelStart = comma + 1;
    }
    branch.label = labelNumberOf(operand.substr(labelStart));
    branch.prefix = parts.prefix;
    branch.word = parts.word;
    branch.head = std::string(operand.substr(0, labelStart));
    // Exactly one tab after the word, and nothing but the tab before the comment.
    std::string_view afterWord = lines[at].body.substr(parts.prefix.size() + parts.word.size());
    return branch.label && afterWord == "\t" + parts.operand + std::string(generatedBody());
}

// The blanks the expansion puts in front of a jump: a tab for a tab, a space for anything else.
std::string blankPrefix(const std::string& prefix) {
    std::string blanks;
    for (char c : prefix)
        blanks += c == '\t' ? '\t' : ' ';
    return blanks;
}

// The jump line of an expansion: its target as written and its comment (from the ';').
struct Jump {
    std::string target;
    std::string comment;
};

bool readJump(const std::vector<Line>& lines, size_t at, const std::string& branchPrefix, Jump& jump) {
    if (at >= lines.size() || lines[at].end.empty())
        return false;
    std::string head = blankPrefix(branchPrefix) + JumpChainWords[1] + "\t";
    std::string_view body = lines[at].body;
    if (!startsWith(body, head))
        return false;
    body.remove_prefix(head.size());
    size_t semicolon = body.find(';');
    if (semicolon == std::string_view::npos || semicolon < 2 || body[semicolon - 1] != '\t')
        return false;
    jump.target = trimEnd(body.substr(0, semicolon - 1));
    jump.comment = std::string(body.substr(semicolon));
    return !jump.target.empty();
}

// The lines of one expansion: the branches in order (the last one inverted, the
// others of a chain branching to the shared label), each with the comment line
// above it (NoLine for none), and the jump.
struct Member {
    size_t copy = NoLine;
    size_t line = 0;
    Branch branch;
};

struct Group {
    std::vector<Member> members;
    Jump jump;
    size_t end = 0;  // the line after the group
};

// Reads the group that begins at line `at` (or at the line below a comment line
// there). False when there is none; `resume` is then the first line from which
// another may begin.
bool readBranchGroup(const std::vector<Line>& lines, size_t at, Group& group, size_t& resume) {
    group.members.clear();
    resume = at + 1;
    for (size_t next = at;;) {
        Member member;
        if (isCommentLine(lines, next))
            member.copy = next++;
        if (!readBranch(lines, next, member.branch))
            return false;
        member.line = next++;
        bool first = group.members.empty();
        group.members.push_back(member);
        const Branch& branch = member.branch;
        if (first && readJump(lines, next, branch.prefix, group.jump) && isLabelLine(lines, next + 1, branch.label)) {
            group.end = next + 2;
            return true;
        }
        int shared = group.members[0].branch.label;
        if (branch.label != shared) {
            // The last line of a chain: the shared label, the jump, then its own label.
            group.end = next + 3;
            return isLabelLine(lines, next, shared) && readJump(lines, next + 1, branch.prefix, group.jump) &&
                   isLabelLine(lines, next + 2, branch.label);
        }
        // A group cannot begin at a later line of this chain but at its last.
        resume = std::max(at + 1, member.copy != NoLine ? member.copy : member.line);
    }
}

// The word a line of the group branches with once put back: a chain line keeps
// its own, the last line gets the inverse of its inverted branch.
std::string restoredWord(const Group& group, size_t index) {
    const std::string& word = group.members[index].branch.word;
    if (index + 1 < group.members.size())
        return word;
    return BranchMnemonicTable[lookupInverse(word.c_str()) - 1].mnemonic;
}

std::string restoredOperand(const Group& group, size_t index) {
    return group.members[index].branch.head + group.jump.target;
}

// True when no label of the group is named outside it, and every comment line
// inside it (any but the first line's) is the copy of the line below.
bool groupStandsAlone(const std::vector<Line>& lines, const Group& group, const LabelUses& uses) {
    size_t count = group.members.size();
    auto usesOf = [&uses](int label) {
        auto found = uses.find(label);
        return found == uses.end() ? 0 : found->second;
    };
    const Branch& last = group.members.back().branch;
    if (usesOf(last.label) != 2)
        return false;
    if (count > 1 && usesOf(group.members[0].branch.label) != static_cast<int>(count))
        return false;
    for (size_t index = 1; index < count; ++index) {
        const Member& member = group.members[index];
        if (member.copy != NoLine && !copyMatches(lines[member.copy], member.branch.prefix,
                                                  restoredWord(group, index), restoredOperand(group, index)))
            return false;
    }
    return true;
}

void appendLine(std::string& out, const Line& line) {
    out.append(line.body);
    out.append(line.end);
}

// Writes a restored line: the copy's text when the comment line above is its
// copy, else the line composed, with the line end of the line it replaces.
void appendRestored(std::string& out, const std::vector<Line>& lines, size_t copy, size_t replaced,
                    const std::string& prefix, const std::string& word, const std::string& operand,
                    const std::string& rest) {
    if (copy != NoLine && copyMatches(lines[copy], prefix, word, operand)) {
        out.append(lines[copy].body.substr(1));
        out.append(lines[copy].end);
        return;
    }
    if (copy != NoLine)
        appendLine(out, lines[copy]);
    out += prefix;
    out += word;
    if (!operand.empty()) {
        out += '\t';
        out += operand;
    }
    out += rest;
    out.append(lines[replaced].end);
}

void writeBranchGroup(std::string& out, const std::vector<Line>& lines, const Group& group) {
    for (size_t index = 0; index < group.members.size(); ++index) {
        const Member& member = group.members[index];
        bool last = index + 1 == group.members.size();
        // Only the last line's comment was kept, on the jump.
        std::string rest = last && group.jump.comment != generatedBody() ? "\t" + group.jump.comment : "";
        appendRestored(out, lines, member.copy, member.line, member.branch.prefix, restoredWord(group, index),
                       restoredOperand(group, index), rest);
    }
}

// True when a "*+n" skip stands on one of the lines just above `at`: the jump may
// be what it skips (as the fix-ups before a BRA to a structured label have it).
bool skipStandsAbove(const std::vector<Line>& lines, size_t at) {
    for (size_t above = 1; above <= SkipLinesAbove && above <= at; ++above) {
        if (isCommentLine(lines, at - above))
            continue;
        if (startsWith(splitBody(lines[at - above].body).operand, "*+"))
            return true;
    }
    return false;
}

// A BRA made JMP: prefix, "JMP", a tab, the target, a tab and the generated
// comment. Left as it stands where a generated label follows it (the label of
// a redirected skip) or a skip may jump over it.
bool readLongJump(const std::vector<Line>& lines, size_t at, Parts& parts, std::string& target) {
    if (at >= lines.size() || !endsGenerated(lines[at]))
        return false;
    parts = splitBody(lines[at].body);
    if (parts.word != JumpChainWords[1] || !endsWith(parts.operand, "\t"))
        return false;
    std::string_view afterWord = lines[at].body.substr(parts.prefix.size() + parts.word.size());
    if (afterWord != "\t" + parts.operand + std::string(generatedBody()))
        return false;
    target = trimEnd(parts.operand);
    bool labelBelow = at + 1 < lines.size() && startsWith(lines[at + 1].body, LabelHead);
    return !target.empty() && !labelBelow && !skipStandsAbove(lines, at);
}

// A long form: prefix, "L" and a structured keyword, a blank, the operand as it
// was (trailing blanks kept), a tab and the generated comment. Gives the short
// word and the operand without trailing blanks.
bool readLongForm(const std::vector<Line>& lines, size_t at, Parts& parts, std::string& word,
                  std::string& operand) {
    if (at >= lines.size() || !endsGenerated(lines[at]))
        return false;
    parts = splitBody(lines[at].body);
    if (parts.word.size() < 2 || parts.word[0] != 'L')
        return false;
    word = parts.word.substr(1);
    for (char c : word)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))
            return false;
    if (classifyKeyword(word.data(), word.size()) == 0)
        return false;
    std::string_view afterWord = lines[at].body.substr(parts.prefix.size() + parts.word.size());
    afterWord.remove_suffix(generatedBody().size());
    if (afterWord.size() < 2 || afterWord.front() != ' ' || afterWord.back() != '\t' ||
        (afterWord.size() > 2 && isBlank(afterWord[1])))
        return false;
    afterWord.remove_prefix(1);
    afterWord.remove_suffix(1);
    operand = trimEnd(afterWord);
    return afterWord.find(';') == std::string_view::npos;
}

// Restores the single line that begins at `at` (or below a comment line there)
// when it is a BRA made JMP or a long form; gives the line after it, or `at`.
size_t restoreSingleLine(std::string& out, const std::vector<Line>& lines, size_t at) {
    size_t copy = isCommentLine(lines, at) ? at : NoLine;
    size_t line = copy == NoLine ? at : at + 1;
    Parts parts;
    std::string word, operand;
    if (readLongJump(lines, line, parts, operand))
        word = JumpChainWords[0];
    else if (!readLongForm(lines, line, parts, word, operand))
        return at;
    // A comment line above that is no copy stays, and the line is restored on its own later.
    if (copy != NoLine && !copyMatches(lines[copy], parts.prefix, word, operand))
        return at;
    appendRestored(out, lines, copy, line, parts.prefix, word, operand, "");
    return line + 1;
}

}  // namespace

void countLabelUses(const std::string& text, LabelUses& uses) {
    for (size_t at = text.find(".."); at != std::string::npos; at = text.find("..", at + 1)) {
        size_t digits = at + LabelHead.size();
        size_t end = digits < text.size() ? text.find_first_not_of("0123456789", digits) : digits;
        if (end == std::string::npos)
            end = text.size();
        if (int number = labelNumberOf(std::string_view(text).substr(at, end - at), true))
            ++uses[number];
    }
}

std::string shrinkText(const std::string& text, const LabelUses& uses) {
    std::vector<Line> lines = splitIntoLines(text);
    std::string out;
    out.reserve(text.size());
    Group group;
    for (size_t at = 0; at < lines.size();) {
        size_t resume;
        if (readBranchGroup(lines, at, group, resume) && groupStandsAlone(lines, group, uses)) {
            writeBranchGroup(out, lines, group);
            at = group.end;
            continue;
        }
        size_t after = restoreSingleLine(out, lines, at);
        if (after != at) {
            at = after;
            continue;
        }
        while (at < resume)
            appendLine(out, lines[at++]);
    }
    return out;
}
