// Makes the text of the ".i" file: every program line with a line end.
#include "preprocess.h"

#include "globals.h"

std::string preprocessedText()
{
    std::string text;
    for (size_t i = 0; i < programLines.size(); ++i) {
        const ProgramLine& line = programLines[i];
        if (line.kind == LineEcho) {
            text += ";";
        }
        text += line.text;
        // An include file's last line may lack its line end; the next line must not join it.
        bool last = i + 1 == programLines.size();
        text += line.lineEnd.empty() && !last ? std::string("\n") : line.lineEnd;
    }
    return text;
}
