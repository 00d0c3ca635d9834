// Splits one source line into label, word and operand.
#include "lineparse.h"

#include "text.h"

namespace {

// Takes the word that starts at pos (after blanks), leaving pos just behind it.
std::string takeWord(const std::string& text, size_t& pos)
{
    while (pos < text.size() && isBlankChar(text[pos])) {
        ++pos;
    }
    size_t start = pos;
    while (pos < text.size() && !isBlankChar(text[pos])) {
        ++pos;
    }
    return text.substr(start, pos - start);
}

}  // namespace

ParsedLine parseLine(const std::string& text)
{
    ParsedLine parsed;
    std::string code = text.substr(0, findCommentStart(text));
    size_t pos = 0;
    std::string first = takeWord(code, pos);
    if (!first.empty() && first.back() == ':') {
        parsed.label = first.substr(0, first.size() - 1);
        first = takeWord(code, pos);
    } else {
        // `NAME EQU expr`: the name carries no colon.
        size_t afterSecond = pos;
        std::string second = takeWord(code, afterSecond);
        if (upperCase(second) == "EQU") {
            parsed.label = first;
            first = second;
            pos = afterSecond;
        }
    }
    parsed.word = first;
    parsed.operand = trimBlanks(code.substr(pos));
    return parsed;
}
